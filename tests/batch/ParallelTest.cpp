// Several files at once: every output whole, the log kept in file blocks, failures that stop
// only their own file, and a stage thread that outlives its batch touching nothing of the next.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "batch/ConversionState.h"
#include "engine/EncoderModule.h"
#include "engine/Engine.h"
#include "tests/fixtures/Mp3Check.h"
#include "tests/fixtures/OggFixtures.h"
#include "tests/fixtures/Signal.h"
#include "tests/fixtures/StandInWindow.h"
#include "tests/fixtures/TempDir.h"

namespace fs = std::filesystem;
using fixtures::OggStream;
using fixtures::Tone;

namespace {

const std::string SEPARATOR(99, '-');

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
    task.m_totalSamples = spec.frames * destRate / spec.rate * destChannels;
    task.m_ratio = static_cast<double>(destRate) * destChannels / (spec.rate * spec.channels);
    task.m_needsProcessing = 1;
    task.m_bitrate = 128;
    return task;
}

struct Format {
    uint32_t sourceRate, sourceChannels, destRate, destChannels;
    double tone;
};

// Sources of different rates and channel counts, each with a tone of its own; the last two
// share an output name.
const Format kFormats[] = {
    {44100, 2, 44100, 2, 440},  {48000, 2, 44100, 2, 660},  {22050, 1, 22050, 1, 880},
    {32000, 2, 32000, 1, 550},  {44100, 6, 44100, 2, 1000}, {16000, 1, 16000, 2, 770},
    {96000, 2, 44100, 2, 1200},
};
constexpr size_t kFormatCount = std::size(kFormats);

class ParallelBatch : public testing::TestWithParam<int> {};

TEST_P(ParallelBatch, EveryFileWholeWithItsToneAndItsLinesTogether) {
    SetEncoderModulePath({});
    fixtures::TempDir dir;
    std::vector<CConversionTask> tasks;
    std::vector<OggStream> specs;
    for (size_t i = 0; i < kFormatCount; ++i) {
        const Format& f = kFormats[i];
        OggStream spec;
        spec.rate = f.sourceRate;
        spec.channels = f.sourceChannels;
        spec.frames = f.sourceRate * 3 + 77 * i;
        spec.tones = {Tone{f.tone, -6.0, 0xFFFFFFFFu}};
        const std::string source = dir.File("s" + std::to_string(i) + ".ogg");
        fixtures::WriteOgg(source, spec);
        const std::string name = i + 2 >= kFormatCount ? "same" : "s" + std::to_string(i);
        tasks.push_back(
            MakeTask(source, spec, dir.File("out/" + name + ".mp3"), f.destRate, f.destChannels));
        specs.push_back(spec);
    }
    CStandInBatch batch(tasks, GetParam());
    batch.Run();
    ASSERT_EQ(batch.done, 1) << batch.Dump();
    EXPECT_EQ(batch.Errors(), 0) << batch.Dump();
    EXPECT_EQ(batch.state->m_filesConverted.load(), static_cast<int>(kFormatCount));

    // Names were reserved in start order.
    std::vector<std::string> outputs;
    for (size_t i = 0; i < kFormatCount; ++i)
        outputs.push_back(dir.File("out/s" + std::to_string(i) + ".mp3"));
    outputs[kFormatCount - 2] = dir.File("out/same.mp3");
    outputs[kFormatCount - 1] = dir.File("out/same (2).mp3");

    int previous = -1;
    for (size_t i = 0; i < kFormatCount; ++i) {
        SCOPED_TRACE("file " + std::to_string(i));
        const Format& f = kFormats[i];
        // The file's block: six lines together, the blocks in the order the files started.
        const int at = batch.Find("Source:  " + tasks[i].m_sourcePath + ".");
        ASSERT_GE(at, 2) << batch.Dump();
        EXPECT_GT(at, previous);
        previous = at;
        EXPECT_EQ(batch.log[at - 2].text, SEPARATOR);
        EXPECT_EQ(batch.log[at - 1].text, "Start a new converting task.");
        EXPECT_EQ(batch.log[at + 1].text, "Destination: " + outputs[i] + ".");
        EXPECT_EQ(batch.log[at + 2].text.rfind("Time elapsed ", 0), 0u) << batch.Dump();
        EXPECT_EQ(batch.log[at + 3].text, "Converting status: OK.");

        const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(outputs[i]);
        EXPECT_EQ(mp3.rate, static_cast<long>(f.destRate));
        EXPECT_EQ(mp3.channels, static_cast<int>(f.destChannels));
        EXPECT_EQ(mp3.infoTag, "Info");
        const double expected = static_cast<double>(specs[i].frames) * f.destRate / f.sourceRate;
        EXPECT_NEAR(static_cast<double>(mp3.frames), expected, 1.0);
        for (int ch = 0; ch < mp3.channels; ++ch) {
            const double level = fixtures::ToneLevelDb(mp3.pcm, mp3.channels, ch, mp3.rate, f.tone,
                                                       f.destRate / 4, f.destRate);
            EXPECT_NEAR(level, -6.0, 1.0) << "channel " << ch;
        }
    }
    // The batch's lines come last.
    ASSERT_GE(batch.log.size(), 2u);
    EXPECT_EQ(batch.log[batch.log.size() - 2].text, SEPARATOR);
    EXPECT_EQ(batch.log.back().text.rfind("Total time elapsed ", 0), 0u);
    // The batch counts every file's samples once.
    uint64_t total = 0;
    for (const auto& t : tasks)
        total += t.m_totalSamples;
    EXPECT_NEAR(static_cast<double>(batch.state->m_batchSamplesDone.load()),
                static_cast<double>(total), 8.0 * kFormatCount);
    EXPECT_EQ(batch.state->m_taskIndex.load(), static_cast<int>(kFormatCount));
    // The file block follows the files in the order they started, from the first one on.
    const std::vector<std::string> shownSources = batch.Texts(1092);
    ASSERT_FALSE(shownSources.empty());
    EXPECT_EQ(shownSources.front(), tasks[0].m_sourcePath);
    size_t next = 0;
    for (const auto& shown : shownSources) {
        while (next < tasks.size() && tasks[next].m_sourcePath != shown)
            ++next;
        EXPECT_LT(next, tasks.size()) << shown << " shown out of order";
        ++next;
    }
}

