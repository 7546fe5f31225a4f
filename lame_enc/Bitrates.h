#pragma once

#include <cstdlib>
#include <span>

// The legal MPEG bit rate nearest to kbps for a stream at that output rate (the rate decides
// the MPEG version); ties go to the lower rate. Shared by the encoder module, which takes it,
// and the encode stage, which tells the user when it differs from the setting.
inline int LegalBitrate(int kbps, int sampleRate) {
    static constexpr int mpeg1[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static constexpr int mpeg2[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    // libmp3lame stops MPEG-2.5 (rates below 16000 Hz) at 64 kbit/s.
    static constexpr int mpeg25[] = {8, 16, 24, 32, 40, 48, 56, 64};
    const std::span<const int> table = sampleRate >= 32000   ? std::span<const int>(mpeg1)
                                       : sampleRate >= 16000 ? std::span<const int>(mpeg2)
                                                             : std::span<const int>(mpeg25);
    int best = table[0];
    for (int rate : table) {
        if (std::abs(rate - kbps) < std::abs(best - kbps))
            best = rate;
    }
    return best;
}
