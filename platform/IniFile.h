#pragma once

#include <optional>
#include <string>
#include <vector>

// The most of a file that Load reads.
constexpr size_t INI_READ_CAP = 256 * 1024;

// An INI file with the private-profile rules: sections and keys match without regard to case,
// the first of duplicates wins, and an update rewrites only its own line, keeping every other
// line (comments, unknown sections and keys) as it stood.
class CIniFile {
public:
    // Reads the file, at most INI_READ_CAP bytes of it; false when it cannot be read or is not a
    // regular file (the content is then empty).
    bool Load(const std::string& path);
    void Parse(const std::string& text);

    std::optional<std::string> Find(const std::string& section, const std::string& key) const;
    // The leading decimal (or 0x hexadecimal) integer of the value, saturated to int; def when
    // the key is missing or the value starts with no number.
    int GetInt(const std::string& section, const std::string& key, int def) const;
    // The value with one pair of enclosing quotes removed, cut to bufferChars - 1 characters
    // as a read through a buffer of bufferChars characters would; def when the key is missing.
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& def, size_t bufferChars = 1024) const;

    // Sets a key, adding the key (at the end of its section) or the section (at the end of the
    // file) when missing.
    void SetString(const std::string& section, const std::string& key, const std::string& value);

    std::string Text() const;
    // Writes through a new file renamed over the old one; false leaves the old file untouched.
    bool Save(const std::string& path) const;

private:
    std::vector<std::string> m_lines;  // without line ends
};

// Single-value wrappers in the manner of the private-profile functions.
int GetPrivateProfileInt(const std::string& section, const std::string& key, int def,
                         const std::string& path);
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& def, const std::string& path,
                                    size_t bufferChars = 1024);
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path);