INSTANTIATE_TEST_SUITE_P(FilesAtOnce, ParallelBatch, testing::Values(2, 4),
                         [](const auto& info) { return std::to_string(info.param) + "AtOnce"; });

// One good long file, one that fails at once, two more good ones; two at a time.
struct FailureRun {
    explicit FailureRun(bool stopOnError) {
        SetEncoderModulePath({});
        OggStream longer;
        longer.frames = 44100 * 6;
        longer.tones = {Tone{440, -6, 0xFFFFFFFFu}};
        OggStream shorter = longer;
        shorter.frames = 44100;
        fixtures::WriteOgg(dir.File("long.ogg"), longer);
        fixtures::WriteOgg(dir.File("short.ogg"), shorter);
        fixtures::WriteTextFile(dir.File("text.ogg"), "not a sound at all\n");
        batch = std::make_unique<CStandInBatch>(
            std::vector<CConversionTask>{
                MakeTask(dir.File("long.ogg"), longer, dir.File("long.mp3"), 44100, 2),
                MakeTask(dir.File("text.ogg"), longer, dir.File("text.mp3"), 44100, 2),
                MakeTask(dir.File("short.ogg"), shorter, dir.File("a.mp3"), 44100, 2),
                MakeTask(dir.File("short.ogg"), shorter, dir.File("b.mp3"), 44100, 2)},
            2, stopOnError);
        batch->Run();
    }
    fixtures::TempDir dir;
    std::unique_ptr<CStandInBatch> batch;
};

