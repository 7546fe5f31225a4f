// Deliberately broken encoder modules for the encode stage's error paths. One source, built
// several times with one of these definitions:
//   STANDIN_NO_ENCODE        beEncodeChunkFloatS16NI is missing
//   STANDIN_FAIL_INIT        beInitStream fails
//   STANDIN_FAIL_ENCODE_AT=k the k-th beEncodeChunkFloatS16NI call of a stream fails
//   STANDIN_FAIL_DEINIT      beDeinitStream fails
//   STANDIN_NO_INFOTAG       beWriteInfoTag is missing
// Everything else is the real encoder, so the files it writes are real MP3 files.
#include <atomic>

#include "lame_enc/LameStream.h"
#include "tests/engine/StandInEncoder.h"

#define BE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
[[maybe_unused]] std::atomic<int> g_encodeCalls{0};
}

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
    return lame_enc::InitStream(config, samples, bufferSize, stream);
#endif
}

#ifndef STANDIN_NO_ENCODE
BE_EXPORT BE_ERR beEncodeChunkFloatS16NI(HBE_STREAM stream, BE_DWORD frames, const float* left,
                                         const float* right, uint8_t* output, BE_DWORD* produced) {
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
