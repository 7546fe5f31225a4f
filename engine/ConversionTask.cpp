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

std::string MakeUniqueName(const std::string& path) {
    const size_t slash = path.rfind(PATH_SEPARATOR);
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        dot = path.size();
    const std::string base = path.substr(0, dot);
    const std::string ext = path.substr(dot);
    for (unsigned long n = 2;; ++n) {
        std::string candidate = base + " (" + std::to_string(n) + ")" + ext;
        if (!PathFileExists(candidate))
            return candidate;
    }
}
