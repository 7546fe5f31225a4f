#include "cli/Options.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct WrongCase {
    const char* label;
    std::vector<std::string> args;
    std::string reason;
};

class WrongCommandLine : public testing::TestWithParam<WrongCase> {};

TEST_P(WrongCommandLine, GivesOneLineReason) {
    const WrongCase& c = GetParam();
    CCliOptions options;
    std::string reason;
    EXPECT_EQ(ParseOptions(c.args, options, reason), ParseStatus::Error);
    EXPECT_EQ(reason, c.reason);
    EXPECT_EQ(reason.find('\n'), std::string::npos);
}

const std::string kBadBitrate =
    " is not one of 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320 "
    "(kbit/s)";
const std::string kBadRate =
    " is not auto or one of 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100 (Hz)";
const std::string kBadJobs = " is not a number from 1 to 16";

INSTANTIATE_TEST_SUITE_P(
    Options, WrongCommandLine,
    testing::Values(
        WrongCase{"NoArguments", {}, "no input files"},
        WrongCase{"OptionsButNoFiles", {"-b", "128"}, "no input files"},
        WrongCase{"OnlyDoubleDash", {"--"}, "no input files"},
        WrongCase{"UnknownShort", {"-x", "a.ogg"}, "unknown option '-x'"},
        WrongCase{"UnknownLong", {"--force", "a.ogg"}, "unknown option '--force'"},
        WrongCase{"UnknownLongWithValue", {"--level=3", "a.ogg"}, "unknown option '--level'"},
        WrongCase{"ShortHelpWithJunk", {"-hv", "a.ogg"}, "unknown option '-hv'"},
        WrongCase{"HelpTakesNoValue", {"--help=yes"}, "option '--help' takes no value"},
        WrongCase{"OutputMissingValue", {"a.ogg", "-o"}, "option '-o' needs a value"},
        WrongCase{
            "LongOutputMissingValue", {"a.ogg", "--output"}, "option '--output' needs a value"},
        WrongCase{"EmptyOutput", {"--output=", "a.ogg"}, "the output folder is empty"},
        WrongCase{"EmptyOutputSeparate", {"-o", "", "a.ogg"}, "the output folder is empty"},
        WrongCase{"BitrateNotInTable", {"-b", "100", "a.ogg"}, "bit rate '100'" + kBadBitrate},
        WrongCase{"BitrateWithUnit", {"-b", "128k", "a.ogg"}, "bit rate '128k'" + kBadBitrate},
        WrongCase{"BitrateNegative", {"--bitrate=-128", "a.ogg"}, "bit rate '-128'" + kBadBitrate},
        WrongCase{"BitrateHuge",
                  {"-b", "99999999999999999999", "a.ogg"},
                  "bit rate '99999999999999999999'" + kBadBitrate},
        WrongCase{"BitrateMissing", {"a.ogg", "-b"}, "option '-b' needs a value"},
        WrongCase{"ChannelsUnknown",
                  {"-c", "surround", "a.ogg"},
                  "channel mode 'surround' is not one of auto, mono, stereo"},
        WrongCase{"ChannelsUpperCase",
                  {"--channels", "Mono", "a.ogg"},
                  "channel mode 'Mono' is not one of auto, mono, stereo"},
        WrongCase{"RateNotInTable", {"-r", "48000", "a.ogg"}, "sampling rate '48000'" + kBadRate},
        WrongCase{"RateZero", {"-r", "0", "a.ogg"}, "sampling rate '0'" + kBadRate},
        WrongCase{"RateText", {"--rate=fast", "a.ogg"}, "sampling rate 'fast'" + kBadRate},
        WrongCase{"JobsZero", {"-j", "0", "a.ogg"}, "files at once '0'" + kBadJobs},
        WrongCase{"JobsTooMany", {"--jobs=17", "a.ogg"}, "files at once '17'" + kBadJobs},
        WrongCase{"JobsText", {"-jall", "a.ogg"}, "files at once 'all'" + kBadJobs},
        WrongCase{"JobsMissing", {"a.ogg", "-j"}, "option '-j' needs a value"},
        WrongCase{"Id3VersionTwo", {"--id3", "2", "a.ogg"}, "ID3 version '2' is not 3 or 4"},
        WrongCase{"Id3VersionDotted", {"--id3=2.4", "a.ogg"}, "ID3 version '2.4' is not 3 or 4"},
        WrongCase{"Id3Missing", {"a.ogg", "--id3"}, "option '--id3' needs a value"},
        WrongCase{"Id3HasNoShortForm", {"-i", "4", "a.ogg"}, "unknown option '-i'"},
        WrongCase{
            "NoTagsTakesNoValue", {"--no-tags=1", "a.ogg"}, "option '--no-tags' takes no value"}),
    [](const auto& info) { return std::string(info.param.label); });

