// Whole conversions through the batch driver: decode, processing and encode stages on their
// threads, checked by decoding the MP3s with an independent decoder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/core/AudioScan.h"
#include "app/core/Settings.h"
#include "app/core/TaskBuilder.h"
#include "batch/ConversionState.h"
#include "engine/ConversionTask.h"
#include "engine/EncoderModule.h"
#include "engine/Engine.h"
#include "engine/TaskReport.h"
#include "platform/MessageBox.h"
#include "tests/fixtures/Mp3Check.h"
#include "tests/fixtures/Mutants.h"
#include "tests/fixtures/OggFixtures.h"
#include "tests/fixtures/StandInWindow.h"
#include "tests/fixtures/TempDir.h"

namespace fs = std::filesystem;
using fixtures::OggStream;
using fixtures::Tone;

namespace {

// Plays the progress window on the test thread and runs one batch to its end.
class BatchRun : public CStandInBatch {
public:
    using CStandInBatch::CStandInBatch;

    // Runs the batch; onMessage sees every message, on this thread, after it was recorded.
    void Run(std::function<void(Message&)> onMessageToo = {}) {
        onMessage = std::move(onMessageToo);
        Start();
        ASSERT_TRUE(Pump(std::chrono::seconds(120))) << "the batch did not end";
    }

