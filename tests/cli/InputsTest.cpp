#include "cli/Inputs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "app/core/Settings.h"
#include "cli/ProgressPrinter.h"
#include "platform/FileSystem.h"

namespace {

// A throw-away home with its own configuration folder, so no real settings are touched.
class CliSettings : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quillon-cli-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_home = pattern;
        for (const char* name : {"HOME", "XDG_CONFIG_HOME"})
            if (const char* v = std::getenv(name))
                m_saved.emplace_back(name, v);
        ::setenv("HOME", m_home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_home + "/config").c_str(), 1);
        char cwd[4096];
        ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
        m_cwd = cwd;
        ASSERT_EQ(::chdir(m_home.c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(::chdir(m_cwd.c_str()), 0);
        ::unsetenv("HOME");
        ::unsetenv("XDG_CONFIG_HOME");
        for (const auto& [name, value] : m_saved)
            ::setenv(name.c_str(), value.c_str(), 1);
        std::system(("rm -rf '" + m_home + "'").c_str());
        ResetSettings();
    }

    void WriteConfig(const std::string& text) {
        ASSERT_EQ(std::system(("mkdir -p '" + m_home + "/config/Quillon'").c_str()), 0);
        std::ofstream(m_home + "/config/Quillon/Config.ini") << text;
    }

    std::string m_home;
    std::string m_cwd;
    std::vector<std::pair<std::string, std::string>> m_saved;
};

TEST_F(CliSettings, DefaultsWithoutConfigAndNothingWritten) {
    ApplyCliSettings(CCliOptions{});
    EXPECT_EQ(g_outputFolder, m_home + "/Music/");
    EXPECT_EQ(g_lameBits, 11);
    EXPECT_EQ(g_lameChannel, 0);
    EXPECT_EQ(g_freq, 0);
    EXPECT_EQ(g_id3Version, 3);
    EXPECT_TRUE(g_writeTags);
    EXPECT_EQ(g_configFolder, m_home + "/config/Quillon");
    EXPECT_FALSE(PathFileExists(m_home + "/config/Quillon/Config.ini"));
}

TEST_F(CliSettings, SavedSettingsAreTheDefaults) {
    const std::string text =
        "[OUTPUT]\nDesDir=/saved/out\n[MP3]\nLameBits=3\nLameChannel=1\n"
        "Freq=4\nId3Version=4\n";
    WriteConfig(text);
    ApplyCliSettings(CCliOptions{});
    EXPECT_EQ(g_outputFolder, "/saved/out/");  // the missing separator is added
    EXPECT_EQ(g_lameBits, 3);
    EXPECT_EQ(g_lameChannel, 1);
    EXPECT_EQ(g_freq, 4);
    EXPECT_EQ(g_id3Version, 4);
    std::ifstream in(m_home + "/config/Quillon/Config.ini");
    const std::string after((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(after, text);  // read, never written
}

TEST_F(CliSettings, OptionsOverrideTheSavedSettings) {
    WriteConfig(
        "[OUTPUT]\nDesDir=/saved/out/\n[MP3]\nLameBits=3\nLameChannel=1\nFreq=4\n"
        "Id3Version=4\n");
    CCliOptions options;
    options.m_outputFolder = "rel/dir";
    options.m_id3Version = 3;
    options.m_noTags = true;
    options.m_lameBits = 16;
    options.m_lameChannel = 2;
    options.m_freq = 0;
    ApplyCliSettings(options);
    EXPECT_EQ(g_outputFolder, m_home + "/rel/dir/");
    EXPECT_EQ(g_lameBits, 16);
    EXPECT_EQ(g_lameChannel, 2);
    EXPECT_EQ(g_freq, 0);
    EXPECT_EQ(g_id3Version, 3);
    EXPECT_FALSE(g_writeTags);
    // The next run starts from the saved settings again.
    ApplyCliSettings(CCliOptions{});
    EXPECT_EQ(g_id3Version, 4);
    EXPECT_TRUE(g_writeTags);
}

TEST_F(CliSettings, EmptySavedFolderFallsBackToTheDefault) {
    WriteConfig("[OUTPUT]\nDesDir=\n");
    ApplyCliSettings(CCliOptions{});
    EXPECT_EQ(g_outputFolder, m_home + "/Music/");
}

TEST_F(CliSettings, UnusableFilesAreReportedAndNeverBuilt) {
    std::ofstream("notes.ogg") << "plain text";
    std::ofstream("song.MP3") << "ID3";
    char* text = nullptr;
    size_t size = 0;
    std::FILE* stream = open_memstream(&text, &size);
    std::vector<CInputFile> inputs;
    {
        CConsoleReporter reporter(stream, stream, false, false);
        inputs = ScanInputs({"notes.ogg", "./song.MP3", "missing.ogg"}, reporter);
    }
    std::fclose(stream);
    const std::string shown(text, size);
    std::free(text);
    EXPECT_EQ(shown,
              "quillon-convert: skipped notes.ogg: not a valid Ogg Vorbis stream\n"
              "quillon-convert: skipped ./song.MP3: not an Ogg Vorbis file (.ogg)\n"
              "quillon-convert: skipped missing.ogg: no such file\n");
    ASSERT_EQ(inputs.size(), 3u);
    EXPECT_EQ(inputs[0].m_path, m_home + "/notes.ogg");
    EXPECT_EQ(inputs[0].m_folder, m_home + "/");
    EXPECT_EQ(inputs[1].m_path, m_home + "/song.MP3");
    EXPECT_FALSE(inputs[2].m_found);
    // Found files count in the summary, good or bad; the missing one does not.
    EXPECT_EQ(InputsSummary(inputs), "2 file(s)   0.00 MB   00:00:00");
    CConversionState batch;
    EXPECT_EQ(BuildBatch(inputs, CTaskSettings{}, batch), 0u);
    EXPECT_TRUE(batch.m_tasks.empty());
}

TEST(AbsolutePath, PrefixesTheCurrentFolder) {
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(AbsolutePath("/a/b.ogg"), "/a/b.ogg");
    EXPECT_EQ(AbsolutePath("b.ogg"), std::string(cwd) + "/b.ogg");
    EXPECT_EQ(AbsolutePath("./b.ogg"), std::string(cwd) + "/b.ogg");
    EXPECT_EQ(AbsolutePath("."), std::string(cwd));
}

}  // namespace
