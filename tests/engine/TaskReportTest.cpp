// The texts and verdicts the batch gives about one file.
#include <gtest/gtest.h>

#include "engine/TaskReport.h"

namespace {

TEST(TaskReport, PlayTimesAreMinutesAndSecondsOrHours) {
    EXPECT_EQ(FormatPlayTime(0), "00:00");
    EXPECT_EQ(FormatPlayTime(59.99), "00:59");
    EXPECT_EQ(FormatPlayTime(754), "12:34");
    EXPECT_EQ(FormatPlayTime(3599.5), "59:59");
    EXPECT_EQ(FormatPlayTime(3600), "01:00:00");
    EXPECT_EQ(FormatPlayTime(36000 + 61), "10:01:01");
    EXPECT_EQ(FormatPlayTime(-3), "00:00");
}

struct LengthCase {
    const char* name;
    uint64_t decoded, promised;
    DecodedLength expected;
};

class DecodedLengthTest : public testing::TestWithParam<LengthCase> {};

TEST_P(DecodedLengthTest, TellsGapsFromBrokenSources) {
    EXPECT_EQ(JudgeDecodedLength(GetParam().decoded, GetParam().promised), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, DecodedLengthTest,
    testing::Values(LengthCase{"All", 1000, 1000, DecodedLength::Complete},
                    LengthCase{"MoreThanPromised", 1200, 1000, DecodedLength::Complete},
                    LengthCase{"OnePageLost", 997, 1000, DecodedLength::Complete},
                    LengthCase{"JustEnough", 900, 1000, DecodedLength::Complete},
                    LengthCase{"FarLess", 899, 1000, DecodedLength::Short},
                    LengthCase{"Nothing", 0, 1000, DecodedLength::Nothing},
                    LengthCase{"NothingPromised", 0, 0, DecodedLength::Nothing},
                    LengthCase{"UnknownPromise", 10, 0, DecodedLength::Complete}),
    [](const testing::TestParamInfo<LengthCase>& info) { return info.param.name; });

TEST(TaskReport, IncompleteLineSaysWhereTheFileEnds) {
    EXPECT_EQ(IncompleteFileLine("/m/a.mp3", 83.9, 36000),
              "/m/a.mp3 is incomplete: it holds only the first 01:23 of 10:00:00.");
}

}  // namespace
