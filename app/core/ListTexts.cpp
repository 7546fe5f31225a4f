#include "app/core/ListTexts.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

namespace {

std::string Printf(const char* format, auto... args) {
    char buffer[256];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    return n < 0 ? std::string() : std::string(buffer, std::min<size_t>(n, sizeof buffer - 1));
}

// Whole seconds, saturated: a double outside the integer's range must not be converted as is.
uint64_t WholeSeconds(double seconds) {
    if (!(seconds >= 1.0))  // also NaN
        return 0;
    if (seconds >= 1e15)
        return 1000000000000000ull;
    return static_cast<uint64_t>(seconds);
}

std::string Hms(uint64_t whole) {
    return Printf("%02" PRIu64 ":%02d:%02d", whole / 3600, static_cast<int>(whole % 3600 / 60),
                  static_cast<int>(whole % 60));
}

}  // namespace

std::string FormatHms(double seconds) {
    return Hms(WholeSeconds(seconds));
}

std::string TypeText(const std::string& upperExtension, const CAudioFileItem& item) {
    return item.m_error ? std::string("Unknown") : upperExtension;
}

std::string SizeText(double sizeMB) {
    return Printf("%.2f", sizeMB);
}

std::string LastModifiedText(std::time_t lastWrite) {
    std::tm local{};
    if (!localtime_r(&lastWrite, &local))
        return std::string();
    char buffer[64];
    const size_t n = std::strftime(buffer, sizeof buffer, "%Y/%m/%d %H:%M:%S", &local);
    return std::string(buffer, n);
}

std::string DurationText(const CAudioFileItem& item) {
    const uint64_t whole = WholeSeconds(item.m_duration);
    if (item.m_error || whole == 0)
        return std::string();
    return Hms(whole);
}

std::string FrequencyText(const CAudioFileItem& item) {
    if (item.m_error || item.m_sampleRate == 0)
        return std::string();
    return Printf("%u Hz", item.m_sampleRate);
}

std::string ChannelText(const CAudioFileItem& item) {
    if (item.m_error || item.m_channels == 0)
        return std::string();
    if (item.m_channels == 1)
        return "1 (Mono)";
    if (item.m_channels == 2)
        return "2 (Stereo)";
    return Printf("%u", item.m_channels);
}

std::string SummaryText(int fileCount, double totalSizeMB, double totalDuration) {
    if (fileCount == 0)
        return "No file";
    return Printf("%d file(s)   %.2f MB   ", fileCount, totalSizeMB) + FormatHms(totalDuration);
}

std::string SelectionText(int selectedCount, double sizeMB, double duration) {
    if (selectedCount == 0)
        return "No file selected";
    return Printf("%d file(s) selected, %.2f MB   ", selectedCount, sizeMB) + FormatHms(duration);
}
