#include "platform/IniFile.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <fstream>
#include <sstream>

#include "platform/FileSystem.h"

namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The section name of a "[name]" line, or nothing.
std::optional<std::string> SectionOf(const std::string& line) {
    std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[')
        return std::nullopt;
    size_t close = t.find(']');
    if (close == std::string::npos)
        return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

bool IsComment(const std::string& line) {
    std::string t = Trim(line);
    return t.empty() || t[0] == ';' || t[0] == '#';
}

// Cuts a UTF-8 text to at most n characters without splitting one.
std::string CutChars(const std::string& s, size_t n) {
    size_t chars = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (chars == n)
                return s.substr(0, i);
            ++chars;
        }
    }
    return s;
}

}  // namespace

bool CIniFile::Load(const std::string& path) {
    m_lines.clear();
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return false;
    // A settings file is a few hundred bytes; whatever lies beyond the cap is not read.
    std::string text(INI_READ_CAP, '\0');
    size_t size = 0;
    while (size < text.size()) {
        const ssize_t n = ::read(fd, text.data() + size, text.size() - size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        size += static_cast<size_t>(n);
    }
    ::close(fd);
    text.resize(size);
    Parse(text);
    return true;
}

void CIniFile::Parse(const std::string& text) {
    m_lines.clear();
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        m_lines.push_back(line);
    }
}

std::optional<std::string> CIniFile::Find(const std::string& section,
                                          const std::string& key) const {
    bool inSection = false;
    for (const auto& line : m_lines) {
        if (auto name = SectionOf(line)) {
            if (inSection)
                return std::nullopt;  // only the first section of that name counts
            inSection = SameName(*name, section);
            continue;
        }
        if (!inSection || IsComment(line))
            continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        if (SameName(Trim(line.substr(0, eq)), key))
            return Trim(line.substr(eq + 1));
    }
    return std::nullopt;
}

int CIniFile::GetInt(const std::string& section, const std::string& key, int def) const {
    auto value = Find(section, key);
    if (!value)
        return def;
    const std::string& v = *value;
    size_t i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == '-' || v[i] == '+'))
        negative = v[i++] == '-';
    int base = 10;
    if (i + 1 < v.size() && v[i] == '0' && (v[i + 1] == 'x' || v[i + 1] == 'X') &&
        i + 2 < v.size() && std::isxdigit(static_cast<unsigned char>(v[i + 2]))) {
        base = 16;
        i += 2;
    }
    long long n = 0;
    bool any = false;
    for (; i < v.size(); ++i) {
        int d;
        unsigned char c = static_cast<unsigned char>(v[i]);
        if (std::isdigit(c))
            d = c - '0';
        else if (base == 16 && std::isxdigit(c))
            d = std::tolower(c) - 'a' + 10;
        else
            break;
        any = true;
        if (n < (1LL << 40))
            n = n * base + d;
    }
    if (!any)
        return def;
    if (negative)
        n = -n;
    if (n > INT_MAX)
        return INT_MAX;
    if (n < INT_MIN)
        return INT_MIN;
    return static_cast<int>(n);
}

std::string CIniFile::GetString(const std::string& section, const std::string& key,
                                const std::string& def, size_t bufferChars) const {
    auto value = Find(section, key);
    std::string v = value ? *value : def;
    if (value && v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return bufferChars == 0 ? std::string() : CutChars(v, bufferChars - 1);
}

void CIniFile::SetString(const std::string& section, const std::string& key,
                         const std::string& value) {
    const std::string entry = key + "=" + value;
    bool inSection = false;
    size_t insertAt = 0;  // after the last non-blank line of the section
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const auto& line = m_lines[i];
        if (auto name = SectionOf(line)) {
            if (inSection)
                break;
            inSection = SameName(*name, section);
            insertAt = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        if (!Trim(line).empty())
            insertAt = i + 1;
        if (IsComment(line))
            continue;
        size_t eq = line.find('=');
        if (eq != std::string::npos && SameName(Trim(line.substr(0, eq)), key)) {
            m_lines[i] = Trim(line.substr(0, eq)) + "=" + value;  // the key keeps its spelling
            return;
        }
    }
    if (inSection) {
        m_lines.insert(m_lines.begin() + static_cast<ptrdiff_t>(insertAt), entry);
        return;
    }
    m_lines.push_back("[" + section + "]");
    m_lines.push_back(entry);
}

std::string CIniFile::Text() const {
    std::string text;
    for (const auto& line : m_lines) {
        text += line;
        text += '\n';
    }
    return text;
}

bool CIniFile::Save(const std::string& path) const {
    return WriteFileAtomically(path, Text());
}

int GetPrivateProfileInt(const std::string& section, const std::string& key, int def,
                         const std::string& path) {
    CIniFile ini;
    ini.Load(path);
    return ini.GetInt(section, key, def);
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& def, const std::string& path,
                                    size_t bufferChars) {
    CIniFile ini;
    ini.Load(path);
    return ini.GetString(section, key, def, bufferChars);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path) {
    CIniFile ini;
    ini.Load(path);
    ini.SetString(section, key, value);
    return ini.Save(path);
}
