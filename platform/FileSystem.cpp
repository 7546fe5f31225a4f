#include "platform/FileSystem.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool PathFileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int OpenRegularFile(const std::string& path, std::string* reason) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (reason)
            *reason = ErrorText(errno);
        return -1;
    }
    struct stat st;
    const char* refusal = nullptr;
    if (::fstat(fd, &st) != 0)
        refusal = std::strerror(errno);
    else if (S_ISDIR(st.st_mode))
        refusal = std::strerror(EISDIR);
    else if (!S_ISREG(st.st_mode))
        refusal = "Not a regular file";
    if (refusal) {
        ::close(fd);
        if (reason)
            *reason = refusal;
        return -1;
    }
    // Reads of a regular file never block anyway; later readers expect the usual mode.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::string ErrorText(int error) {
    return std::strerror(error);
}

bool MoveFileNoReplace(const std::string& source, const std::string& target) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    // File systems without the flag: a hard link fails when the target exists.
    if (::link(source.c_str(), target.c_str()) != 0)
        return false;
    ::unlink(source.c_str());
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& text) {
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    const char* data = text.data();
    size_t left = text.size();
    bool ok = true;
    while (left > 0) {
        ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    // Keep the permissions of the file we replace, or the usual ones of a new file.
    struct stat st;
    mode_t mode = 0644;
    if (::stat(path.c_str(), &st) == 0)
        mode = st.st_mode & 07777;
    ok = ok && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    int saved = errno;
    ::unlink(temp.c_str());
    errno = saved;
    return false;
}
