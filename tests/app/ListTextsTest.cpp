#include "app/core/ListTexts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

CAudioFileItem Good(uint32_t rate, uint32_t channels, double duration) {
    CAudioFileItem item;
    item.m_sampleRate = rate;
    item.m_channels = channels;
    item.m_duration = duration;
    item.m_totalSamples = static_cast<uint64_t>(duration * rate * channels);
    return item;
}

struct CellCase {
    const char* label;
    CAudioFileItem item;
    const char* duration;
    const char* frequency;
    const char* channel;
};

class CellTexts : public testing::TestWithParam<CellCase> {};

TEST_P(CellTexts, ShowsTheRecord) {
    const CellCase& c = GetParam();
    EXPECT_EQ(DurationText(c.item), c.duration);
    EXPECT_EQ(FrequencyText(c.item), c.frequency);
    EXPECT_EQ(ChannelText(c.item), c.channel);
}

CAudioFileItem Bad() {
    CAudioFileItem item = Good(44100, 2, 100);
    item.m_error = 1;
    return item;
}

INSTANTIATE_TEST_SUITE_P(
    ListTexts, CellTexts,
    testing::Values(
        CellCase{"TenPointNineSeconds", Good(48000, 2, 10.9), "00:00:10", "48000 Hz", "2 (Stereo)"},
        CellCase{"SubSecondHasNoDuration", Good(22050, 1, 0.4), "", "22050 Hz", "1 (Mono)"},
        CellCase{"SixChannelsShowTheDigit", Good(44100, 6, 75), "00:01:15", "44100 Hz", "6"},
        CellCase{"HoursPastTwoDigits", Good(8000, 1, 100 * 3600 + 61.5), "100:01:01", "8000 Hz",
                 "1 (Mono)"},
        CellCase{"BadFileShowsNothing", Bad(), "", "", ""},
        CellCase{"NothingReadYet", CAudioFileItem{}, "", "", ""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ListTexts, TypeCellIsUnknownForABadFile) {
    CAudioFileItem item;
    EXPECT_EQ(TypeText("OGG", item), "OGG");
    item.m_error = 1;
    EXPECT_EQ(TypeText("OGG", item), "Unknown");
}

TEST(ListTexts, SizeHasTwoDecimals) {
    EXPECT_EQ(SizeText(1.5), "1.50");
    EXPECT_EQ(SizeText(3.14159), "3.14");
    EXPECT_EQ(SizeText(0), "0.00");
}

TEST(ListTexts, LastModifiedIsLocalTime) {
    std::tm local{};
    local.tm_year = 2021 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 4;
    local.tm_hour = 5;
    local.tm_min = 6;
    local.tm_sec = 7;
    local.tm_isdst = -1;
    EXPECT_EQ(LastModifiedText(std::mktime(&local)), "2021/03/04 05:06:07");
}

TEST(ListTexts, SummaryOfOneTwoAndThreeMinutes) {
    EXPECT_EQ(SummaryText(3, 0.52 + 1.04 + 1.56, 60.0 + 120.0 + 180.0),
              "3 file(s)   3.12 MB   00:06:00");
    EXPECT_EQ(SummaryText(1, 0.004, 59.999), "1 file(s)   0.00 MB   00:00:59");
    EXPECT_EQ(SummaryText(0, 0, 0), "No file");
}

TEST(ListTexts, SelectionOfTwoRows) {
    EXPECT_EQ(SelectionText(2, 1.50 + 2.25, 61 + 62), "2 file(s) selected, 3.75 MB   00:02:03");
    EXPECT_EQ(SelectionText(0, 0, 0), "No file selected");
}

TEST(ListTexts, DurationsOutsideTheIntegerRangeAreSafe) {
    EXPECT_EQ(FormatHms(-5), "00:00:00");
    EXPECT_EQ(FormatHms(std::numeric_limits<double>::quiet_NaN()), "00:00:00");
    EXPECT_EQ(FormatHms(3600.0 * 24 * 365 * 1000), "8760000:00:00");
    // Far beyond any real file: saturates instead of converting out of range.
    EXPECT_EQ(FormatHms(std::numeric_limits<double>::infinity()), "277777777777:46:40");
    EXPECT_EQ(FormatHms(1e300), "277777777777:46:40");
}

}  // namespace
