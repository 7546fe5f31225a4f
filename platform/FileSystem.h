#pragma once

#include <string>

// The native folder separator; a folder text ends with one.
constexpr char PATH_SEPARATOR = '/';

// True when the path names an existing file or folder (links followed).
bool PathFileExists(const std::string& path);
bool IsDirectory(const std::string& path);
// Opens an existing regular file for reading without ever blocking: a named pipe would wait for
// a writer and a device may never end, so anything but a regular file is refused. The
// descriptor (close-on-exec), or -1 with the reason in *reason when it is given.
int OpenRegularFile(const std::string& path, std::string* reason = nullptr);
// The system's description of an errno value.
std::string ErrorText(int error);
// Replaces target with source only when target does not exist; false otherwise (errno set).
bool MoveFileNoReplace(const std::string& source, const std::string& target);
// Writes the whole text to path through a new file renamed over the old one, so a crash never
// leaves a half-written file behind. False when any step fails; the old file is then untouched.
bool WriteFileAtomically(const std::string& path, const std::string& text);