struct GoodCase {
    const char* label;
    std::vector<std::string> args;
    std::optional<std::string> output;
    std::optional<int> lameBits;
    std::optional<int> lameChannel;
    std::optional<int> freq;
    std::vector<std::string> files;
    std::optional<int> id3Version = {};
    bool noTags = false;
};

class RightCommandLine : public testing::TestWithParam<GoodCase> {};

TEST_P(RightCommandLine, SetsOnlyWhatItNames) {
    const GoodCase& c = GetParam();
    CCliOptions options;
    std::string reason;
    ASSERT_EQ(ParseOptions(c.args, options, reason), ParseStatus::Run) << reason;
    EXPECT_EQ(options.m_outputFolder, c.output);
    EXPECT_EQ(options.m_lameBits, c.lameBits);
    EXPECT_EQ(options.m_lameChannel, c.lameChannel);
    EXPECT_EQ(options.m_freq, c.freq);
    EXPECT_EQ(options.m_files, c.files);
    EXPECT_EQ(options.m_id3Version, c.id3Version);
    EXPECT_EQ(options.m_noTags, c.noTags);
}

INSTANTIATE_TEST_SUITE_P(
    Options, RightCommandLine,
    testing::Values(
        GoodCase{"FilesOnly", {"a.ogg", "b.ogg"}, {}, {}, {}, {}, {"a.ogg", "b.ogg"}},
        GoodCase{"ShortForms",
                 {"-o", "out", "-b", "8", "-c", "mono", "-r", "11025", "a.ogg"},
                 "out",
                 0,
                 1,
                 2,
                 {"a.ogg"}},
        GoodCase{"AttachedShortForms",
                 {"-oout", "-b320", "-cstereo", "-rauto", "a.ogg"},
                 "out",
                 16,
                 2,
                 0,
                 {"a.ogg"}},
        GoodCase{"LongForms",
                 {"--output", "o", "--bitrate=128", "--channels=auto", "--rate", "44100", "x"},
                 "o",
                 11,
                 0,
                 8,
                 {"x"}},
        GoodCase{"LastOneWins", {"-b", "8", "-b", "16", "a.ogg"}, {}, 1, {}, {}, {"a.ogg"}},
        GoodCase{"OptionsAfterFiles", {"a.ogg", "-r", "8000"}, {}, {}, {}, 1, {"a.ogg"}},
        GoodCase{"DashIsAFile", {"-"}, {}, {}, {}, {}, {"-"}},
        GoodCase{"Id3Four", {"--id3", "4", "a.ogg"}, {}, {}, {}, {}, {"a.ogg"}, 4},
        GoodCase{"Id3ThreeAttached", {"a.ogg", "--id3=3"}, {}, {}, {}, {}, {"a.ogg"}, 3},
        GoodCase{"NoTags", {"--no-tags", "a.ogg"}, {}, {}, {}, {}, {"a.ogg"}, {}, true},
        GoodCase{
            "DoubleDashEndsOptions", {"--", "-b", "--help"}, {}, {}, {}, {}, {"-b", "--help"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Options, HelpAndVersionNeedNoFiles) {
    CCliOptions options;
    std::string reason;
    EXPECT_EQ(ParseOptions({"-h"}, options, reason), ParseStatus::Help);
    EXPECT_EQ(ParseOptions({"--help", "a.ogg"}, options, reason), ParseStatus::Help);
    EXPECT_EQ(ParseOptions({"--version"}, options, reason), ParseStatus::Version);
    // A wrong option still wins over help.
    EXPECT_EQ(ParseOptions({"--help", "-b", "7"}, options, reason), ParseStatus::Error);
}

TEST(Options, FilesAtOnceFromOneToSixteen) {
    for (const auto& [args, expected] : std::vector<std::pair<std::vector<std::string>, int>>{
             {{"-j", "1", "a.ogg"}, 1}, {{"-j16", "a.ogg"}, 16}, {{"--jobs=4", "a.ogg"}, 4}}) {
        CCliOptions options;
        std::string reason;
        ASSERT_EQ(ParseOptions(args, options, reason), ParseStatus::Run) << reason;
        EXPECT_EQ(options.m_filesAtOnce, expected);
    }
    CCliOptions options;
    std::string reason;
    ASSERT_EQ(ParseOptions({"a.ogg"}, options, reason), ParseStatus::Run);
    EXPECT_FALSE(options.m_filesAtOnce.has_value());
}

TEST(Options, UsageNamesEveryOption) {
    const std::string usage = UsageText();
    EXPECT_EQ(usage,
              "usage: quillon-convert [-o DIR] [-b KBPS] [-c auto|mono|stereo] [-r auto|HZ]\n"
              "                       [-j N] [--id3 3|4 | --no-tags] FILE...\n");
    const std::string help = HelpText();
    for (const char* word : {"--output", "--bitrate", "--channels", "--rate", "--jobs", "--id3",
                             "--no-tags", "--help", "--version", "320", "44100", "StopOnError"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
}

}  // namespace
