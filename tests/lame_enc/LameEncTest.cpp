// The encoder module as the encode stage sees it: loaded from the executables' folder, called
// through its entry points, including every way a caller can get them wrong.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <vector>

#include "engine/EncoderModule.h"
#include "tests/fixtures/Mp3Check.h"
#include "tests/fixtures/OggFixtures.h"
#include "tests/fixtures/Signal.h"
#include "tests/fixtures/TagTable.h"
#include "tests/fixtures/TempDir.h"

namespace {

using fixtures::TempDir;

BE_CONFIG MakeConfig(uint32_t rate, int mode, uint32_t kbps) {
    BE_CONFIG c;
    std::memset(&c, 0, sizeof c);
    c.dwConfig = BE_CONFIG_LAME;
    c.format.LHV1.dwStructVersion = CURRENT_STRUCT_VERSION;
    c.format.LHV1.dwStructSize = CURRENT_STRUCT_SIZE;
    c.format.LHV1.dwSampleRate = rate;
    c.format.LHV1.nMode = mode;
    c.format.LHV1.dwBitrate = kbps;
    c.format.LHV1.nPreset = LQP_NOPRESET;
    c.format.LHV1.dwMpegVersion = MPEG1;
    c.format.LHV1.bWriteVBRHeader = 1;
    c.format.LHV1.bNoRes = 1;
    c.format.LHV1.nQuality = 0xF609;
    return c;
}

std::vector<char> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

class LameEnc : public ::testing::Test {
protected:
    void SetUp() override {
        SetEncoderModulePath({});
        ASSERT_EQ(LoadEncoderModule(lame), EncoderLoadResult::Loaded) << EncoderModulePath();
        ASSERT_NE(lame.beWriteInfoTag, nullptr);
    }

    // Opens a stream at 44100 Hz stereo, 128 kbit/s.
    HBE_STREAM Open(uint32_t rate = 44100, int mode = BE_MP3_MODE_STEREO, uint32_t kbps = 128) {
        BE_CONFIG c = MakeConfig(rate, mode, kbps);
        HBE_STREAM stream = 0;
        EXPECT_EQ(lame.beInitStream(&c, &samples, &bufferSize, &stream), BE_ERR_SUCCESSFUL);
        EXPECT_NE(stream, 0u);
        return stream;
    }

    // Encodes frames of the given samples (both channels alike) and writes the MP3 bytes to
    // path; flushes unless told not to.
    void EncodeInto(HBE_STREAM stream, const std::string& path, const std::vector<float>& mono,
                    bool flush = true) {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::vector<uint8_t> buffer(bufferSize);
        const uint32_t chunk = samples / 2;
        for (size_t done = 0; done < mono.size(); done += chunk) {
            const uint32_t n = static_cast<uint32_t>(std::min<size_t>(chunk, mono.size() - done));
            BE_DWORD produced = 0;
            ASSERT_EQ(lame.beEncodeChunkFloatS16NI(stream, n, &mono[done], &mono[done],
                                                   buffer.data(), &produced),
                      BE_ERR_SUCCESSFUL);
            ASSERT_LE(produced, bufferSize);
            std::fwrite(buffer.data(), 1, produced, out);
        }
        if (flush) {
            BE_DWORD produced = 0;
            ASSERT_EQ(lame.beDeinitStream(stream, buffer.data(), &produced), BE_ERR_SUCCESSFUL);
            std::fwrite(buffer.data(), 1, produced, out);
        }
        std::fclose(out);
    }

    static std::vector<float> Tone(size_t frames, float scale = 32768.0f) {
        auto pcm = fixtures::RenderTones(44100, 1, frames, {{1000.0, -6.0}});
        for (float& v : pcm)
            v *= scale;
        return pcm;
    }

