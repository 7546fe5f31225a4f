#include "app/core/AudioScan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/core/ListTexts.h"

namespace {

class ScanFiles : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quillon-scan-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = std::string(pattern) + "/";
    }
    void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = m_dir + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // The row's two steps: what the file system says, then the scan.
    ScanVerdict AddAndScan(const std::string& path, CAudioFileItem& item) {
        CFileFacts facts;
        EXPECT_TRUE(ReadFileFacts(path, item, facts)) << path;
        return ScanFile(path, item);
    }

    std::string m_dir;
};

TEST(Extension, UpperCasedAfterTheLastDot) {
    EXPECT_EQ(UpperExtension("song.ogg"), "OGG");
    EXPECT_EQ(UpperExtension("live.set.Ogg"), "OGG");
    EXPECT_EQ(UpperExtension("song.MP3"), "MP3");
    EXPECT_EQ(UpperExtension("README"), "README");  // the whole name without a dot
    EXPECT_EQ(UpperExtension("trailing."), "");
    EXPECT_EQ(TypeFromExtension("OGG"), AUDIO_TYPE_OGG);
    EXPECT_EQ(TypeFromExtension("MP3"), AUDIO_TYPE_MP3);
    EXPECT_EQ(TypeFromExtension("WAV"), AUDIO_TYPE_OTHER);
    EXPECT_EQ(TypeFromExtension("ogg"), AUDIO_TYPE_OTHER);  // the map holds upper case only
}

TEST_F(ScanFiles, FactsOfAFile) {
    const std::string path = Write("Some Song.Ogg", std::string(1572864, 'x'));
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    CAudioFileItem item;
    CFileFacts facts;
    ASSERT_TRUE(ReadFileFacts(path, item, facts));
    EXPECT_EQ(facts.m_name, "Some Song.Ogg");
    EXPECT_EQ(facts.m_folder, m_dir);
    EXPECT_EQ(facts.m_extension, "OGG");
    EXPECT_EQ(facts.m_sizeBytes, 1572864u);
    EXPECT_EQ(facts.m_lastWrite, st.st_mtime);
    EXPECT_DOUBLE_EQ(item.m_sizeMB, 1.5);
    EXPECT_EQ(item.m_type, AUDIO_TYPE_OGG);
    EXPECT_EQ(SizeText(item.m_sizeMB), "1.50");
}

TEST_F(ScanFiles, MissingFileHasNoFacts) {
    CAudioFileItem item;
    CFileFacts facts;
    EXPECT_FALSE(ReadFileFacts(m_dir + "nothing.ogg", item, facts));
    EXPECT_FALSE(ReadFileFacts("", item, facts));
    EXPECT_TRUE(IsFileLocked(m_dir + "nothing.ogg"));
    // Scanned anyway (it vanished after being listed), it is bad.
    item.m_type = AUDIO_TYPE_OGG;
    EXPECT_EQ(ScanFile(m_dir + "nothing.ogg", item), ScanVerdict::Locked);
    EXPECT_EQ(item.m_error, 1);
}

struct BadCase {
    const char* label;
    const char* name;
    const char* content;
    ScanVerdict verdict;
};

class BadFiles : public ScanFiles, public testing::WithParamInterface<BadCase> {};

TEST_P(BadFiles, AreMarkedAndShowNothing) {
    const BadCase& c = GetParam();
    const std::string path = Write(c.name, c.content);
    CAudioFileItem item;
    EXPECT_EQ(AddAndScan(path, item), c.verdict);
    EXPECT_EQ(item.m_error, 1);
    EXPECT_EQ(item.m_channels, 0u);
    EXPECT_EQ(item.m_sampleRate, 0u);
    EXPECT_EQ(item.m_totalSamples, 0u);
    EXPECT_EQ(item.m_duration, 0.0);
    EXPECT_EQ(TypeText(UpperExtension(c.name), item), "Unknown");
    EXPECT_EQ(DurationText(item), "");
    EXPECT_EQ(FrequencyText(item), "");
    EXPECT_EQ(ChannelText(item), "");
}

INSTANTIATE_TEST_SUITE_P(
    Scan, BadFiles,
    testing::Values(
        BadCase{"TextNamedOgg", "notes.ogg", "just some text\n", ScanVerdict::InvalidStream},
        BadCase{"EmptyOgg", "empty.ogg", "", ScanVerdict::InvalidStream},
        BadCase{"OggMagicOnly", "magic.ogg", "OggS\0\0\0\0garbage", ScanVerdict::InvalidStream},
        BadCase{"Mp3Name", "song.MP3", "ID3 whatever", ScanVerdict::NotOggVorbis},
        BadCase{"NoExtension", "song", "OggS", ScanVerdict::NotOggVorbis},
        BadCase{"OtherExtension", "song.wav", "RIFF", ScanVerdict::NotOggVorbis}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ScanFiles, FolderNamedOggIsBad) {
    const std::string path = m_dir + "folder.ogg";
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    CAudioFileItem item;
    EXPECT_EQ(AddAndScan(path, item), ScanVerdict::Locked);
    EXPECT_EQ(item.m_error, 1);
}

TEST_F(ScanFiles, NamedPipeDoesNotBlockTheScan) {
    // Opening a pipe for reading would wait for a writer that never comes.
    const std::string path = m_dir + "pipe.ogg";
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    CAudioFileItem item;
    item.m_type = AUDIO_TYPE_OGG;
    EXPECT_TRUE(IsFileLocked(path));
    EXPECT_EQ(ReadOggInfo(path, item), ScanVerdict::Locked);
    EXPECT_EQ(ScanFile(path, item), ScanVerdict::Locked);
    EXPECT_EQ(item.m_error, 1);
}

TEST_F(ScanFiles, RescanClearsAnEarlierVerdict) {
    const std::string path = Write("x.ogg", "not vorbis");
    CAudioFileItem item;
    item.m_error = 0;
    item.m_channels = 2;
    item.m_sampleRate = 44100;
    item.m_totalSamples = 100;
    item.m_duration = 3;
    item.m_type = AUDIO_TYPE_OGG;
    EXPECT_EQ(ScanFile(path, item), ScanVerdict::InvalidStream);
    EXPECT_EQ(item.m_channels, 0u);
    EXPECT_EQ(item.m_duration, 0.0);
}

}  // namespace
