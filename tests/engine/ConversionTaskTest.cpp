#include "engine/ConversionTask.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

TEST(ConversionTask, DefaultsMarkEveryFormatUnknown) {
    CConversionTask task;
    EXPECT_TRUE(task.m_sourcePath.empty());
    EXPECT_TRUE(task.m_destPath.empty());
    EXPECT_EQ(task.m_sourceType, -1);
    EXPECT_EQ(task.m_destType, -1);
    EXPECT_EQ(task.m_sourceRate, 0xFFFFFFFFu);
    EXPECT_EQ(task.m_sourceChannels, 0xFFFFFFFFu);
    EXPECT_EQ(task.m_destRate, 0xFFFFFFFFu);
    EXPECT_EQ(task.m_destChannels, 0xFFFFFFFFu);
    EXPECT_EQ(task.m_decoding.load(), 0);
    EXPECT_EQ(task.m_encoding.load(), 0);
    EXPECT_EQ(task.m_processing.load(), 0);
}

TEST(ConversionTask, CopiesMemberWise) {
    CConversionTask task;
    task.m_sourcePath = "/music/a.ogg";
    task.m_destPath = "/out/a.mp3";
    task.m_sourceRate = 48000;
    task.m_destRate = 44100;
    task.m_sourceChannels = 6;
    task.m_destChannels = 2;
    task.m_totalSamples = 882000;
    task.m_ratio = 0.5;
    task.m_needsProcessing = 1;
    task.m_decoding = 1;
    CConversionTask copy = task;
    copy.m_destPath = "/out/a (2).mp3";  // the worker's copy may rename; the original keeps its
    EXPECT_EQ(task.m_destPath, "/out/a.mp3");
    EXPECT_EQ(copy.m_sourcePath, task.m_sourcePath);
    EXPECT_EQ(copy.m_sourceRate, 48000u);
    EXPECT_EQ(copy.m_destChannels, 2u);
    EXPECT_EQ(copy.m_totalSamples, 882000u);
    EXPECT_EQ(copy.m_ratio, 0.5);
    EXPECT_EQ(copy.m_needsProcessing, 1);
    EXPECT_EQ(copy.m_decoding.load(), 1);
}

struct SecondsCase {
    uint32_t rate, channels;
    uint64_t samples;
    float seconds;
};

class SamplesToSecondsTest : public testing::TestWithParam<SecondsCase> {};

TEST_P(SamplesToSecondsTest, UsesTheDestinationFormat) {
    CConversionTask task;
    task.m_sourceRate = 96000;  // never used
    task.m_sourceChannels = 8;
    task.m_destRate = GetParam().rate;
    task.m_destChannels = GetParam().channels;
    EXPECT_FLOAT_EQ(task.SamplesToSeconds(GetParam().samples), GetParam().seconds);
}

INSTANTIATE_TEST_SUITE_P(Formats, SamplesToSecondsTest,
                         testing::Values(SecondsCase{44100, 2, 88200, 1.0f},
                                         SecondsCase{8000, 1, 4000, 0.5f},
                                         SecondsCase{22050, 2, 0, 0.0f},
                                         // Beyond 32 bits of samples: the count is not truncated.
                                         SecondsCase{44100, 2, 88200ull * 100000, 100000.0f}));

class DirectoryTreeTest : public testing::Test {
protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() /
                 ("quillon-tree-" + std::to_string(::getpid()) + "-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root);
    }
    void TearDown() override { fs::remove_all(m_root); }
    fs::path m_root;
};

TEST_F(DirectoryTreeTest, CreatesAMissingChainParentsFirst) {
    const fs::path leaf = m_root / "Out" / "Rock" / "Live";
    ASSERT_TRUE(CreateDirectoryTree(leaf.string()));
    EXPECT_TRUE(fs::is_directory(leaf));
    EXPECT_TRUE(fs::is_directory(m_root / "Out" / "Rock"));
    EXPECT_TRUE(CreateDirectoryTree((leaf.string() + "/")));  // trailing separator
}

TEST_F(DirectoryTreeTest, ExistingFolderSucceedsWithoutChange) {
    fs::create_directories(m_root / "Here");
    EXPECT_TRUE(CreateDirectoryTree((m_root / "Here").string()));
    EXPECT_EQ(std::distance(fs::directory_iterator(m_root / "Here"), fs::directory_iterator()), 0);
}

TEST_F(DirectoryTreeTest, FailsWhereARegularFileStandsInThePath) {
    std::ofstream(m_root / "file") << "x";
    EXPECT_FALSE(CreateDirectoryTree((m_root / "file" / "sub" / "deeper").string()));
    EXPECT_FALSE(CreateDirectoryTree((m_root / "file").string()));  // a file is not a folder
    EXPECT_FALSE(fs::exists(m_root / "file" / "sub"));
}

