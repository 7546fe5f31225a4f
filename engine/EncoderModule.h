#pragma once

#include <cstdint>
#include <string>

#include "lame_enc/BladeEnc.h"

// The encoder module's entry points, resolved together. beWriteInfoTag may be missing; the
// other five are required.
struct CEncoderModule {
    BEINITSTREAM beInitStream = nullptr;
    BEENCODECHUNKFLOATS16NI beEncodeChunkFloatS16NI = nullptr;
    BEDEINITSTREAM beDeinitStream = nullptr;
    BECLOSESTREAM beCloseStream = nullptr;
    BEWRITEINFOTAG beWriteInfoTag = nullptr;  // optional
    BEWRITEVBRHEADER beWriteVBRHeader = nullptr;
};

enum class EncoderLoadResult { Loaded, NotFound, MissingEntryPoint };

// The record for one stream: constant bit rate in kbit/s, plain stereo or mono, the Info tag,
// no bit reservoir, quality LAME_QUALITY.
void FillEncoderConfig(BE_CONFIG& config, uint32_t rate, uint32_t channels, int kbps);
constexpr int LAME_QUALITY = 9;

// Loads the module (never unloaded) and resolves its entry points into module.
EncoderLoadResult LoadEncoderModule(CEncoderModule& module);

// The module file: the override when one is set, else "lame_enc.so" in the executable's folder,
// else the one in the install tree's module folder when that exists.
std::string EncoderModulePath();
// Process-wide override, for tests that load stand-ins; an empty path restores the default.
void SetEncoderModulePath(std::string path);
