#include "engine/EncoderModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <mutex>
#include <vector>

namespace {

std::mutex g_pathMutex;
std::string g_pathOverride;

std::string ExecutableFolder() {
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return ".";
    std::string path(buffer.data(), static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

template <typename T>
bool Resolve(void* library, const char* name, T& slot) {
    slot = reinterpret_cast<T>(::dlsym(library, name));
    return slot != nullptr;
}

}  // namespace

std::string EncoderModulePath() {
    {
        std::lock_guard lock(g_pathMutex);
        if (!g_pathOverride.empty())
            return g_pathOverride;
    }
    return ExecutableFolder() + "/lame_enc.so";
}

void SetEncoderModulePath(std::string path) {
    std::lock_guard lock(g_pathMutex);
    g_pathOverride = std::move(path);
}

EncoderLoadResult LoadEncoderModule(CEncoderModule& module) {
    module = {};
    // Loaded on every use and never closed: the reference count only grows, the code stays.
    void* library = ::dlopen(EncoderModulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return EncoderLoadResult::NotFound;
    CEncoderModule found;
    bool complete = Resolve(library, "beInitStream", found.beInitStream);
    complete &= Resolve(library, "beEncodeChunkFloatS16NI", found.beEncodeChunkFloatS16NI);
    complete &= Resolve(library, "beDeinitStream", found.beDeinitStream);
    complete &= Resolve(library, "beCloseStream", found.beCloseStream);
    complete &= Resolve(library, "beWriteVBRHeader", found.beWriteVBRHeader);
    Resolve(library, "beWriteInfoTag", found.beWriteInfoTag);
    if (!complete)
        return EncoderLoadResult::MissingEntryPoint;
    module = found;
    return EncoderLoadResult::Loaded;
}
