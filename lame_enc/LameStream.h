#pragma once

#include "lame_enc/BladeEnc.h"

// The encoder streams behind the exported entry points; the same signatures, so a module (or a
// test stand-in) only has to forward. Safe to call from several threads; one stream's calls
// are serialised.
namespace lame_enc {

BE_ERR InitStream(PBE_CONFIG config, BE_DWORD* samples, BE_DWORD* bufferSize, PHBE_STREAM stream);
BE_ERR EncodeChunkFloatS16NI(HBE_STREAM stream, BE_DWORD frames, const float* left,
                             const float* right, uint8_t* output, BE_DWORD* produced);
BE_ERR DeinitStream(HBE_STREAM stream, uint8_t* output, BE_DWORD* produced);
BE_ERR CloseStream(HBE_STREAM stream);
BE_ERR WriteInfoTag(HBE_STREAM stream, const char* path);
BE_ERR WriteVBRHeader(const char* path);

// Legal MPEG bit rate nearest to kbps for a stream at that output rate (the rate decides the
// MPEG version); ties go to the lower rate.
int NearestLegalBitrate(int kbps, int sampleRate);

}  // namespace lame_enc