TEST(ParallelFailures, AFailedFileStopsOnlyItself) {
    FailureRun run(false);
    CStandInBatch& batch = *run.batch;
    ASSERT_EQ(batch.done, 1) << batch.Dump();
    EXPECT_EQ(batch.state->m_filesFailed.load(), 1);
    EXPECT_EQ(batch.state->m_filesConverted.load(), 3);
    for (const char* name : {"long.mp3", "a.mp3", "b.mp3"})
        EXPECT_NO_THROW(fixtures::DecodeMp3(run.dir.File(name))) << name;
    EXPECT_NEAR(static_cast<double>(fixtures::DecodeMp3(run.dir.File("long.mp3")).frames),
                44100.0 * 6, 1.0);
    // The failed file's block follows the long file's, although it ended first.
    const int longOk = batch.Find("Converting status: OK.");
    const int invalid = batch.Find("Invalid ogg vorbis stream");
    ASSERT_GE(longOk, 0) << batch.Dump();
    EXPECT_GT(invalid, longOk) << batch.Dump();
    EXPECT_EQ(batch.log[invalid + 1].text, "Converting status: ERROR.");
    ASSERT_GE(batch.log.size(), 2u);
    EXPECT_EQ(batch.log[batch.log.size() - 2].text, "3 of 4 files converted, 1 failed.");
    EXPECT_EQ(batch.log.back().text,
              "Failed: " + run.dir.File("text.ogg") + ": Invalid ogg vorbis stream");
    EXPECT_EQ(batch.log.back().kind, LOG_ERROR);
}

TEST(ParallelFailures, StopOnErrorFinishesTheFilesInFlightAndStartsNoMore) {
    FailureRun run(true);
    CStandInBatch& batch = *run.batch;
    EXPECT_EQ(batch.done, 0) << batch.Dump();
    EXPECT_EQ(batch.state->m_running.load(), 0);
    // The file in flight was finished properly, whole.
    EXPECT_NEAR(static_cast<double>(fixtures::DecodeMp3(run.dir.File("long.mp3")).frames),
                44100.0 * 6, 1.0);
    EXPECT_FALSE(fs::exists(run.dir.File("a.mp3")));
    EXPECT_FALSE(fs::exists(run.dir.File("b.mp3")));
    EXPECT_EQ(batch.Find("Total time elapsed"), -1);
    ASSERT_GE(batch.log.size(), 2u);
    EXPECT_EQ(batch.log[batch.log.size() - 2].text,
              "1 of 4 files converted, 1 failed, 2 not started.");
}

// A stand-in encoder whose streams at 12000 Hz hang while a file exists: the first batch's
// encode thread hangs past the Cancel's wait and wakes while the next batch runs.
// The encoder module that blocks every 12000 Hz stream while the file `hold` exists, as a hung
// disk would; in force for the object's lifetime.
struct HeldEncoder {
    explicit HeldEncoder(const fixtures::TempDir& dir) : hold(dir.File("hold")) {
        fixtures::WriteTextFile(hold, "hold\n");
        ::setenv("QUILLON_STANDIN_HOLD", hold.c_str(), 1);
        char self[4096];
        const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        const std::string exe(self, n > 0 ? static_cast<size_t>(n) : 0);
        SetEncoderModulePath(exe.substr(0, exe.rfind('/')) + "/standin_hold.so");
    }
    ~HeldEncoder() {
        fs::remove(hold);
        SetEncoderModulePath({});
        ::unsetenv("QUILLON_STANDIN_HOLD");
    }
    // A source the module holds.
    static OggStream Slow() {
        OggStream slow;
        slow.rate = 12000;
        slow.channels = 1;
        slow.frames = 12000 * 4;
        slow.tones = {Tone{300, -6, 0xFFFFFFFFu}};
        return slow;
    }
    const std::string hold;
};