TEST_F(DirectoryTreeTest, RelativeAndEmptyNames) {
    EXPECT_FALSE(CreateDirectoryTree(""));
    const fs::path old = fs::current_path();
    fs::current_path(m_root);
    EXPECT_TRUE(CreateDirectoryTree("rel/a/b"));
    EXPECT_TRUE(fs::is_directory(m_root / "rel" / "a" / "b"));
    fs::current_path(old);
}

TEST_F(DirectoryTreeTest, LongPathsAreNotCut) {
    std::string path = m_root.string();
    while (path.size() < 600)
        path += "/" + std::string(40, 'd');
    EXPECT_TRUE(CreateDirectoryTree(path));
    EXPECT_TRUE(fs::is_directory(path));
}

}  // namespace

namespace {

TEST_F(DirectoryTreeTest, UniqueNamesTakeTheFirstFreeNumber) {
    const std::string song = (m_root / "song.mp3").string();
    std::ofstream(song) << "1";
    EXPECT_EQ(MakeUniqueName(song), (m_root / "song (2).mp3").string());
    std::ofstream(m_root / "song (2).mp3") << "2";
    EXPECT_EQ(MakeUniqueName(song), (m_root / "song (3).mp3").string());
    // A folder of that name counts as taken too.
    fs::create_directories(m_root / "song (3).mp3");
    EXPECT_EQ(MakeUniqueName(song), (m_root / "song (4).mp3").string());
}

TEST_F(DirectoryTreeTest, UniqueNamesSplitOnlyTheFileName) {
    fs::create_directories(m_root / "v1.2");
    const std::string noExt = (m_root / "v1.2" / "track").string();
    EXPECT_EQ(MakeUniqueName(noExt), (m_root / "v1.2" / "track (2)").string());
    const std::string twoDots = (m_root / "v1.2" / "a.live.mp3").string();
    EXPECT_EQ(MakeUniqueName(twoDots), (m_root / "v1.2" / "a.live (2).mp3").string());
}

bool IsValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t length = c < 0x80         ? 1
                              : (c >> 5) == 6  ? 2
                              : (c >> 4) == 14 ? 3
                              : (c >> 3) == 30 ? 4
                                               : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

struct LongNameCase {
    const char* name;
    std::string base;  // of a file name that fills the file system's limit with ".mp3"
    unsigned long number;
};

class LongNameTest : public testing::TestWithParam<LongNameCase> {};

TEST_P(LongNameTest, TheNumberAlwaysFitsAndCharactersStayWhole) {
    const LongNameCase& c = GetParam();
    const std::string numbered = NumberedName("/music/out/" + c.base + ".mp3", c.number);
    const std::string name = numbered.substr(std::string("/music/out/").size());
    EXPECT_LE(name.size(), 255u);
    EXPECT_GE(name.size(), 251u);  // cut no more than needed
    const std::string tail = " (" + std::to_string(c.number) + ").mp3";
    EXPECT_EQ(name.substr(name.size() - tail.size()), tail);
    EXPECT_EQ(c.base.rfind(name.substr(0, name.size() - tail.size()), 0), 0u);
    EXPECT_TRUE(IsValidUtf8(name));
}

INSTANTIATE_TEST_SUITE_P(
    Names, LongNameTest,
    testing::Values(LongNameCase{"Ascii", std::string(251, 'a'), 2},
                    LongNameCase{"AsciiBigNumber", std::string(251, 'a'), 123456},
                    // 2-, 3- and 4-byte characters, so that any cut may land inside one.
                    LongNameCase{"TwoByteCharacters",
                                 "a" +
                                     [] {
                                         std::string s;
                                         for (int i = 0; i < 125; ++i)
                                             s += "\u00e9";
                                         return s;
                                     }(),
                                 2},
                    LongNameCase{"ThreeByteCharacters",
                                 [] {
                                     std::string s;
                                     for (int i = 0; i < 83; ++i)
                                         s += "\u266b";
                                     return s;
                                 }(),
                                 2},
                    LongNameCase{"FourByteCharacters",
                                 "ab" +
                                     [] {
                                         std::string s;
                                         for (int i = 0; i < 62; ++i)
                                             s += "\U0001F3B5";
                                         return s;
                                     }(),
                                 10}),
    [](const testing::TestParamInfo<LongNameCase>& info) { return info.param.name; });

TEST_F(DirectoryTreeTest, ALongNameTakenTwiceGetsANumberThatFits) {
    const std::string base(251, 'x');
    const std::string song = (m_root / (base + ".mp3")).string();
    std::ofstream(song) << "1";
    const std::string second = MakeUniqueName(song);
    EXPECT_EQ(second, (m_root / (std::string(247, 'x') + " (2).mp3")).string());
    std::ofstream(second) << "2";
    EXPECT_TRUE(fs::exists(second));
    EXPECT_EQ(MakeUniqueName(song), (m_root / (std::string(247, 'x') + " (3).mp3")).string());
}

}  // namespace
