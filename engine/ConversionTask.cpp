#include "engine/ConversionTask.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/FileSystem.h"

float CConversionTask::SamplesToSeconds(uint64_t samples) const {
    const uint32_t perSecond = m_destChannels * m_destRate;  // unsigned 32-bit on purpose
    return static_cast<float>(static_cast<long double>(samples) / perSecond);
}

bool CreateDirectoryTree(const std::string& path) {
    if (path.empty())
        return false;
    std::string buffer = path;
    const size_t end = buffer.size();
    size_t cut = end;
    for (;;) {
        if (::mkdir(buffer.c_str(), 0777) != 0) {
            const int error = errno;
            if (error == ENOENT) {
                // Cut back to the parent and create that first.
                size_t sep = cut == 0 ? std::string::npos : buffer.rfind(PATH_SEPARATOR, cut - 1);
                if (sep == std::string::npos)
                    return false;
                buffer.resize(sep);
                cut = sep;
                continue;
            }
            if (error != EEXIST)
                return false;
        }
        if (cut == end)
            return IsDirectory(path);
        // Put the cut separator back and go one level inwards.
        buffer.push_back(PATH_SEPARATOR);
        size_t next = path.find(PATH_SEPARATOR, cut + 1);
        cut = next == std::string::npos ? end : next;
        buffer.append(path, buffer.size(), cut - buffer.size());
    }
}

namespace {

// The longest file name the file systems we write to take, in bytes.
constexpr size_t MAX_NAME_BYTES = 255;

// Cuts a UTF-8 text to at most bytes bytes without splitting a character.
std::string CutUtf8(const std::string& text, size_t bytes) {
    if (text.size() <= bytes)
        return text;
    size_t cut = bytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return text.substr(0, cut);
}

}  // namespace

std::string NumberedName(const std::string& path, unsigned long n) {
    const size_t slash = path.rfind(PATH_SEPARATOR);
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        dot = path.size();
    const std::string folder = path.substr(0, nameStart);
    std::string base = path.substr(nameStart, dot - nameStart);
    const std::string ext = path.substr(dot);
    const std::string number = " (" + std::to_string(n) + ")";
    // The number must always fit: the base name gives way.
    const size_t room = number.size() + ext.size();
    if (base.size() + room > MAX_NAME_BYTES)
        base = CutUtf8(base, room < MAX_NAME_BYTES ? MAX_NAME_BYTES - room : 0);
    return folder + base + number + ext;
}

std::string MakeUniqueName(const std::string& path) {
    for (unsigned long n = 2;; ++n) {
        std::string candidate = NumberedName(path, n);
        if (!PathFileExists(candidate))
            return candidate;
    }
}
