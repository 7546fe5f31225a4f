#include "app/core/Settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/MessageBox.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Every test gets its own home, so nothing touches the user's files.
class SettingsTest : public testing::Test {
protected:
    void SetUp() override {
        m_home = fs::temp_directory_path() /
                 ("quillon-settings-" + std::to_string(::getpid()) + "-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_home);
        fs::create_directories(m_home / ".config");
        ::setenv("HOME", m_home.c_str(), 1);
        ::unsetenv("XDG_CONFIG_HOME");
        g_configFolder = DefaultConfigFolder();
        fs::create_directories(g_configFolder);
        ResetSettings();
        m_boxes.clear();
        SetMessageBoxHook([this](const std::string& text, MessageBoxIcon icon) {
            m_boxes.emplace_back(text, icon);
        });
    }
    void TearDown() override {
        SetMessageBoxHook({});
        fs::remove_all(m_home);
    }
    void WriteConfig(const std::string& text) { std::ofstream(ConfigFilePath()) << text; }

    fs::path m_home;
    std::vector<std::pair<std::string, MessageBoxIcon>> m_boxes;
};

TEST_F(SettingsTest, DefaultsWithoutAFile) {
    EXPECT_EQ(g_configFolder, (m_home / ".config" / "Quillon").string());
    EXPECT_EQ(LoadSettings(), 1);
    EXPECT_EQ(g_bitrateTable[g_lameBits], 128);
    EXPECT_EQ(g_lameChannel, 0);
    EXPECT_EQ(g_freq, 0);
    EXPECT_EQ(g_outputType, 2);
    EXPECT_EQ(g_id3Version, 3);
    EXPECT_TRUE(g_writeTags);
    EXPECT_EQ(g_outputFolder, (m_home / "Music").string() + "/");
}

TEST_F(SettingsTest, MusicFolderComesFromTheDesktopsUserDirs) {
    std::ofstream(m_home / ".config" / "user-dirs.dirs")
        << "# written by xdg-user-dirs-update\nXDG_MUSIC_DIR=\"$HOME/Musik\"\n";
    EXPECT_EQ(DefaultOutputFolder(), (m_home / "Musik").string() + "/");
}

TEST_F(SettingsTest, DefaultsAreWrittenAsTwoSections) {
    g_outputFolder = "/srv/mp3/";
    ASSERT_EQ(SaveSettings(), 1);
    EXPECT_EQ(ReadAll(ConfigFilePath()),
              "[OUTPUT]\nDesDir=/srv/mp3/\n[MP3]\nLameBits=11\nLameChannel=0\nFreq=0\n"
              "Id3Version=3\n[CONVERT]\nFilesAtOnce=0\nStopOnError=0\n");
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(SettingsTest, SavedValuesLoadBack) {
    g_outputFolder = "/home/me/Out dir/";
    g_lameBits = 16;
    g_lameChannel = 2;
    g_freq = 8;
    g_filesAtOnce = 3;
    g_stopOnError = 1;
    g_id3Version = 4;
    ASSERT_EQ(SaveSettings(), 1);
    ResetSettings();
    EXPECT_EQ(g_filesAtOnce, 0);
    EXPECT_EQ(g_stopOnError, 0);
    ASSERT_EQ(LoadSettings(), 1);
    EXPECT_EQ(g_outputFolder, "/home/me/Out dir/");
    EXPECT_EQ(g_lameBits, 16);
    EXPECT_EQ(g_lameChannel, 2);
    EXPECT_EQ(g_freq, 8);
    EXPECT_EQ(g_filesAtOnce, 3);
    EXPECT_EQ(g_stopOnError, 1);
    EXPECT_EQ(g_id3Version, 4);
}

TEST_F(SettingsTest, AHandEditedFileKeepsItsOtherContent) {
    WriteConfig("; my settings\n[MP3]\nfreq=3\nComment=keep me\n\n[Extra]\nA=1\n");
    ASSERT_EQ(LoadSettings(), 1);
    EXPECT_EQ(g_freq, 3);
    g_lameBits = 5;
    ASSERT_EQ(SaveSettings(), 1);
    const std::string text = ReadAll(ConfigFilePath());
    EXPECT_EQ(text,
              "; my settings\n[MP3]\nfreq=3\nComment=keep me\nLameBits=5\nLameChannel=0\n"
              "Id3Version=3\n\n"
              "[Extra]\nA=1\n[OUTPUT]\nDesDir=" +
                  g_outputFolder + "\n[CONVERT]\nFilesAtOnce=0\nStopOnError=0\n");
}

struct RangeCase {
    const char* file;
    short bits, channel, freq;
    short id3Version = 3;
};

class SettingsRangeTest : public SettingsTest, public testing::WithParamInterface<RangeCase> {};

TEST_P(SettingsRangeTest, OutOfRangeValuesTakeTheDefault) {
    WriteConfig(GetParam().file);
    ASSERT_EQ(LoadSettings(), 1);
    EXPECT_EQ(g_lameBits, GetParam().bits);
    EXPECT_EQ(g_lameChannel, GetParam().channel);
    EXPECT_EQ(g_freq, GetParam().freq);
    EXPECT_EQ(g_id3Version, GetParam().id3Version);
    // Whatever was stored, the tables are read inside their bounds.
    EXPECT_GE(g_lameBits, 0);
    EXPECT_LT(g_lameBits, BITRATE_COUNT);
    EXPECT_GE(g_freq, 0);
    EXPECT_LT(g_freq, FREQ_COUNT);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsRangeTest,
    testing::Values(RangeCase{"[MP3]\nLameBits=17\nLameChannel=5\nFreq=9\n", 11, 0, 0},
                    RangeCase{"[MP3]\nLameBits=-3\nLameChannel=-1\nFreq=-2\n", 11, 0, 0},
                    RangeCase{"[MP3]\nLameBits=65547\nFreq=65537\n", 11, 0, 0},
                    RangeCase{"[MP3]\nLameBits=16\nLameChannel=2\nFreq=8\n", 16, 2, 8},
                    RangeCase{"[MP3]\nLameBits=0\nLameChannel=1\nFreq=1\n", 0, 1, 1},
                    RangeCase{"[MP3]\nLameBits=fast\n", 11, 0, 0},
                    RangeCase{"[MP3]\nId3Version=4\n", 11, 0, 0, 4},
                    RangeCase{"[MP3]\nid3version=3\n", 11, 0, 0, 3},
                    RangeCase{"[MP3]\nId3Version=2\n", 11, 0, 0, 3},
                    RangeCase{"[MP3]\nId3Version=5\n", 11, 0, 0, 3},
                    RangeCase{"[MP3]\nId3Version=0\n", 11, 0, 0, 3},
                    RangeCase{"[MP3]\nId3Version=v4\n", 11, 0, 0, 3}));

struct ConvertCase {
    const char* file;
    short filesAtOnce, stopOnError;
};

class SettingsConvertTest : public SettingsTest, public testing::WithParamInterface<ConvertCase> {};

TEST_P(SettingsConvertTest, BatchSettingsKeepTheirRange) {
    WriteConfig(GetParam().file);
    ASSERT_EQ(LoadSettings(), 1);
    EXPECT_EQ(g_filesAtOnce, GetParam().filesAtOnce);
    EXPECT_EQ(g_stopOnError, GetParam().stopOnError);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsConvertTest,
    testing::Values(ConvertCase{"[CONVERT]\nFilesAtOnce=16\nStopOnError=1\n", 16, 1},
                    ConvertCase{"[CONVERT]\nFilesAtOnce=1\nStopOnError=0\n", 1, 0},
                    ConvertCase{"[CONVERT]\nFilesAtOnce=17\nStopOnError=2\n", 0, 0},
                    ConvertCase{"[CONVERT]\nFilesAtOnce=-1\nStopOnError=-1\n", 0, 0},
                    ConvertCase{"[MP3]\nFilesAtOnce=4\nStopOnError=1\n", 0, 0}));

TEST(FilesAtOnceTest, ZeroMeansOnePerCore) {
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    EXPECT_EQ(FilesAtOnce(0), std::clamp(cores, 1, 16));
    EXPECT_EQ(FilesAtOnce(17), FilesAtOnce(0));
    EXPECT_EQ(FilesAtOnce(1), 1);
    EXPECT_EQ(FilesAtOnce(16), 16);
}

TEST_F(SettingsTest, OutputFolderIsUsedAsStored) {
    WriteConfig("[OUTPUT]\nDesDir=/no/final/slash\n");
    ASSERT_EQ(LoadSettings(), 1);
    EXPECT_EQ(g_outputFolder, "/no/final/slash");
    WriteConfig("[OUTPUT]\nDesDir=\n");
    ASSERT_EQ(LoadSettings(), 1);
    EXPECT_EQ(g_outputFolder, "");
}

TEST_F(SettingsTest, AFailedSaveIsReportedAndKeepsTheOldFile) {
    WriteConfig("[MP3]\nLameBits=3\n");
    // A regular file where the settings folder should be: the save cannot succeed, even as root.
    const std::string good = g_configFolder;
    g_configFolder = ConfigFilePath();
    EXPECT_EQ(SaveSettings(), 0);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].first, "An error occurred while saving settings!");
    EXPECT_EQ(m_boxes[0].second, MessageBoxIcon::Error);
    g_configFolder = good;
    EXPECT_EQ(ReadAll(ConfigFilePath()), "[MP3]\nLameBits=3\n");
}

}  // namespace
