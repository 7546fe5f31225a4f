#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "app/core/AudioScan.h"
#include "app/core/ListTexts.h"
#include "tests/fixtures/OggFixtures.h"
#include "tests/fixtures/TempDir.h"

namespace {

using fixtures::OggStream;

OggStream Tone440(uint32_t rate, uint32_t channels, uint64_t frames) {
    OggStream stream;
    stream.rate = rate;
    stream.channels = channels;
    stream.frames = frames;
    stream.tones = {fixtures::Tone{440.0, -12.0}};
    return stream;
}

ScanVerdict AddAndScan(const std::string& path, CAudioFileItem& item) {
    CFileFacts facts;
    EXPECT_TRUE(ReadFileFacts(path, item, facts)) << path;
    return ScanFile(path, item);
}

// A verdict is either a fully good record or a fully bad one, never a mixture.
void ExpectConsistent(const CAudioFileItem& item, ScanVerdict verdict, const std::string& what) {
    if (verdict == ScanVerdict::Good) {
        EXPECT_EQ(item.m_error, 0) << what;
        EXPECT_GT(item.m_channels, 0u) << what;
        EXPECT_GT(item.m_sampleRate, 0u) << what;
        EXPECT_GT(item.m_totalSamples, 0u) << what;
        EXPECT_EQ(item.m_totalSamples % item.m_channels, 0u) << what;
        EXPECT_GT(item.m_duration, 0.0) << what;
    } else {
        EXPECT_EQ(item.m_error, 1) << what;
        EXPECT_EQ(item.m_channels, 0u) << what;
        EXPECT_EQ(item.m_sampleRate, 0u) << what;
        EXPECT_EQ(item.m_totalSamples, 0u) << what;
        EXPECT_EQ(item.m_duration, 0.0) << what;
    }
}

struct GoodCase {
    const char* label;
    uint32_t rate;
    uint32_t channels;
    uint64_t frames;
    const char* duration;
    const char* frequency;
    const char* channel;
};

class GoodOgg : public testing::TestWithParam<GoodCase> {};

TEST_P(GoodOgg, IsReadWithoutDecoding) {
    const GoodCase& c = GetParam();
    fixtures::TempDir dir;
    const std::string path = dir.File("file.ogg");
    fixtures::WriteOgg(path, Tone440(c.rate, c.channels, c.frames));
    CAudioFileItem item;
    ASSERT_EQ(AddAndScan(path, item), ScanVerdict::Good);
    EXPECT_EQ(item.m_error, 0);
    EXPECT_EQ(item.m_type, AUDIO_TYPE_OGG);
    EXPECT_EQ(item.m_sampleRate, c.rate);
    EXPECT_EQ(item.m_channels, c.channels);
    EXPECT_EQ(item.m_totalSamples, c.frames * c.channels);
    EXPECT_DOUBLE_EQ(item.m_duration, static_cast<double>(c.frames) / c.rate);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_DOUBLE_EQ(item.m_sizeMB, st.st_size / 1048576.0);
    EXPECT_EQ(TypeText("OGG", item), "OGG");
    EXPECT_EQ(DurationText(item), c.duration);
    EXPECT_EQ(FrequencyText(item), c.frequency);
    EXPECT_EQ(ChannelText(item), c.channel);
}

INSTANTIATE_TEST_SUITE_P(
    Scan, GoodOgg,
    testing::Values(
        GoodCase{"Stereo48000TenPointNine", 48000, 2, 523200, "00:00:10", "48000 Hz", "2 (Stereo)"},
        GoodCase{"SubSecondStaysGood", 44100, 1, 20000, "", "44100 Hz", "1 (Mono)"},
        GoodCase{"SixChannels", 44100, 6, 44100 * 2, "00:00:02", "44100 Hz", "6"},
        GoodCase{"Mono8000", 8000, 1, 8000 * 3 + 17, "00:00:03", "8000 Hz", "1 (Mono)"},
        GoodCase{"Stereo22050", 22050, 2, 22050 * 61, "00:01:01", "22050 Hz", "2 (Stereo)"},
        GoodCase{"Stereo96000", 96000, 2, 96000, "00:00:01", "96000 Hz", "2 (Stereo)"}),
    [](const auto& info) { return std::string(info.param.label); });

class DamagedOgg : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new fixtures::TempDir;
        s_source = s_dir->File("source.ogg");
        fixtures::WriteOgg(s_source, Tone440(44100, 2, 44100 * 2));
        struct stat st;
        ASSERT_EQ(::stat(s_source.c_str(), &st), 0);
        s_size = static_cast<size_t>(st.st_size);
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }

    static fixtures::TempDir* s_dir;
    static std::string s_source;
    static size_t s_size;
};

fixtures::TempDir* DamagedOgg::s_dir = nullptr;
std::string DamagedOgg::s_source;
size_t DamagedOgg::s_size = 0;

TEST_F(DamagedOgg, TruncatedInsideTheHeadersIsBad) {
    for (size_t bytes :
         {size_t{0}, size_t{4}, size_t{27}, size_t{57}, size_t{58}, size_t{200}, size_t{1000}}) {
        const std::string path = s_dir->File("cut-" + std::to_string(bytes) + ".ogg");
        fixtures::WriteTruncatedCopy(s_source, path, bytes);
        CAudioFileItem item;
        const ScanVerdict verdict = AddAndScan(path, item);
        EXPECT_NE(verdict, ScanVerdict::Good) << bytes;
        ExpectConsistent(item, verdict, "cut at " + std::to_string(bytes));
    }
}

