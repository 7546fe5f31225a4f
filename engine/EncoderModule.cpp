#include "engine/EncoderModule.h"

#include <cstring>

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
    // A built executable has the module beside it; an installed one in the private library
    // folder, found relative to itself so that any install prefix works.
    const std::string folder = ExecutableFolder();
    const std::string beside = folder + "/lame_enc.so";
#ifdef QUILLON_INSTALLED_MODULE_DIR
    if (::access(beside.c_str(), F_OK) != 0) {
        const std::string installed = folder + "/" QUILLON_INSTALLED_MODULE_DIR "/lame_enc.so";
        if (::access(installed.c_str(), F_OK) == 0)
            return installed;
    }
#endif
    return beside;
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

void FillEncoderConfig(BE_CONFIG& config, uint32_t rate, uint32_t channels, int kbps) {
    std::memset(&config, 0, sizeof config);
    config.dwConfig = BE_CONFIG_LAME;
    auto& lhv1 = config.format.LHV1;
    lhv1.dwStructVersion = CURRENT_STRUCT_VERSION;
    lhv1.dwStructSize = CURRENT_STRUCT_SIZE;
    lhv1.dwSampleRate = rate;
    lhv1.dwReSampleRate = 0;
    lhv1.nMode = channels == 1 ? BE_MP3_MODE_MONO : BE_MP3_MODE_STEREO;
    lhv1.dwBitrate = static_cast<BE_DWORD>(kbps);
    lhv1.dwMaxBitrate = 0;
    lhv1.nPreset = LQP_NOPRESET;
    lhv1.dwMpegVersion = MPEG1;
    lhv1.bWriteVBRHeader = 1;
    lhv1.bEnableVBR = 0;
    lhv1.bNoRes = 1;
    lhv1.nQuality = static_cast<uint16_t>(((255 - LAME_QUALITY) << 8) | LAME_QUALITY);
}
