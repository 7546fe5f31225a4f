// Deliberately broken encoder modules for the encode stage's error paths. One source, built
// several times with one of these definitions:
//   STANDIN_NO_ENCODE        beEncodeChunkFloatS16NI is missing
//   STANDIN_FAIL_INIT        beInitStream fails
//   STANDIN_FAIL_ENCODE_AT=k the k-th beEncodeChunkFloatS16NI call of a stream fails
//   STANDIN_FAIL_DEINIT      beDeinitStream fails
//   STANDIN_NO_INFOTAG       beWriteInfoTag is missing
//   STANDIN_HOLD             streams at 12000 Hz block in beEncodeChunkFloatS16NI while the file
//                            named by QUILLON_STANDIN_HOLD exists (a hung disk, say); the file
//                            name + ".held" is created when one blocks
// Everything else is the real encoder, so the files it writes are real MP3 files.
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "lame_enc/LameStream.h"
#include "tests/engine/StandInEncoder.h"

#define BE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
[[maybe_unused]] std::atomic<int> g_encodeCalls{0};

#ifdef STANDIN_HOLD
std::mutex g_heldMutex;
std::set<HBE_STREAM> g_held;

void HoldIfAsked(HBE_STREAM stream) {
    {
        std::lock_guard lock(g_heldMutex);
        if (!g_held.count(stream))
            return;
    }
    const char* hold = std::getenv("QUILLON_STANDIN_HOLD");
    if (!hold)
        return;
    std::ofstream(std::string(hold) + ".held") << "held\n";
    while (::access(hold, F_OK) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}
#endif
}  // namespace

BE_EXPORT BE_ERR beInitStream(PBE_CONFIG config, BE_DWORD* samples, BE_DWORD* bufferSize,
                              PHBE_STREAM stream) {
#ifdef STANDIN_FAIL_INIT
    (void)config;
    (void)samples;
    (void)bufferSize;
    (void)stream;
    return STANDIN_INIT_ERROR;
#else
    g_encodeCalls = 0;
    const BE_ERR result = lame_enc::InitStream(config, samples, bufferSize, stream);
#ifdef STANDIN_HOLD
    if (result == BE_ERR_SUCCESSFUL && config->format.LHV1.dwSampleRate == 12000) {
        std::lock_guard lock(g_heldMutex);
        g_held.insert(*stream);
    }
#endif
    return result;
#endif
}

#ifndef STANDIN_NO_ENCODE
BE_EXPORT BE_ERR beEncodeChunkFloatS16NI(HBE_STREAM stream, BE_DWORD frames, const float* left,
                                         const float* right, uint8_t* output, BE_DWORD* produced) {
#ifdef STANDIN_HOLD
    HoldIfAsked(stream);
#endif
#ifdef STANDIN_FAIL_ENCODE_AT
    if (++g_encodeCalls == STANDIN_FAIL_ENCODE_AT) {
        *produced = 0;
        return STANDIN_ENCODE_ERROR;
    }
#endif
    return lame_enc::EncodeChunkFloatS16NI(stream, frames, left, right, output, produced);
}
#endif

BE_EXPORT BE_ERR beDeinitStream(HBE_STREAM stream, uint8_t* output, BE_DWORD* produced) {
#ifdef STANDIN_FAIL_DEINIT
    *produced = 0;
    // Still flush, so the stream can be tagged as usual.
    BE_DWORD ignored = 0;
    lame_enc::DeinitStream(stream, output, &ignored);
    return STANDIN_DEINIT_ERROR;
#else
    return lame_enc::DeinitStream(stream, output, produced);
#endif
}

BE_EXPORT BE_ERR beCloseStream(HBE_STREAM stream) {
    return lame_enc::CloseStream(stream);
}

#ifndef STANDIN_NO_INFOTAG
BE_EXPORT BE_ERR beWriteInfoTag(HBE_STREAM stream, const char* path) {
    return lame_enc::WriteInfoTag(stream, path);
}
#endif

BE_EXPORT BE_ERR beWriteVBRHeader(const char* path) {
    return lame_enc::WriteVBRHeader(path);
}
