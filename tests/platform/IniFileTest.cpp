#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

struct IntCase {
    const char* value;
    int expected;
};

class IniIntTest : public testing::TestWithParam<IntCase> {};

TEST_P(IniIntTest, ReadsTheLeadingInteger) {
    CIniFile ini;
    ini.Parse(std::string("[MP3]\nLameBits=") + GetParam().value + "\n");
    EXPECT_EQ(ini.GetInt("MP3", "LameBits", 11), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, IniIntTest,
                         testing::Values(IntCase{"17", 17}, IntCase{"-3", -3}, IntCase{" 4 ", 4},
                                         IntCase{"12abc", 12}, IntCase{"0x10", 16},
                                         IntCase{"abc", 11}, IntCase{"", 11},
                                         IntCase{"99999999999", 2147483647},
                                         IntCase{"-99999999999", -2147483647 - 1}));

TEST(IniFile, NamesMatchWithoutCaseAndTheFirstDuplicateWins) {
    CIniFile ini;
    ini.Parse("; comment\n[output]\n desdir = /a/\nDesDir=/b/\n[Output]\nDesDir=/c/\n");
    EXPECT_EQ(ini.GetString("OUTPUT", "DesDir", "x"), "/a/");
    EXPECT_EQ(ini.GetString("OUTPUT", "Missing", "def"), "def");
    EXPECT_EQ(ini.GetString("NOPE", "DesDir", "def"), "def");
}

TEST(IniFile, EmptyValueIsEmptyNotTheDefault) {
    CIniFile ini;
    ini.Parse("[OUTPUT]\nDesDir=\n");
    EXPECT_EQ(ini.GetString("OUTPUT", "DesDir", "/default/"), "");
}

TEST(IniFile, QuotesAreRemovedAndLongValuesCutToTheBuffer) {
    CIniFile ini;
    const std::string longValue(1500, 'a');
    // Multi-byte characters count as one character each and are never split.
    const std::string wide = std::string(1022, 'b') + "\xC3\xA9\xC3\xA9";
    ini.Parse("[S]\nq=\"quoted value\"\nlong=" + longValue + "\nwide=" + wide + "\n");
    EXPECT_EQ(ini.GetString("S", "q", ""), "quoted value");
    EXPECT_EQ(ini.GetString("S", "long", ""), std::string(1023, 'a'));
    EXPECT_EQ(ini.GetString("S", "wide", ""), std::string(1022, 'b') + "\xC3\xA9");
}

TEST(IniFile, UpdatesInPlaceKeepingEverythingElse) {
    CIniFile ini;
    ini.Parse("; my notes\r\n[OUTPUT]\r\nDesDir=/old/\r\nExtra=1\r\n\r\n[Other]\r\nkey=v\r\n");
    ini.SetString("output", "desdir", "/new/");
    ini.SetString("OUTPUT", "Added", "2");
    ini.SetString("MP3", "LameBits", "11");
    EXPECT_EQ(ini.Text(),
              "; my notes\n[OUTPUT]\nDesDir=/new/\nExtra=1\nAdded=2\n\n[Other]\nkey=v\n"
              "[MP3]\nLameBits=11\n");
}

TEST(IniFile, SaveReplacesTheFileWholeAndFailsCleanly) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("quillon-ini-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "Config.ini").string();
    EXPECT_TRUE(WritePrivateProfileString("MP3", "Freq", "3", path));
    EXPECT_TRUE(WritePrivateProfileString("MP3", "Freq", "4", path));
    EXPECT_EQ(GetPrivateProfileInt("MP3", "Freq", 0, path), 4);
    EXPECT_EQ(GetPrivateProfileString("MP3", "Freq", "", path), "4");
    // No temporary file stays behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              1);
    // A regular file standing where the folder should be: the save fails, nothing is created.
    const std::string blocked = (dir / "Config.ini" / "Config.ini").string();
    EXPECT_FALSE(WritePrivateProfileString("MP3", "Freq", "5", blocked));
    EXPECT_EQ(GetPrivateProfileInt("MP3", "Freq", 0, path), 4);
    std::filesystem::remove_all(dir);
}

}  // namespace