    CConversionState& State() { return *state; }
};

CConversionTask MakeTask(const std::string& source, const OggStream& spec, const std::string& dest,
                         uint32_t destRate, uint32_t destChannels) {
    CConversionTask task;
    task.m_sourcePath = source;
    task.m_sourceType = 1;
    task.m_sourceRate = spec.rate;
    task.m_sourceChannels = spec.channels;
    task.m_destPath = dest;
    task.m_destType = 2;
    task.m_destRate = destRate;
    task.m_destChannels = destChannels;
    const uint64_t frames =
        static_cast<uint64_t>(static_cast<double>(spec.frames) * destRate / spec.rate);
    task.m_totalSamples = frames * destChannels;
    task.m_ratio = static_cast<double>(destRate) * destChannels / (spec.rate * spec.channels);
    task.m_needsProcessing = 1;
    task.m_bitrate = g_bitrateTable[g_lameBits];
    return task;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// How far a tagged MP3 (its delay and padding trimmed) may differ in length: one frame, for the
// rounding of a rate change.
constexpr double LENGTH_SLACK_FRAMES = 1;

struct FormatCase {
    const char* name;
    uint32_t sourceRate, sourceChannels, destRate, destChannels;
    short lameBits;
    int expectedKbps;    // the chosen rate, or the nearest one the MPEG version allows
    bool lowpass;        // false where the rate is too low for the 7000 Hz low-pass
    bool tagged = true;  // false where a frame is too small for libmp3lame's Info tag
};

class FormatTest : public testing::TestWithParam<FormatCase> {
protected:
    void SetUp() override { g_lameBits = GetParam().lameBits; }
    void TearDown() override { g_lameBits = DEFAULT_LAME_BITS; }
};

TEST_P(FormatTest, ConvertsToTheDestinationFormat) {
    const FormatCase& c = GetParam();
    fixtures::TempDir dir;
    OggStream spec;
    spec.rate = c.sourceRate;
    spec.channels = c.sourceChannels;
    spec.frames = c.sourceRate * 3 / 2;  // 1.5 s
    const double tone = c.destRate >= 16000 ? 1000.0 : 500.0;
    spec.tones = {Tone{tone, -6.0, 0xFFFFFFFFu}};
    const std::string source = dir.File("tone.ogg");
    fixtures::WriteOgg(source, spec);

    const std::string dest = dir.File("out/tone.mp3");
    BatchRun run({MakeTask(source, spec, dest, c.destRate, c.destChannels)});
    run.Run();
    ASSERT_EQ(run.done, 1) << run.Dump();
    EXPECT_EQ(run.Errors(), 0) << run.Dump();
    // A bit rate the MPEG version does not have is replaced, and the log says so once.
    const int chosen = g_bitrateTable[c.lameBits];
    const std::string substitution = std::to_string(chosen) + " kbit/s is not possible at " +
                                     std::to_string(c.destRate) + " Hz; " +
                                     std::to_string(c.expectedKbps) + " kbit/s used";
    EXPECT_EQ(run.Logged(substitution, LOG_INFO), chosen != c.expectedKbps) << run.Dump();

    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(dest);
    EXPECT_EQ(mp3.rate, static_cast<long>(c.destRate));
    EXPECT_EQ(mp3.channels, static_cast<int>(c.destChannels));
    EXPECT_TRUE(mp3.IsConstantBitrate(c.expectedKbps));
    EXPECT_EQ(mp3.infoTag, c.tagged ? "Info" : "");
    const double expectedFrames = static_cast<double>(spec.frames) * c.destRate / c.sourceRate;
    // Without the tag the decoder cannot trim the encoder's delay and padding.
    EXPECT_NEAR(static_cast<double>(mp3.frames), expectedFrames,
                c.tagged ? LENGTH_SLACK_FRAMES : 1152 + 1152 + 576);

    // The tone keeps its level in every output channel (mono from stereo is the average of two
    // equal channels; stereo from mono copies it).
    const size_t skip = c.destRate / 4;  // past the filters' settling
    for (int ch = 0; ch < mp3.channels; ++ch) {
        const double level =
            fixtures::ToneLevelDb(mp3.pcm, mp3.channels, ch, mp3.rate, tone, skip, c.destRate);
        EXPECT_NEAR(level, -6.0, c.expectedKbps >= 64 ? 1.0 : 2.0) << "channel " << ch;
    }
    // Counters cover the whole output.
    ASSERT_FALSE(run.progress.empty());
    EXPECT_GT(run.progress.back().fileSecondsDone, 1.3f);
    EXPECT_FLOAT_EQ(run.State().m_batchSecondsDone.load(), run.progress.back().fileSecondsDone);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FormatTest,
    testing::Values(FormatCase{"Stereo44100Stays", 44100, 2, 44100, 2, 11, 128, true},
                    FormatCase{"Stereo48000To44100", 48000, 2, 44100, 2, 11, 128, true},
                    FormatCase{"Mono7000To8000", 7000, 1, 8000, 1, 11, 64, false},
                    FormatCase{"SixChannelsToStereo", 44100, 6, 44100, 2, 13, 192, true},
                    FormatCase{"MonoToStereo", 22050, 1, 22050, 2, 16, 160, true},
                    FormatCase{"StereoToMono", 32000, 2, 32000, 1, 7, 64, true},
                    FormatCase{"Stereo11025", 11025, 2, 11025, 2, 9, 64, false},
                    FormatCase{"Mpeg2Max", 22050, 2, 22050, 2, 16, 160, true},
                    FormatCase{"Rate96000To44100", 96000, 2, 44100, 2, 11, 128, true},
                    FormatCase{"EightKbpsAt44100", 44100, 2, 44100, 2, 0, 32, true, false}),
    [](const testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

// Output level of a tone of the given frequency through a 44100 Hz stereo conversion.
double ConvertedToneLevel(double frequency, double levelDb) {
    fixtures::TempDir dir;
    OggStream spec;
    spec.frames = 44100 * 2;
    spec.quality = 0.6f;  // keeps quiet and high tones intact in the source
    spec.tones = {Tone{frequency, levelDb, 0xFFFFFFFFu}};
    const std::string source = dir.File("t.ogg");
    fixtures::WriteOgg(source, spec);
    const fixtures::OggDecoded decoded = fixtures::DecodeOgg(source);
    const double sourceLevel =
        fixtures::ToneLevelDb(decoded.pcm, 2, 0, 44100, frequency, 11025, 44100);
    g_lameBits = 16;  // 320 kbit/s: the encoder changes the tone as little as it can
    BatchRun run({MakeTask(source, spec, dir.File("t.mp3"), 44100, 2)});
    run.Run();
    g_lameBits = DEFAULT_LAME_BITS;
    EXPECT_EQ(run.done, 1) << run.Dump();
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(dir.File("t.mp3"));
    const double level = fixtures::ToneLevelDb(mp3.pcm, 2, 0, 44100, frequency, 11025, 44100);
    return level - sourceLevel;
}

TEST(Filters, PassTheMiddleAndCutBothEnds) {
    EXPECT_NEAR(ConvertedToneLevel(1000, -6), 0.0, 1.0);
    EXPECT_LE(ConvertedToneLevel(14000, -6), -10.0);
    EXPECT_LE(ConvertedToneLevel(40, -6), -12.0);
}

TEST(Filters, QuietPassagesKeepTheirLevel) {
    // Sixteen bits survive the decode stage: a tone at -66 dBFS keeps its level.
    EXPECT_NEAR(ConvertedToneLevel(1000, -66), 0.0, 2.0);
}

TEST(Downmix, FrontRightStaysOnTheRight) {
    fixtures::TempDir dir;
    OggStream spec;
    spec.channels = 6;  // FL C FR RL RR LFE
    spec.frames = 44100;
    spec.quality = 0.4f;
    spec.tones = {Tone{1000, -6, 1u << 2}};
    const std::string source = dir.File("six.ogg");
    fixtures::WriteOgg(source, spec);
    BatchRun run({MakeTask(source, spec, dir.File("six.mp3"), 44100, 2)});
    run.Run();
    ASSERT_EQ(run.done, 1) << run.Dump();
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(dir.File("six.mp3"));
    ASSERT_EQ(mp3.channels, 2);
    const double left = fixtures::ToneLevelDb(mp3.pcm, 2, 0, 44100, 1000, 11025, 22050);
    const double right = fixtures::ToneLevelDb(mp3.pcm, 2, 1, 44100, 1000, 11025, 22050);
    EXPECT_GT(right, -20.0);
    EXPECT_GT(right - left, 30.0) << "left " << left << " dB, right " << right << " dB";
}

TEST(Batch, OneTaskLogsItsStepsAndEnds) {
    fixtures::TempDir dir;
    OggStream spec;
    spec.frames = 22050;
    const std::string source = dir.File("one.ogg");
    fixtures::WriteOgg(source, spec);
    const std::string dest = dir.File("a/b/c/one.mp3");  // missing three levels deep
    BatchRun run({MakeTask(source, spec, dest, 44100, 2)});
    run.Run();
    ASSERT_EQ(run.done, 1) << run.Dump();
    ASSERT_EQ(run.log.size(), 6u) << run.Dump();
    EXPECT_EQ(run.log[0].text, std::string(99, '-'));
    EXPECT_EQ(run.log[1].text, "Start a new converting task.");
    EXPECT_EQ(run.log[2].text, "Source:  " + source + ".");
    EXPECT_EQ(run.log[3].text, "Destination: " + dest + ".");
    EXPECT_EQ(run.log[4].text.rfind("Time elapsed ", 0), 0u);
    EXPECT_NE(run.log[4].text.find(" secs, speed "), std::string::npos);
    EXPECT_EQ(run.log[5].text, "Converting status: OK.");
    for (const auto& l : run.log)
        EXPECT_EQ(l.kind, LOG_INFO);
    EXPECT_TRUE(fs::is_regular_file(dest));
    // The last report is sent after the end: the file and the batch are complete.
    ASSERT_FALSE(run.progress.empty());
    EXPECT_GE(run.progress.back().filePercent, 99.0f);
    EXPECT_GE(run.progress.back().batchPercent, 99.0f);
}

TEST(Batch, SameNamesTakeTheNextFreeNameAndExistingFilesKeepTheirBytes) {
    fixtures::TempDir dir;
    OggStream spec;
    spec.frames = 11025;
    fs::create_directories(dir.File("x"));
    fs::create_directories(dir.File("y"));
    fs::create_directories(dir.File("out"));
    fixtures::WriteOgg(dir.File("x/song.ogg"), spec);
    fixtures::WriteOgg(dir.File("y/song.ogg"), spec);
    fixtures::WriteOgg(dir.File("y/old.ogg"), spec);
    std::ofstream(dir.File("out/old.mp3")) << "precious";
    BatchRun run({MakeTask(dir.File("x/song.ogg"), spec, dir.File("out/song.mp3"), 44100, 2),
                  MakeTask(dir.File("y/song.ogg"), spec, dir.File("out/song.mp3"), 44100, 2),
                  MakeTask(dir.File("y/old.ogg"), spec, dir.File("out/old.mp3"), 44100, 2)});
    run.Run();
    ASSERT_EQ(run.done, 1) << run.Dump();
    EXPECT_NO_THROW(fixtures::DecodeMp3(dir.File("out/song.mp3")));
    EXPECT_NO_THROW(fixtures::DecodeMp3(dir.File("out/song (2).mp3")));
    EXPECT_NO_THROW(fixtures::DecodeMp3(dir.File("out/old (2).mp3")));
    EXPECT_EQ(ReadAll(dir.File("out/old.mp3")), "precious");
    EXPECT_TRUE(run.Logged("Destination: " + dir.File("out/song (2).mp3") + ".", LOG_INFO));
    // Several tasks end with the separator and the total line.
    ASSERT_GE(run.log.size(), 2u);
    EXPECT_EQ(run.log[run.log.size() - 2].text, std::string(99, '-'));
    EXPECT_EQ(run.log.back().text.rfind("Total time elapsed ", 0), 0u);
    EXPECT_EQ(run.State().m_taskIndex.load(), 3);
}

TEST(Batch, ALongNameConvertedTwiceGetsANumberThatFits) {
    fixtures::TempDir dir;
    OggStream spec;
    spec.frames = 4410;
    const std::string base(251, 'L');  // with ".ogg", the longest name there is
    fs::create_directories(dir.File("a"));
    fs::create_directories(dir.File("b"));
    fixtures::WriteOgg(dir.File("a/" + base + ".ogg"), spec);
    fixtures::WriteOgg(dir.File("b/" + base + ".ogg"), spec);
    const std::string dest = dir.File("out/" + base + ".mp3");
    BatchRun run({MakeTask(dir.File("a/" + base + ".ogg"), spec, dest, 44100, 2),
                  MakeTask(dir.File("b/" + base + ".ogg"), spec, dest, 44100, 2)});
    run.Run();
    ASSERT_EQ(run.done, 1) << run.Dump();
    EXPECT_NO_THROW(fixtures::DecodeMp3(dest));
    EXPECT_NO_THROW(fixtures::DecodeMp3(dir.File("out/" + std::string(247, 'L') + " (2).mp3")));
}

// The encode stage waits on an error box longer than the stall limit: that is the user's time,
// and the batch reports the stage's own error, not a stage that stopped responding.
TEST(Batch, AStageWaitingOnAnErrorBoxIsNotStalled) {
    fixtures::TempDir dir;
    OggStream spec;
    spec.frames = 4410;
    fixtures::WriteOgg(dir.File("s.ogg"), spec);
    SetEncoderModulePath(dir.File("no-such-encoder.so"));
    SetMessageBoxHook([](const std::string&, MessageBoxIcon) {
        std::this_thread::sleep_for(std::chrono::milliseconds(11000));
    });
    BatchRun run({MakeTask(dir.File("s.ogg"), spec, dir.File("s.mp3"), 44100, 2)});
    run.Run();
    SetMessageBoxHook({});
    SetEncoderModulePath({});
    EXPECT_TRUE(run.Logged("Error loading lame_enc.dll", LOG_ERROR)) << run.Dump();
    EXPECT_FALSE(run.Logged("A conversion stage stopped responding.", LOG_ERROR)) << run.Dump();
    EXPECT_TRUE(run.Logged("Converting status: ERROR.", LOG_ERROR)) << run.Dump();
    // The summary names the box's reason, not a stall.
    EXPECT_TRUE(
        run.Logged("Failed: " + dir.File("s.ogg") + ": Error loading lame_enc.dll", LOG_ERROR))
        << run.Dump();
}

// A source of several pages, so that one damaged page is a hole in the middle and a cut copy
// still holds some audio.
OggStream ManyPages() {
    OggStream spec;
    spec.frames = 44100 * 4;
    spec.quality = 0.5f;
    spec.tones = {Tone{440, -10, 0xFFFFFFFFu}, Tone{5123, -12, 1u}, Tone{9876, -14, 2u}};
    return spec;
}

// Each row: how the source is broken, and the error line the batch must show.
struct BrokenCase {
    const char* name;
    std::function<std::string(const fixtures::TempDir&, OggStream&)> make;  // returns the source
    std::string expectedLine;  // "" : only check that a clear error ended the task
};

class BrokenSourceTest : public testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenSourceTest, StopOnErrorStopsTheBatchWithAClearLine) {
    fixtures::TempDir dir;
    const OggStream spec = ManyPages();
    OggStream made = spec;
    const std::string source = GetParam().make(dir, made);
    BatchRun run({MakeTask(source, spec, dir.File("bad.mp3"), 44100, 2),
                  MakeTask(source, spec, dir.File("never.mp3"), 44100, 2)},
                 1, true);
    run.Run();
    EXPECT_EQ(run.done, 0) << run.Dump();
    if (!GetParam().expectedLine.empty()) {
        EXPECT_TRUE(run.Logged(GetParam().expectedLine, LOG_ERROR)) << run.Dump();
    }
    // The status line, then the summary: one failed, one never started.
    const int status = run.Find("Converting status: ERROR.");
    ASSERT_GE(status, 0) << run.Dump();
    EXPECT_EQ(run.log[status].kind, LOG_ERROR);
    ASSERT_GE(run.log.size(), static_cast<size_t>(status) + 3) << run.Dump();
    EXPECT_EQ(run.log[run.log.size() - 2].text, "0 of 2 files converted, 1 failed, 1 not started.");
    EXPECT_EQ(run.log.back().text.rfind("Failed: " + source + ": ", 0), 0u) << run.Dump();
    if (!GetParam().expectedLine.empty()) {
        EXPECT_EQ(run.log.back().text, "Failed: " + source + ": " + GetParam().expectedLine);
    }
    EXPECT_EQ(run.log.back().kind, LOG_ERROR);
    EXPECT_FALSE(fs::exists(dir.File("never.mp3")));  // the batch stopped at the first task
    EXPECT_EQ(run.State().m_running.load(), 0);
    EXPECT_EQ(run.State().m_filesFailed.load(), 1);
    // An MP3 is left only when it holds audio.
    if (fs::exists(dir.File("bad.mp3"))) {
        EXPECT_GT(fixtures::DecodeMp3(dir.File("bad.mp3")).frames, 0u);
    }
}

TEST_P(BrokenSourceTest, ByDefaultTheNextFileIsStillConverted) {
    fixtures::TempDir dir;
    const OggStream spec = ManyPages();
    OggStream made = spec;
    const std::string source = GetParam().make(dir, made);
    OggStream good;
    good.frames = 22050;
    fixtures::WriteOgg(dir.File("good.ogg"), good);
    BatchRun run({MakeTask(source, spec, dir.File("bad.mp3"), 44100, 2),
                  MakeTask(dir.File("good.ogg"), good, dir.File("good.mp3"), 44100, 2)});
    run.Run();
    ASSERT_EQ(run.done, 1) << run.Dump();
    EXPECT_EQ(run.State().m_filesFailed.load(), 1);
    EXPECT_EQ(run.State().m_filesConverted.load(), 1);
    EXPECT_TRUE(run.Logged("Converting status: ERROR.", LOG_ERROR)) << run.Dump();
    EXPECT_TRUE(run.Logged("Converting status: OK.", LOG_INFO)) << run.Dump();
    ASSERT_GE(run.log.size(), 2u);
    EXPECT_EQ(run.log[run.log.size() - 2].text, "1 of 2 files converted, 1 failed.");
    EXPECT_EQ(run.log.back().text.rfind("Failed: " + source + ": ", 0), 0u) << run.Dump();
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(dir.File("good.mp3"));
    EXPECT_NEAR(static_cast<double>(mp3.frames), 22050.0, 1.0);
    // A name reserved for a file whose encoder never started is given back.
    if (!fs::is_regular_file(source)) {
        EXPECT_FALSE(fs::exists(dir.File("bad.mp3")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, BrokenSourceTest,
    testing::Values(BrokenCase{"Missing",
                               [](const fixtures::TempDir& d, OggStream&) {
                                   return d.File("gone.ogg");
                               },
                               "File Error: No such file or directory"},
                    BrokenCase{"Folder",
                               [](const fixtures::TempDir& d, OggStream&) {
                                   fs::create_directories(d.File("dir.ogg"));
                                   return d.File("dir.ogg");
                               },
                               "File Error: Is a directory"},
                    BrokenCase{"NamedPipe",
                               [](const fixtures::TempDir& d, OggStream&) {
                                   ::mkfifo(d.File("pipe.ogg").c_str(), 0644);
                                   return d.File("pipe.ogg");
                               },
                               "File Error: Not a regular file"},
                    BrokenCase{"TextNamedOgg",
                               [](const fixtures::TempDir& d, OggStream&) {
                                   fixtures::WriteTextFile(d.File("text.ogg"),
                                                           "not a sound at all\n");
                                   return d.File("text.ogg");
                               },
                               "Invalid ogg vorbis stream"},
                    BrokenCase{"ChainedFormatChange",
                               [](const fixtures::TempDir& d, OggStream& spec) {
                                   OggStream second = spec;
                                   second.channels = 1;
                                   second.rate = 22050;
                                   fixtures::WriteChainedOgg(d.File("chain.ogg"), spec, second);
                                   return d.File("chain.ogg");
                               },
                               ""}),
    [](const testing::TestParamInfo<BrokenCase>& info) { return info.param.name; });

// The line with the given start, or nullptr.
const LogLine* FindLine(const BatchRun& run, const std::string& start) {
    for (const auto& l : run.log)
        if (l.text.rfind(start, 0) == 0)
            return &l;
    return nullptr;
}

TEST(Batch, ChainedFormatChangeKeepsTheFirstPartAndSaysWhereTheFileEnds) {
    fixtures::TempDir dir;
    OggStream first, second, both;
    first.frames = 44100 * 3;
    first.tones = {Tone{440, -10, 0xFFFFFFFFu}};
    second.channels = 1;
    second.rate = 22050;
    second.frames = 22050 * 3;
    both = first;
    both.frames = first.frames + second.frames * 2;  // what a scan of the whole file promises
    const std::string source = dir.File("chain.ogg");
    fixtures::WriteChainedOgg(source, first, second);
    BatchRun run({MakeTask(source, both, dir.File("chain.mp3"), 44100, 2),
                  MakeTask(source, both, dir.File("never.mp3"), 44100, 2)},
                 1, true);
    run.Run();
    EXPECT_EQ(run.done, 0);
    EXPECT_TRUE(run.Logged("The audio format changes inside " + source, LOG_ERROR)) << run.Dump();
    EXPECT_TRUE(run.Logged("Converting status: ERROR.", LOG_ERROR)) << run.Dump();
    EXPECT_TRUE(run.Logged(
        dir.File("chain.mp3") + " is incomplete: it holds only the first 00:03 of 00:06.",
        LOG_ERROR))
        << run.Dump();
    EXPECT_FALSE(fs::exists(dir.File("never.mp3")));
    // Everything decoded before the change is in the file, tagged.
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(dir.File("chain.mp3"));
    EXPECT_EQ(mp3.infoTag, "Info");
    EXPECT_NEAR(static_cast<double>(mp3.frames), static_cast<double>(first.frames), 1.0);
}

// Each row: how a page goes missing in the middle of the source.
struct GapCase {
    const char* name;
    std::function<void(const std::string& good, const std::string& broken)> make;
};

class SourceGapTest : public testing::TestWithParam<GapCase> {};

TEST_P(SourceGapTest, IsAWarningAndTheRestIsConverted) {
    fixtures::TempDir dir;
    OggStream spec = ManyPages();
    spec.frames = 44100 * 20;  // one page is a few per cent of it
    fixtures::WriteOgg(dir.File("good.ogg"), spec);
    const std::string source = dir.File("gap.ogg");
    GetParam().make(dir.File("good.ogg"), source);
    const fixtures::OggDecoded reference = fixtures::DecodeOgg(source);
    ASSERT_GE(reference.holes, 1);

    BatchRun run({MakeTask(source, spec, dir.File("gap.mp3"), 44100, 2),
                  MakeTask(dir.File("good.ogg"), spec, dir.File("next.mp3"), 44100, 2)});
    run.Run();
    EXPECT_EQ(run.done, 1) << run.Dump();
    EXPECT_EQ(run.Errors(), 0) << run.Dump();
    const LogLine* warning = FindLine(run, "Warning: part of the stream is missing at 00:0");
    ASSERT_NE(warning, nullptr) << run.Dump();
    EXPECT_EQ(warning->kind, LOG_INFO);
    // Everything the decoder recovers is in the MP3.
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(dir.File("gap.mp3"));
    EXPECT_NEAR(static_cast<double>(mp3.frames),
                static_cast<double>(reference.pcm.size() / reference.channels), 1.0);
    EXPECT_NO_THROW(fixtures::DecodeMp3(dir.File("next.mp3")));
}

INSTANTIATE_TEST_SUITE_P(
    Gaps, SourceGapTest,
    testing::Values(GapCase{"FlippedAudioPage",
                            [](const std::string& good, const std::string& broken) {
                                fixtures::WriteFlippedCopy(good, broken, fs::file_size(good) / 2,
                                                           16);
                            }},
                    GapCase{"RemovedAudioPage",
                            [](const std::string& good, const std::string& broken) {
                                const size_t pages = fixtures::OggPageOffsets(good).size();
                                fixtures::WriteCopyWithoutPage(good, broken, pages / 2);
                            }}),
    [](const testing::TestParamInfo<GapCase>& info) { return info.param.name; });

class BesideOtherStreams : public testing::TestWithParam<fixtures::MuxLayout> {};

// Every layout the scan finds good converts all of the sound libvorbisfile reads from it.
TEST_P(BesideOtherStreams, ConvertsAllOfTheSound) {
    fixtures::TempDir dir;
    OggStream spec;
    spec.frames = 44100 * 2 + 321;
    spec.tones = {Tone{440, -10, 0xFFFFFFFFu}};
    OggStream second = spec;
    second.frames = 44100 + 17;
    second.tones = {Tone{1000, -10, 0xFFFFFFFFu}};
    const std::string source = dir.File("video.ogg");
    fixtures::WriteMultiplexedOgg(source, spec, GetParam(), &second);
    CAudioFileItem item;
    CFileFacts facts;
    ASSERT_TRUE(ReadFileFacts(source, item, facts));
    ASSERT_EQ(ScanFile(source, item), ScanVerdict::Good);
    CTaskSettings settings;
    settings.m_outputFolder = dir.File("out") + "/";
    CConversionTask task;
    ASSERT_TRUE(BuildConversionTask(facts.m_folder, facts.m_name, item, settings, task));
    BatchRun run({task});
    run.Run();
    ASSERT_EQ(run.done, 1) << run.Dump();
    // The scan's length, but for the block libvorbisfile loses where a stream begins inside the
    // sound.
    const fixtures::OggDecoded decoded = fixtures::DecodeOgg(source);
    EXPECT_LE(decoded.pcm.size(), item.m_totalSamples);
    EXPECT_GE(decoded.pcm.size() + 2048 * 2, item.m_totalSamples);
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(task.m_destPath);
    EXPECT_NEAR(static_cast<double>(mp3.frames), static_cast<double>(decoded.pcm.size() / 2), 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, BesideOtherStreams,
    testing::Values(fixtures::MuxLayout::VideoFirst, fixtures::MuxLayout::SoundFirst,
                    fixtures::MuxLayout::VideoOutlasts, fixtures::MuxLayout::IndexFirst,
                    fixtures::MuxLayout::TwoSoundTracks, fixtures::MuxLayout::VideoStartsLate,
                    fixtures::MuxLayout::SoundOffsetInTime, fixtures::MuxLayout::ChainedVideos),
    [](const testing::TestParamInfo<fixtures::MuxLayout>& info) {
        return std::string(fixtures::MuxLayoutName(info.param));
    });

TEST(Batch, FarLessAudioThanTheScanPromisedIsAFailure) {
    fixtures::TempDir dir;
    OggStream spec;
    spec.frames = 44100 * 4;
    spec.tones = {Tone{440, -10, 0xFFFFFFFFu}};
    const std::string source = dir.File("short.ogg");
    fixtures::WriteOgg(source, spec);
    OggStream promised = spec;
    promised.frames = 44100 * 600;  // as a damaged last page may claim
    BatchRun run({MakeTask(source, promised, dir.File("short.mp3"), 44100, 2)}, 1, true);
    run.Run();
    EXPECT_EQ(run.done, 0);
    EXPECT_TRUE(run.Logged("Only 00:04 of 10:00 could be decoded from " + source, LOG_ERROR))
        << run.Dump();
    EXPECT_TRUE(run.Logged(
        dir.File("short.mp3") + " is incomplete: it holds only the first 00:04 of 10:00.",
        LOG_ERROR))
        << run.Dump();
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(dir.File("short.mp3"));
    EXPECT_NEAR(static_cast<double>(mp3.frames), static_cast<double>(spec.frames), 1.0);
}

TEST(Batch, TruncatedSourceEndsCleanly) {
    fixtures::TempDir dir;
    const OggStream spec = ManyPages();
    fixtures::WriteOgg(dir.File("full.ogg"), spec);
    fixtures::WriteTruncatedCopy(dir.File("full.ogg"), dir.File("cut.ogg"),
                                 fs::file_size(dir.File("full.ogg")) / 2);
    // The task promises what a scan of the cut file reads.
    OggStream scanned = spec;
    scanned.frames =
        static_cast<uint64_t>(fixtures::DecodeOgg(dir.File("cut.ogg"), false).pcmTotal);
    BatchRun run({MakeTask(dir.File("cut.ogg"), scanned, dir.File("cut.mp3"), 44100, 2)});
    run.Run();
    // Either the stream ends early (converted as far as it goes) or the read fails with a
    // clear line; in both cases the MP3 is well-formed.
    ASSERT_FALSE(run.log.empty());
    const std::string& status = run.log.back().text;
    EXPECT_TRUE(status == "Converting status: OK." || status == "Converting status: ERROR.")
        << run.Dump();
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(dir.File("cut.mp3"));
    EXPECT_EQ(mp3.infoTag, "Info");
    EXPECT_GT(mp3.frames, 0u);
    EXPECT_LT(mp3.frames, spec.frames);
}

TEST(Batch, FolderThatCannotBeCreated) {
    fixtures::TempDir dir;
    OggStream spec;
    spec.frames = 4410;
    fixtures::WriteOgg(dir.File("s.ogg"), spec);
    fixtures::WriteTextFile(dir.File("blocker"), "a file where a folder should be");
    const std::string folder = dir.File("blocker/sub");
    const std::string line = "Fail to create folder " + folder + " (Not a directory) !";
    for (const bool stopOnError : {true, false}) {
        SCOPED_TRACE(stopOnError ? "stop on error" : "go on");
        fs::remove(dir.File("s.mp3"));
        BatchRun run({MakeTask(dir.File("s.ogg"), spec, folder + "/s.mp3", 44100, 2),
                      MakeTask(dir.File("s.ogg"), spec, dir.File("s.mp3"), 44100, 2)},
                     1, stopOnError);
        run.Run();
        // No status line follows the folder's line.
        const int at = run.Find(line);
        ASSERT_GE(at, 0) << run.Dump();
        EXPECT_EQ(run.log[at].kind, LOG_ERROR);
        EXPECT_NE(run.log[at + 1].text.rfind("Converting status", 0), 0u) << run.Dump();
        EXPECT_TRUE(run.Logged("Failed: " + dir.File("s.ogg") + ": " + line, LOG_ERROR));
        EXPECT_EQ(run.done, stopOnError ? 0 : 1);
        EXPECT_EQ(fs::exists(dir.File("s.mp3")), !stopOnError);
    }
}

TEST(Batch, CancelLeavesAWellFormedTaggedFile) {
    fixtures::TempDir dir;
    OggStream spec;
    spec.frames = 44100 * 60;  // long enough to be stopped in the middle
    spec.tones = {Tone{440, -10, 0xFFFFFFFFu}};
    fixtures::WriteOgg(dir.File("long.ogg"), spec);
    BatchRun run({MakeTask(dir.File("long.ogg"), spec, dir.File("long.mp3"), 44100, 2),
                  MakeTask(dir.File("long.ogg"), spec, dir.File("next.mp3"), 44100, 2)});
    CConversionState& state = run.State();
    run.Run([&](Message& m) {
        if (m.id == WM_CONV_PROGRESS && state.m_batchSamplesDone.load() > 44100 * 2 * 5)
            state.m_running = 0;  // the confirmed Cancel
    });
    EXPECT_EQ(run.done, 0);
    ASSERT_GE(run.log.size(), 2u);
    EXPECT_EQ(run.log[run.log.size() - 2].text, "Converting status: ERROR.") << run.Dump();
    // The last line says how much of the file the MP3 holds, from the 64-bit counter.
    const uint64_t held = state.m_batchSamplesDone.load() / 2;
    EXPECT_EQ(run.log.back().text, dir.File("long.mp3") +
                                       " is incomplete: it holds only the first " +
                                       FormatPlayTime(held / 44100.0) + " of 01:00.");
    EXPECT_EQ(run.log.back().kind, LOG_ERROR);
    EXPECT_EQ(run.Errors(), 2) << "no stage reports an error on cancel\n" << run.Dump();
    EXPECT_FALSE(run.Logged("Total time elapsed", LOG_INFO));
    EXPECT_FALSE(fs::exists(dir.File("next.mp3")));
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(dir.File("long.mp3"));
    EXPECT_EQ(mp3.infoTag, "Info");
    EXPECT_GT(mp3.frames, 44100u * 4);
    EXPECT_LT(mp3.frames, 44100u * 50);
    // The tag counts exactly the frames the file holds.
    EXPECT_TRUE(mp3.IsConstantBitrate(128));
}

TEST(Batch, PauseHoldsTheCountersAndResumeContinues) {
    fixtures::TempDir dir;
    OggStream spec;
    spec.frames = 44100 * 40;
    spec.tones = {Tone{440, -10, 0xFFFFFFFFu}};
    fixtures::WriteOgg(dir.File("p.ogg"), spec);
    BatchRun run({MakeTask(dir.File("p.ogg"), spec, dir.File("p.mp3"), 44100, 2)});
    CConversionState& state = run.State();
    std::atomic<int> reports{0};
    uint64_t heldFrom = 0, heldTo = 0;
    int reportsFrom = 0, reportsTo = 0;
    // Plays the user: pauses once the file is under way, looks twice, resumes.
    std::thread user([&] {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (state.m_batchSamplesDone.load() < 44100 * 2 * 3 &&
               std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        state.m_paused = 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // reports in flight land
        heldFrom = state.m_batchSamplesDone.load();
        reportsFrom = reports.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        heldTo = state.m_batchSamplesDone.load();
        reportsTo = reports.load();
        state.m_paused = 0;
    });
    run.Run([&](Message& m) {
        if (m.id == WM_CONV_PROGRESS)
            ++reports;
    });
    user.join();
    ASSERT_EQ(run.done, 1) << run.Dump();
    EXPECT_GT(heldFrom, 0u);
    EXPECT_EQ(heldFrom, heldTo);
    EXPECT_EQ(reportsFrom, reportsTo);
    // Resumed from the same place: the whole file is there, once.
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(dir.File("p.mp3"));
    EXPECT_NEAR(static_cast<double>(mp3.frames), 44100.0 * 40, LENGTH_SLACK_FRAMES);
}

// ---------------------------------------------------------------------------------------------
// Seeded mutants of small sources through the scan and the whole pipeline: whatever a damaged
// file does, nothing crashes or hangs, and a file reported converted holds all the audio that
// libvorbisfile decodes from it.

TEST(Mutants, NeitherCrashNorHangAndConvertedFilesAreComplete) {
    fixtures::TempDir dir;
    const std::vector<fixtures::Mutant> mutants = fixtures::MakeMutants(dir);
    CTaskSettings settings;
    settings.m_outputFolder = dir.File("out") + "/";
    std::vector<CConversionTask> tasks;
    std::vector<const fixtures::Mutant*> converted;
    for (const fixtures::Mutant& m : mutants) {
        CAudioFileItem item;
        CFileFacts facts;
        ASSERT_TRUE(ReadFileFacts(m.path, item, facts));
        if (ScanFile(m.path, item) != ScanVerdict::Good)
            continue;
        CConversionTask task;
        ASSERT_TRUE(BuildConversionTask(facts.m_folder, facts.m_name, item, settings, task));
        tasks.push_back(task);
        converted.push_back(&m);
    }
    ASSERT_GT(tasks.size(), 20u) << "too few mutants pass the scan to test the pipeline";

    // A failed file stops only itself: one batch, two files at once, and the summary names
    // every failure.
    BatchRun run(tasks, 2);
    run.Run();
    size_t failures = 0, checked = 0;
    for (size_t i = 0; i < tasks.size(); ++i) {
        SCOPED_TRACE(converted[i]->name);
        const std::string failed = "Failed: " + tasks[i].m_sourcePath + ": ";
        if (std::any_of(run.log.begin(), run.log.end(), [&](const LogLine& l) {
                return l.kind == LOG_ERROR && l.text.rfind(failed, 0) == 0;
            })) {
            ++failures;
            continue;
        }
        const fixtures::OggDecoded source = fixtures::DecodeOgg(converted[i]->path);
        fixtures::Mp3Info mp3;
        ASSERT_NO_THROW(mp3 = fixtures::DecodeMp3(tasks[i].m_destPath));
        EXPECT_NEAR(static_cast<double>(mp3.frames),
                    static_cast<double>(source.pcm.size() / source.channels), 2.0);
        ++checked;
    }
    EXPECT_EQ(static_cast<size_t>(run.State().m_filesFailed.load()), failures);
    EXPECT_EQ(static_cast<size_t>(run.State().m_filesConverted.load()), checked);
    size_t errorStatus = 0;
    for (const auto& l : run.log)
        errorStatus += l.text == "Converting status: ERROR." && l.kind == LOG_ERROR;
    EXPECT_EQ(errorStatus, failures) << run.Dump();
    std::cout << mutants.size() << " mutants, " << tasks.size() << " scanned good, " << checked
              << " converted and checked, " << failures << " failed with a clear line\n";
}

}  // namespace