    CEncoderModule lame;
    BE_DWORD samples = 0;
    BE_DWORD bufferSize = 0;
    TempDir dir;
};

TEST_F(LameEnc, ChunkAndBufferSizesFollowTheFormat) {
    struct Case {
        uint32_t rate;
        int mode;
        BE_DWORD samples;
    };
    for (const Case& c :
         {Case{44100, BE_MP3_MODE_STEREO, 2304}, Case{44100, BE_MP3_MODE_MONO, 1152},
          Case{22050, BE_MP3_MODE_MONO, 576}, Case{8000, BE_MP3_MODE_STEREO, 1152}}) {
        const HBE_STREAM stream = Open(c.rate, c.mode);
        EXPECT_EQ(samples, c.samples) << c.rate;
        const BE_DWORD perChannel = c.samples / (c.mode == BE_MP3_MODE_MONO ? 1 : 2);
        EXPECT_GE(bufferSize, static_cast<BE_DWORD>(std::ceil(1.25 * perChannel)) + 7200);
        EXPECT_EQ(lame.beCloseStream(stream), BE_ERR_SUCCESSFUL);
    }
}

struct ConfigCase {
    const char* name;
    std::function<void(BE_CONFIG&)> change;
    BE_ERR expected;
};

class LameEncConfig : public LameEnc, public ::testing::WithParamInterface<ConfigCase> {};

TEST_P(LameEncConfig, RefusesUnusableRecords) {
    BE_CONFIG c = MakeConfig(44100, BE_MP3_MODE_STEREO, 128);
    GetParam().change(c);
    HBE_STREAM stream = 99;
    samples = bufferSize = 99;
    EXPECT_EQ(lame.beInitStream(&c, &samples, &bufferSize, &stream), GetParam().expected);
    EXPECT_EQ(stream, 0u);
    EXPECT_EQ(samples, 0u);
    EXPECT_EQ(bufferSize, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Records, LameEncConfig,
    ::testing::Values(
        ConfigCase{"MpegForm", [](BE_CONFIG& c) { c.dwConfig = BE_CONFIG_MP3; },
                   BE_ERR_INVALID_FORMAT},
        ConfigCase{"ShortStruct", [](BE_CONFIG& c) { c.format.LHV1.dwStructSize = 330; },
                   BE_ERR_INVALID_FORMAT},
        ConfigCase{"ZeroStruct", [](BE_CONFIG& c) { std::memset(&c, 0, sizeof c); },
                   BE_ERR_INVALID_FORMAT},
        ConfigCase{"NewerVersion", [](BE_CONFIG& c) { c.format.LHV1.dwStructVersion = 2; },
                   BE_ERR_INVALID_FORMAT},
        ConfigCase{"RateNotMpeg", [](BE_CONFIG& c) { c.format.LHV1.dwSampleRate = 7000; },
                   BE_ERR_INVALID_FORMAT_PARAMETERS},
        ConfigCase{"ResampleNotMpeg", [](BE_CONFIG& c) { c.format.LHV1.dwReSampleRate = 96000; },
                   BE_ERR_INVALID_FORMAT_PARAMETERS},
        ConfigCase{"ModeUnknown", [](BE_CONFIG& c) { c.format.LHV1.nMode = 4; },
                   BE_ERR_INVALID_FORMAT_PARAMETERS},
        ConfigCase{"ModeNegative", [](BE_CONFIG& c) { c.format.LHV1.nMode = -1; },
                   BE_ERR_INVALID_FORMAT_PARAMETERS},
        ConfigCase{"NoBitrate", [](BE_CONFIG& c) { c.format.LHV1.dwBitrate = 0; },
                   BE_ERR_INVALID_FORMAT_PARAMETERS},
        ConfigCase{"Emphasis", [](BE_CONFIG& c) { c.format.LHV1.dwEmphasis = 2; },
                   BE_ERR_INVALID_FORMAT_PARAMETERS}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LameEnc, NullPointersAreRefused) {
    BE_CONFIG c = MakeConfig(44100, BE_MP3_MODE_STEREO, 128);
    HBE_STREAM stream = 0;
    EXPECT_EQ(lame.beInitStream(nullptr, &samples, &bufferSize, &stream), BE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(lame.beInitStream(&c, nullptr, &bufferSize, &stream), BE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(lame.beInitStream(&c, &samples, nullptr, &stream), BE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(lame.beInitStream(&c, &samples, &bufferSize, nullptr), BE_ERR_INVALID_ARGUMENT);

    stream = Open();
    std::vector<float> pcm(samples / 2, 0.0f);
    std::vector<uint8_t> out(bufferSize);
    BE_DWORD produced = 99;
    EXPECT_EQ(lame.beEncodeChunkFloatS16NI(stream, 10, pcm.data(), pcm.data(), out.data(), nullptr),
              BE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(lame.beEncodeChunkFloatS16NI(stream, 10, nullptr, pcm.data(), out.data(), &produced),
              BE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(produced, 0u);
    EXPECT_EQ(lame.beEncodeChunkFloatS16NI(stream, 10, pcm.data(), nullptr, out.data(), &produced),
              BE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(lame.beEncodeChunkFloatS16NI(stream, 10, pcm.data(), pcm.data(), nullptr, &produced),
              BE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(lame.beDeinitStream(stream, out.data(), nullptr), BE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(lame.beDeinitStream(stream, nullptr, &produced), BE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(lame.beWriteInfoTag(stream, nullptr), BE_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(lame.beWriteVBRHeader(nullptr), BE_ERR_INVALID_ARGUMENT);
    // The stream survived all of it.
    EXPECT_EQ(
        lame.beEncodeChunkFloatS16NI(stream, 10, pcm.data(), pcm.data(), out.data(), &produced),
        BE_ERR_SUCCESSFUL);
    EXPECT_EQ(lame.beCloseStream(stream), BE_ERR_SUCCESSFUL);
}

TEST_F(LameEnc, MonoNeedsNoRightChannel) {
    const HBE_STREAM stream = Open(22050, BE_MP3_MODE_MONO, 64);
    std::vector<float> pcm(samples, 1000.0f);
    std::vector<uint8_t> out(bufferSize);
    BE_DWORD produced = 0;
    EXPECT_EQ(
        lame.beEncodeChunkFloatS16NI(stream, samples, pcm.data(), nullptr, out.data(), &produced),
        BE_ERR_SUCCESSFUL);
    EXPECT_EQ(lame.beEncodeChunkFloatS16NI(stream, samples + 1, pcm.data(), nullptr, out.data(),
                                           &produced),
              BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(lame.beEncodeChunkFloatS16NI(stream, 0, nullptr, nullptr, nullptr, &produced),
              BE_ERR_SUCCESSFUL);
    EXPECT_EQ(produced, 0u);
    EXPECT_EQ(lame.beCloseStream(stream), BE_ERR_SUCCESSFUL);
}

TEST_F(LameEnc, StaleAndReusedHandlesFindNothing) {
    std::vector<uint8_t> out(16384);
    BE_DWORD produced = 0;
    float pcm[4] = {};
    EXPECT_EQ(lame.beEncodeChunkFloatS16NI(0, 1, pcm, pcm, out.data(), &produced),
              BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(lame.beEncodeChunkFloatS16NI(0xDEADBEEF, 1, pcm, pcm, out.data(), &produced),
              BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(lame.beCloseStream(0xDEADBEEF), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(lame.beWriteInfoTag(0xDEADBEEF, dir.File("x.mp3").c_str()), BE_ERR_INVALID_HANDLE);

    const HBE_STREAM stream = Open();
    ASSERT_EQ(lame.beDeinitStream(stream, out.data(), &produced), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(lame.beDeinitStream(stream, out.data(), &produced), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(lame.beEncodeChunkFloatS16NI(stream, 1, pcm, pcm, out.data(), &produced),
              BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(lame.beCloseStream(stream), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(lame.beCloseStream(stream), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(lame.beDeinitStream(stream, out.data(), &produced), BE_ERR_INVALID_HANDLE);
    // A new stream never takes the old number.
    const HBE_STREAM next = Open();
    EXPECT_NE(next, stream);
    EXPECT_EQ(lame.beCloseStream(next), BE_ERR_SUCCESSFUL);
}

TEST_F(LameEnc, TagAfterCloseRewritesTheReservedFrameOnce) {
    const std::string path = dir.File("a.mp3");
    const HBE_STREAM stream = Open();
    EncodeInto(stream, path, Tone(44100));
    const auto before = ReadFile(path);
    ASSERT_EQ(lame.beCloseStream(stream), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(lame.beWriteInfoTag(stream, path.c_str()), BE_ERR_SUCCESSFUL);
    const auto after = ReadFile(path);
    ASSERT_EQ(after.size(), before.size());

    const fixtures::Mp3Info info = fixtures::DecodeMp3(path);
    EXPECT_EQ(info.infoTag, "Info");
    EXPECT_TRUE(info.IsConstantBitrate(128));
    EXPECT_EQ(info.infoTagFrames, static_cast<long>(info.frameBitrates.size()));
    EXPECT_EQ(info.frames, 44100u);  // the tag carries delay and padding
    EXPECT_NEAR(fixtures::ToneLevelDb(info.pcm, 2, 0, 44100, 1000.0), -6.0, 1.0);
    // Only the first frame changed.
    size_t lastDifference = before.size();
    while (lastDifference > 0 && before[lastDifference - 1] == after[lastDifference - 1])
        --lastDifference;
    EXPECT_LT(lastDifference, 1000u);

    // The stream has ended for good.
    EXPECT_EQ(lame.beWriteInfoTag(stream, path.c_str()), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(lame.beCloseStream(stream), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(lame.beWriteVBRHeader(path.c_str()), BE_ERR_INVALID_HANDLE);
}

TEST_F(LameEnc, TagWithoutCloseEndsTheStream) {
    const std::string path = dir.File("b.mp3");
    const HBE_STREAM stream = Open(22050, BE_MP3_MODE_MONO, 320);
    EncodeInto(stream, path, Tone(22050));
    EXPECT_EQ(lame.beWriteInfoTag(stream, path.c_str()), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(lame.beCloseStream(stream), BE_ERR_INVALID_HANDLE);
    const fixtures::Mp3Info info = fixtures::DecodeMp3(path);
    EXPECT_EQ(info.infoTag, "Info");
    EXPECT_EQ(info.mpegVersion, 2.0);
    EXPECT_TRUE(info.IsConstantBitrate(160));  // MPEG-2 stops at 160 kbit/s
}

TEST_F(LameEnc, VbrHeaderTagsTheStreamLastClosedOnThisThread) {
    const std::string first = dir.File("first.mp3"), second = dir.File("second.mp3");
    const HBE_STREAM a = Open();
    EncodeInto(a, first, Tone(11025));
    const HBE_STREAM b = Open();
    EncodeInto(b, second, Tone(11025));
    ASSERT_EQ(lame.beCloseStream(a), BE_ERR_SUCCESSFUL);
    ASSERT_EQ(lame.beCloseStream(b), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(lame.beWriteVBRHeader(second.c_str()), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(fixtures::DecodeMp3(second).infoTag, "Info");
    // b is used up; a can still be tagged by handle.
    EXPECT_EQ(lame.beWriteVBRHeader(second.c_str()), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(lame.beWriteInfoTag(a, first.c_str()), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(fixtures::DecodeMp3(first).infoTag, "Info");
}

TEST_F(LameEnc, TagNeverTouchesAFileThatIsNotTheEncodedOne) {
    const std::string mp3 = dir.File("c.mp3");
    const std::string text = dir.File("notes.txt");
    const std::string missing = dir.File("missing.mp3");
    fixtures::WriteTextFile(text, std::string(4000, 'x'));

    HBE_STREAM stream = Open();
    EncodeInto(stream, mp3, Tone(4410));
    ASSERT_EQ(lame.beCloseStream(stream), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(lame.beWriteInfoTag(stream, text.c_str()), BE_ERR_FILE);
    EXPECT_EQ(ReadFile(text), std::vector<char>(4000, 'x'));

    stream = Open();
    EncodeInto(stream, mp3, Tone(4410));
    ASSERT_EQ(lame.beCloseStream(stream), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(lame.beWriteInfoTag(stream, missing.c_str()), BE_ERR_FILE);
    EXPECT_FALSE(Exists(missing));

    stream = Open();
    EncodeInto(stream, mp3, Tone(4410));
    ASSERT_EQ(lame.beCloseStream(stream), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(lame.beWriteInfoTag(stream, dir.Path().c_str()), BE_ERR_FILE);
}

// What stands before the encoded frames: an ID3v2 tag, or something that only looks like one.
struct LeadCase {
    const char* label;
    std::vector<char> lead;
    bool tagged;  // the Info frame is written after the lead
};

std::vector<char> Id3Lead(char version, char flags, std::vector<unsigned char> size, size_t body) {
    std::vector<char> lead = {'I', 'D', '3', version, 0, flags};
    lead.insert(lead.end(), size.begin(), size.end());
    lead.resize(lead.size() + body, '\0');
    if (flags & 0x10)
        lead.insert(lead.end(), {'3', 'D', 'I', version, 0, flags});
    if (flags & 0x10)
        lead.insert(lead.end(), size.begin(), size.end());
    return lead;
}

class LameEncLead : public LameEnc, public testing::WithParamInterface<LeadCase> {};

TEST_P(LameEncLead, TagFrameGoesAfterALeadingId3v2Tag) {
    const LeadCase& c = GetParam();
    const std::string path = dir.File("lead.mp3");
    const HBE_STREAM stream = Open();
    EncodeInto(stream, path, Tone(44100));
    std::vector<char> bytes = c.lead;
    const std::vector<char> audio = ReadFile(path);
    bytes.insert(bytes.end(), audio.begin(), audio.end());
    fixtures::WriteTextFile(path, std::string(bytes.begin(), bytes.end()));
    ASSERT_EQ(lame.beCloseStream(stream), BE_ERR_SUCCESSFUL);

    EXPECT_EQ(lame.beWriteInfoTag(stream, path.c_str()),
              c.tagged ? BE_ERR_SUCCESSFUL : BE_ERR_FILE);
    const std::vector<char> after = ReadFile(path);
    ASSERT_EQ(after.size(), bytes.size());
    EXPECT_TRUE(std::equal(c.lead.begin(), c.lead.end(), after.begin())) << "the lead changed";
    if (!c.tagged) {
        EXPECT_EQ(after, bytes);
        return;
    }
    ASSERT_EQ(fixtures::Id3v2Size(path), c.lead.size());
    // The stream size counts from the Info frame on.
    const fixtures::InfoSizes sizes = fixtures::ReadInfoSizes(path);
    EXPECT_EQ(sizes.xingBytes, static_cast<long>(audio.size()));
    EXPECT_EQ(sizes.lameMusicLength, static_cast<long>(audio.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Lead, LameEncLead,
    testing::Values(LeadCase{"Id3v23", Id3Lead(3, 0, {0, 0, 8, 0}, 1024), true},
                    LeadCase{"Id3v24WithFooter", Id3Lead(4, 0x10, {0, 0, 3, 0x74}, 500), true},
                    // A size byte with its top bit set is no ID3v2 size: nothing is skipped,
                    // and what follows the start is no frame.
                    LeadCase{"BrokenSize", Id3Lead(3, 0, {0x80, 0, 0, 0}, 64), false},
                    LeadCase{"SizePastTheEnd", Id3Lead(3, 0, {0x7F, 0x7F, 0x7F, 0x7F}, 64), false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(LameEnc, StreamClosedBeforeItsFlushHasNoTag) {
    const std::string path = dir.File("d.mp3");
    const HBE_STREAM stream = Open();
    EncodeInto(stream, path, Tone(4410), false);
    const auto before = ReadFile(path);
    EXPECT_EQ(lame.beCloseStream(stream), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(lame.beWriteInfoTag(stream, path.c_str()), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(ReadFile(path), before);
}

TEST_F(LameEnc, EveryClosedStreamKeepsItsTagUntilItIsWritten) {
    // Many files finished at about the same time: none loses its tag, the oldest neither.
    std::vector<HBE_STREAM> streams;
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) {
        streams.push_back(Open());
        paths.push_back(dir.File("t" + std::to_string(i) + ".mp3"));
        EncodeInto(streams.back(), paths.back(), Tone(4410));
        ASSERT_EQ(lame.beCloseStream(streams.back()), BE_ERR_SUCCESSFUL);
    }
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(lame.beWriteInfoTag(streams[i], paths[i].c_str()), BE_ERR_SUCCESSFUL) << i;
        EXPECT_EQ(fixtures::DecodeMp3(paths[i]).infoTag, "Info") << i;
        EXPECT_EQ(lame.beWriteInfoTag(streams[i], paths[i].c_str()), BE_ERR_INVALID_HANDLE) << i;
    }
}

TEST_F(LameEnc, NonFiniteAndHugeSamplesAreClamped) {
    const std::string path = dir.File("wild.mp3");
    std::vector<float> pcm = Tone(44100);
    const float inf = std::numeric_limits<float>::infinity();
    const float wild[] = {std::nanf(""), inf, -inf, 1e30f, -1e30f, 70000.0f, -70000.0f};
    for (size_t i = 0; i < pcm.size(); i += 97)
        pcm[i] = wild[(i / 97) % std::size(wild)];
    const HBE_STREAM stream = Open();
    EncodeInto(stream, path, pcm);
    ASSERT_EQ(lame.beCloseStream(stream), BE_ERR_SUCCESSFUL);
    ASSERT_EQ(lame.beWriteInfoTag(stream, path.c_str()), BE_ERR_SUCCESSFUL);
    const fixtures::Mp3Info info = fixtures::DecodeMp3(path);
    EXPECT_EQ(info.frames, 44100u);
    for (float v : info.pcm)
        ASSERT_TRUE(std::isfinite(v));
}

TEST_F(LameEnc, QualityOutsideItsCheckFallsBackAndStillEncodes) {
    BE_CONFIG c = MakeConfig(44100, BE_MP3_MODE_JSTEREO, 192);
    c.format.LHV1.nQuality = 0x0009;  // high byte not the complement
    HBE_STREAM stream = 0;
    ASSERT_EQ(lame.beInitStream(&c, &samples, &bufferSize, &stream), BE_ERR_SUCCESSFUL);
    const std::string path = dir.File("e.mp3");
    EncodeInto(stream, path, Tone(22050));
    ASSERT_EQ(lame.beWriteInfoTag(stream, path.c_str()), BE_ERR_SUCCESSFUL);
    EXPECT_TRUE(fixtures::DecodeMp3(path).IsConstantBitrate(192));
}

}  // namespace