TEST_F(DamagedOgg, TruncatedAnywhereGivesAWholeVerdict) {
    // Cut inside the audio, the file still opens, with no more audio than the whole one.
    for (size_t step = 1; step < 16; ++step) {
        const size_t bytes = s_size * step / 16;
        const std::string path = s_dir->File("part-" + std::to_string(step) + ".ogg");
        fixtures::WriteTruncatedCopy(s_source, path, bytes);
        CAudioFileItem item;
        const ScanVerdict verdict = AddAndScan(path, item);
        ExpectConsistent(item, verdict, "cut at " + std::to_string(bytes));
        EXPECT_LE(item.m_totalSamples, 44100u * 2 * 2);
    }
}

TEST_F(DamagedOgg, FlippedBytesGiveAWholeVerdict) {
    // Every page header field and the packet headers at the start, then samples across the
    // rest of the file.
    std::vector<size_t> offsets;
    for (size_t i = 0; i < 120; ++i)
        offsets.push_back(i);
    for (size_t i = 1; i < 60; ++i)
        offsets.push_back(s_size * i / 60);
    offsets.push_back(s_size - 1);
    int bad = 0;
    for (size_t offset : offsets) {
        const std::string path = s_dir->File("flip.ogg");
        fixtures::WriteFlippedCopy(s_source, path, offset, 4);
        CAudioFileItem item;
        const ScanVerdict verdict = AddAndScan(path, item);
        ExpectConsistent(item, verdict, "flipped at " + std::to_string(offset));
        bad += verdict != ScanVerdict::Good;
    }
    // A flipped capture pattern or identification header leaves no stream to read.
    EXPECT_GT(bad, 0);
}

TEST(ChainedOgg, SameFormatIsGoodWithBothParts) {
    fixtures::TempDir dir;
    const std::string path = dir.File("chain.ogg");
    fixtures::WriteChainedOgg(path, Tone440(22050, 2, 22050), Tone440(22050, 2, 11025));
    CAudioFileItem item;
    ASSERT_EQ(AddAndScan(path, item), ScanVerdict::Good);
    EXPECT_EQ(item.m_totalSamples, (22050u + 11025u) * 2);
    EXPECT_DOUBLE_EQ(item.m_duration, 1.5);
}

struct MixedCase {
    const char* label;
    OggStream first;
    OggStream second;
};

class MixedChain : public testing::TestWithParam<MixedCase> {};

TEST_P(MixedChain, IsBad) {
    // One channel count and rate serve the whole file in the decode stage; a file whose parts
    // differ would be decoded wrongly or stopped half-way.
    fixtures::TempDir dir;
    const std::string path = dir.File("mixed.ogg");
    fixtures::WriteChainedOgg(path, GetParam().first, GetParam().second);
    CAudioFileItem item;
    const ScanVerdict verdict = AddAndScan(path, item);
    EXPECT_EQ(verdict, ScanVerdict::MixedLinks);
    ExpectConsistent(item, verdict, GetParam().label);
    EXPECT_EQ(DurationText(item), "");
}

INSTANTIATE_TEST_SUITE_P(
    Scan, MixedChain,
    testing::Values(MixedCase{"Channels", Tone440(44100, 2, 4410), Tone440(44100, 1, 4410)},
                    MixedCase{"Rate", Tone440(44100, 2, 4410), Tone440(22050, 2, 4410)},
                    MixedCase{"Both", Tone440(8000, 1, 800), Tone440(48000, 6, 4800)}),
    [](const auto& info) { return std::string(info.param.label); });

struct RateCase {
    const char* name;
    uint32_t rate;
    bool good;
};

class HeaderRate : public testing::TestWithParam<RateCase> {};

// A damaged header may claim any rate; only plausible ones are converted.
TEST_P(HeaderRate, OutsideTheUsableRangeIsBad) {
    fixtures::TempDir dir;
    const std::string good = dir.File("good.ogg");
    fixtures::WriteOgg(good, Tone440(44100, 2, 4410));
    const std::string path = dir.File("rate.ogg");
    fixtures::WriteRateChangedCopy(good, path, GetParam().rate);
    CAudioFileItem item;
    const ScanVerdict verdict = AddAndScan(path, item);
    ExpectConsistent(item, verdict, GetParam().name);
    if (GetParam().good) {
        EXPECT_EQ(verdict, ScanVerdict::Good);
        EXPECT_EQ(item.m_sampleRate, GetParam().rate);
    } else {
        EXPECT_EQ(verdict, ScanVerdict::UnusualRate);
        EXPECT_STREQ(ScanVerdictText(verdict), "sampling rate outside 1000 to 768000 Hz");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scan, HeaderRate,
    testing::Values(RateCase{"OneHertz", 1, false}, RateCase{"JustBelow", 999, false},
                    RateCase{"Lowest", 1000, true}, RateCase{"Highest", 768000, true},
                    RateCase{"JustAbove", 768001, false}, RateCase{"Huge", 0x7FFFFFFF, false}),
    [](const testing::TestParamInfo<RateCase>& info) { return info.param.name; });

}  // namespace