// Two at once really means side by side: a later file is converted in full while the first one
// is held in its encoder.
TEST(ParallelBatch, ALaterFileConvertsWhileTheFirstIsHeld) {
    fixtures::TempDir dir;
    HeldEncoder held(dir);
    const OggStream slow = HeldEncoder::Slow();
    fixtures::WriteOgg(dir.File("slow.ogg"), slow);
    OggStream quick;
    quick.frames = 44100;
    quick.tones = {Tone{1000, -6, 0xFFFFFFFFu}};
    fixtures::WriteOgg(dir.File("quick.ogg"), quick);

    CStandInBatch batch({MakeTask(dir.File("slow.ogg"), slow, dir.File("slow.mp3"), 12000, 1),
                         MakeTask(dir.File("quick.ogg"), quick, dir.File("quick.mp3"), 44100, 2)},
                        2);
    batch.state->m_stageStallMs = 600000;
    batch.Start();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (batch.state->m_filesConverted.load() == 0 && std::chrono::steady_clock::now() < giveUp)
        batch.queue.WaitAndProcess(5);
    ASSERT_EQ(batch.state->m_filesConverted.load(), 1);
    EXPECT_TRUE(fs::exists(held.hold + ".held"));
    // The held file's block still leads: the later file's lines wait for it.
    EXPECT_EQ(batch.Find("Source:  " + dir.File("quick.ogg") + "."), -1) << batch.Dump();
    fs::remove(held.hold);
    ASSERT_TRUE(batch.Pump()) << "the batch did not end";
    EXPECT_EQ(batch.state->m_filesConverted.load(), 2) << batch.Dump();
    EXPECT_LT(batch.Find("Source:  " + dir.File("slow.ogg") + "."),
              batch.Find("Source:  " + dir.File("quick.ogg") + "."));
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(dir.File("quick.mp3"));
    EXPECT_NEAR(static_cast<double>(mp3.frames), 44100.0, 1.0);
    EXPECT_EQ(fixtures::DecodeMp3(dir.File("slow.mp3")).frames, 12000u * 4);
}

TEST(ParallelLifetime, AThreadThatOutlivesItsBatchTouchesNothingOfTheNext) {
    fixtures::TempDir dir;
    HeldEncoder held(dir);
    const std::string& hold = held.hold;
    const OggStream slow = HeldEncoder::Slow();
    fixtures::WriteOgg(dir.File("slow.ogg"), slow);
    OggStream next;
    next.frames = 44100 * 3;
    next.tones = {Tone{1000, -6, 0xFFFFFFFFu}};
    fixtures::WriteOgg(dir.File("next.ogg"), next);

    std::shared_ptr<CThread> firstWorker;
    {
        CStandInBatch first({MakeTask(dir.File("slow.ogg"), slow, dir.File("slow.mp3"), 12000, 1)},
                            1);
        first.state->m_stageStallMs = 600000;  // the stage is waited for, not given up on
        first.Start();
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (!fs::exists(hold + ".held") && std::chrono::steady_clock::now() < giveUp)
            first.queue.WaitAndProcess(5);
        ASSERT_TRUE(fs::exists(hold + ".held"));
        // The confirmed Cancel, and its bounded wait, which the hung stage outlasts.
        first.state->m_running = 0;
        EXPECT_FALSE(first.Pump(std::chrono::milliseconds(1000)));
        firstWorker = first.worker;
        first.state->m_window->Close();
    }  // the first window and everything the test held of its batch are gone

    CStandInBatch second({MakeTask(dir.File("next.ogg"), next, dir.File("next.mp3"), 44100, 2)}, 1);
    bool released = false;
    second.onMessage = [&](Message& m) {
        if (m.id == WM_CONV_PROGRESS && !released) {
            released = true;
            fs::remove(hold);  // the hung stage wakes while this batch converts
        }
    };
    second.Run();
    fs::remove(hold);
    ASSERT_TRUE(released);
    ASSERT_EQ(second.done, 1) << second.Dump();
    EXPECT_EQ(second.Errors(), 0) << second.Dump();
    for (const auto& line : second.log)
        EXPECT_EQ(line.text.find("slow"), std::string::npos) << line.text;
    for (const auto& p : second.progress)
        EXPECT_EQ(p.taskIndex, 0);
    // The second batch counts its own samples only, and its file is whole.
    EXPECT_EQ(second.state->m_batchSamplesDone.load(), 44100u * 3 * 2);
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(dir.File("next.mp3"));
    EXPECT_NEAR(static_cast<double>(mp3.frames), 44100.0 * 3, 1.0);
    EXPECT_NEAR(fixtures::ToneLevelDb(mp3.pcm, 2, 0, 44100, 1000, 11025, 44100), -6.0, 1.0);

    // The first batch's threads end on their own and leave their own file well-formed.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!firstWorker->HasEnded() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(firstWorker->HasEnded());
    const fixtures::Mp3Info slowMp3 = fixtures::DecodeMp3(dir.File("slow.mp3"));
    EXPECT_EQ(slowMp3.rate, 12000);
    EXPECT_LT(slowMp3.frames, 12000u * 4);
}

}  // namespace
