#include "engine/TaskReport.h"

#include <cmath>
#include <cstdio>

namespace {

// Below this share of the promised length the source is broken, not merely gapped.
constexpr double SHORT_SOURCE_SHARE = 0.9;

}  // namespace

std::string FormatPlayTime(double seconds) {
    if (!(seconds > 0))
        seconds = 0;
    const auto whole = static_cast<unsigned long long>(std::floor(seconds));
    char text[48];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu", whole / 3600, whole / 60 % 60,
                      whole % 60);
    else
        std::snprintf(text, sizeof text, "%02llu:%02llu", whole / 60, whole % 60);
    return text;
}

DecodedLength JudgeDecodedLength(uint64_t decoded, uint64_t promised) {
    if (decoded == 0)
        return DecodedLength::Nothing;
    if (static_cast<double>(decoded) < static_cast<double>(promised) * SHORT_SOURCE_SHARE)
        return DecodedLength::Short;
    return DecodedLength::Complete;
}

std::string IncompleteFileLine(const std::string& path, double heldSeconds,
                               double expectedSeconds) {
    return path + " is incomplete: it holds only the first " + FormatPlayTime(heldSeconds) +
           " of " + FormatPlayTime(expectedSeconds) + ".";
}
