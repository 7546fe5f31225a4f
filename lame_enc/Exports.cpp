// The module's exported entry points; everything else in the module stays hidden.
#include "lame_enc/BladeEnc.h"
#include "lame_enc/LameStream.h"

#define BE_EXPORT extern "C" __attribute__((visibility("default")))

BE_EXPORT BE_ERR beInitStream(PBE_CONFIG config, BE_DWORD* samples, BE_DWORD* bufferSize,
                              PHBE_STREAM stream) {
    return lame_enc::InitStream(config, samples, bufferSize, stream);
}

BE_EXPORT BE_ERR beEncodeChunkFloatS16NI(HBE_STREAM stream, BE_DWORD frames, const float* left,
                                         const float* right, uint8_t* output, BE_DWORD* produced) {
    return lame_enc::EncodeChunkFloatS16NI(stream, frames, left, right, output, produced);
}

BE_EXPORT BE_ERR beDeinitStream(HBE_STREAM stream, uint8_t* output, BE_DWORD* produced) {
    return lame_enc::DeinitStream(stream, output, produced);
}

BE_EXPORT BE_ERR beCloseStream(HBE_STREAM stream) {
    return lame_enc::CloseStream(stream);
}

BE_EXPORT BE_ERR beWriteInfoTag(HBE_STREAM stream, const char* path) {
    return lame_enc::WriteInfoTag(stream, path);
}

BE_EXPORT BE_ERR beWriteVBRHeader(const char* path) {
    return lame_enc::WriteVBRHeader(path);
}
