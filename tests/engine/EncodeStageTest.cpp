// The encode stage on its own: a ring filled with a generated tone, the stage on its thread,
// the log lines and progress reports collected on this thread, the MP3 file checked with
// libmpg123.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <thread>

#include "app/core/Settings.h"
#include "batch/ConversionState.h"
#include "engine/EncoderModule.h"
#include "engine/Pipeline.h"
#include "engine/StageThread.h"
#include "platform/MessageBox.h"
#include "platform/Tick.h"
#include "tests/engine/StandInEncoder.h"
#include "tests/fixtures/Mp3Check.h"
#include "tests/fixtures/OggFixtures.h"
#include "tests/fixtures/Signal.h"
#include "tests/fixtures/StandInWindow.h"
#include "tests/fixtures/TagTable.h"
#include "tests/fixtures/TempDir.h"

namespace {

using fixtures::Tone;

// Longest a stage may take before the test gives up on it: a hang guard, not a time limit.
constexpr auto HANG_GUARD = std::chrono::seconds(120);
// How far a tagged MP3 (delay and padding trimmed by the decoder) may differ in length.
constexpr uint64_t LENGTH_SLACK = 1;

std::string ExecutableFolder() {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string path(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    return path.substr(0, path.rfind('/'));
}

std::string StandIn(const char* name) {
    return ExecutableFolder() + "/" + name + ".so";
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

off_t SizeOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Box {
    std::string text;
    MessageBoxIcon icon;
};

// One encode stage with everything around it: the shared state whose window is a port on this
// thread's queue, a task reading a ring of its own, and the output in a temporary folder.
class StageRun : public CStandInWindow {
public:
    StageRun(uint32_t rate, uint32_t channels, uint32_t ringSlots = RING_SLOTS) : ring(ringSlots) {
        state->m_window = port;
        state->ResetCounters();
        state->m_running.store(1);
        task->m_destPath = dir.File("out.mp3");
        task->m_destType = 2;
        task->m_destRate = rate;
        task->m_destChannels = channels;
        task->m_needsProcessing = 1;
        task->m_encoderRing = &ring;
        SetMessageBoxHook([this](const std::string& text, MessageBoxIcon icon) {
            std::lock_guard lock(boxMutex);
            boxes.push_back({text, icon});
        });
    }

    ~StageRun() {
        // A failed assertion may leave the stage running: stop it before its ring goes.
        state->m_running.store(0);
        state->m_paused.store(0);
        if (auto thread = pipeline->m_encodeThread.Get())
            Finish();
        SetMessageBoxHook({});
    }

    // The whole signal goes into the ring before the stage starts; the producers have ended.
    void Prefill(const std::vector<int32_t>& samples, uint64_t batchTotal = 0) {
        ASSERT_LT(samples.size(), ring.Size());
        ASSERT_EQ(ring.Write(samples.data(), static_cast<uint32_t>(samples.size())),
                  samples.size());
        task->m_totalSamples = samples.size();
        state->m_batchSamplesTotal = batchTotal ? batchTotal : samples.size();
    }

    void Start() {
        StartStageThread(*task, &CConversionTask::RunEncoder, pipeline->m_encodeThread);
    }

    // Delivers messages until cond holds; false when the hang guard ran out first.
    template <typename Cond>
    bool PumpUntil(Cond cond) {
        const auto deadline = std::chrono::steady_clock::now() + HANG_GUARD;
        while (!cond()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            queue.WaitAndProcess(2);
        }
        return true;
    }

    void Pump(std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end)
            queue.WaitAndProcess(2);
    }

    // Waits for the stage to end, delivering its messages meanwhile.
    void Finish() {
        auto thread = pipeline->m_encodeThread.Get();
        ASSERT_TRUE(thread);
        const auto deadline = std::chrono::steady_clock::now() + HANG_GUARD;
        while (!thread->WaitFor(5)) {
            queue.ProcessAll();
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the encode stage hangs";
        }
        queue.ProcessAll();
    }

    void Run() {
        Start();
        Finish();
    }

    fixtures::TempDir dir;
    std::shared_ptr<CConversionState> state = std::make_shared<CConversionState>();
    SampleRing ring;
    std::shared_ptr<CPipeline> pipeline = CPipeline::Create(CConversionTask{}, 0, state);
    CConversionTask* task = &pipeline->Task();
    std::mutex boxMutex;
    std::vector<Box> boxes;
};

class EncodeStageTest : public ::testing::Test {
protected:
    void SetUp() override { SetEncoderModulePath({}); }
    void TearDown() override { SetEncoderModulePath({}); }
};

// The tones a run plays: 440 Hz at -6 dBFS left (or mono), 1000 Hz at -12 dBFS right.
std::vector<Tone> TestTones(uint32_t channels) {
    if (channels == 1)
        return {{440.0, -6.0, 0b01}};
    return {{440.0, -6.0, 0b01}, {1000.0, -12.0, 0b10}};
}

std::vector<int32_t> TestSignal(uint32_t rate, uint32_t channels, uint64_t frames) {
    return fixtures::ToInt32(fixtures::RenderTones(rate, channels, frames, TestTones(channels)));
}

// ---------------------------------------------------------------------------------------------

struct FormatCase {
    short lameBits;
    uint32_t rate;
    uint32_t channels;
    int kbps;                     // what the file must carry
    double version;               // MPEG version the rate implies
    bool tagged;                  // whether a frame at that bit rate can hold the Info tag
    double levelTolerance = 1.0;  // dB
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << "bits " << c.lameBits << ", " << c.rate << " Hz, " << c.channels << " ch";
}

class EncodeFormats : public EncodeStageTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(EncodeFormats, ConstantBitrateTaggedFileWithTheTonesKept) {
    const FormatCase c = GetParam();
    StageRun run(c.rate, c.channels);
    run.task->m_bitrate = g_bitrateTable[c.lameBits];
    const uint64_t frames = c.rate * 3 / 2 + 123;
    run.Prefill(TestSignal(c.rate, c.channels, frames), 2 * frames * c.channels);
    run.Run();

    // A setting the MPEG version does not have: one blue line says which rate is used.
    const int chosen = g_bitrateTable[c.lameBits];
    if (chosen == c.kbps) {
        EXPECT_TRUE(run.log.empty()) << run.log.front().text;
    } else {
        ASSERT_EQ(run.log.size(), 1u) << run.log.front().text;
        EXPECT_EQ(run.log[0].kind, LOG_INFO);
        EXPECT_EQ(run.log[0].text, std::to_string(chosen) + " kbit/s is not possible at " +
                                       std::to_string(c.rate) + " Hz; " + std::to_string(c.kbps) +
                                       " kbit/s used");
    }
    EXPECT_EQ(run.pipeline->HasFailed(), false);
    EXPECT_EQ(run.task->m_encoding.load(), 0);
    EXPECT_EQ(run.pipeline->SamplesDone(), frames * c.channels);
    EXPECT_EQ(run.state->m_batchSamplesDone.load(), frames * c.channels);
    EXPECT_NEAR(run.pipeline->SecondsDone(), static_cast<double>(frames) / c.rate, 1e-3);
    EXPECT_NEAR(run.state->m_batchSecondsDone.load(), static_cast<double>(frames) / c.rate, 1e-3);
    ASSERT_FALSE(run.progress.empty());
    EXPECT_FLOAT_EQ(run.progress.back().filePercent, 100.0f);
    EXPECT_FLOAT_EQ(run.progress.back().batchPercent, 50.0f);

    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(run.task->m_destPath);
    EXPECT_EQ(mp3.rate, static_cast<long>(c.rate));
    EXPECT_EQ(mp3.channels, static_cast<int>(c.channels));
    EXPECT_EQ(mp3.layer, 3);
    EXPECT_EQ(mp3.mpegVersion, c.version);
    EXPECT_TRUE(mp3.IsConstantBitrate(c.kbps))
        << "first frame " << (mp3.frameBitrates.empty() ? 0 : mp3.frameBitrates.front());
    if (c.tagged) {
        EXPECT_EQ(mp3.infoTag, "Info");
        EXPECT_EQ(mp3.infoTagFrames, static_cast<long>(mp3.frameBitrates.size()));
    } else {
        EXPECT_EQ(mp3.infoTag, "");
    }
    EXPECT_NEAR(static_cast<double>(mp3.frames), static_cast<double>(frames),
                c.tagged ? LENGTH_SLACK : 1152 + 1105);

    // Away from the edges, each tone in its channel at its level, and not in the other.
    const size_t from = c.rate / 4, count = c.rate;
    EXPECT_NEAR(fixtures::ToneLevelDb(mp3.pcm, c.channels, 0, c.rate, 440.0, from, count), -6.0,
                c.levelTolerance);
    if (c.channels == 2) {
        EXPECT_NEAR(fixtures::ToneLevelDb(mp3.pcm, 2, 1, c.rate, 1000.0, from, count), -12.0,
                    c.levelTolerance);
        EXPECT_LT(fixtures::ToneLevelDb(mp3.pcm, 2, 1, c.rate, 440.0, from, count), -30.0);
        EXPECT_LT(fixtures::ToneLevelDb(mp3.pcm, 2, 0, c.rate, 1000.0, from, count), -30.0);
    }
}

// At the lowest bit rates a frame is too small to hold the Info tag; the encoder then writes
// none.
INSTANTIATE_TEST_SUITE_P(
    Settings, EncodeFormats,
    ::testing::Values(
        FormatCase{0, 8000, 1, 8, 2.5, false},
        // MPEG-2.5 stops at 64 kbit/s: 128 and 320 move there.
        FormatCase{11, 8000, 2, 64, 2.5, true}, FormatCase{16, 8000, 1, 64, 2.5, true},
        // 4 kbit/s a channel cannot keep a quiet tone within 1 dB.
        FormatCase{0, 22050, 2, 8, 2.0, false, 3.0}, FormatCase{11, 22050, 1, 128, 2.0, true},
        // MPEG-2 stops at 160 kbit/s.
        FormatCase{16, 22050, 2, 160, 2.0, true},
        // MPEG-1 starts at 32 kbit/s.
        FormatCase{0, 44100, 1, 32, 1.0, false}, FormatCase{0, 44100, 2, 32, 1.0, false},
        FormatCase{11, 44100, 2, 128, 1.0, true}, FormatCase{16, 44100, 2, 320, 1.0, true},
        FormatCase{16, 44100, 1, 320, 1.0, true}),
    [](const auto& info) {
        // The printed case, letters and digits only.
        std::string name = ::testing::PrintToString(info.param);
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST_F(EncodeStageTest, ProducerFeedingThroughASmallRing) {
    // The ring holds less than a second; the stage waits while the producer still runs and
    // takes the remainder as its last chunk once the producer has ended.
    const uint32_t rate = 44100, channels = 2;
    const uint64_t frames = 5 * rate + 777;
    const auto signal = TestSignal(rate, channels, frames);
    StageRun run(rate, channels, 8192);
    run.task->m_totalSamples = signal.size();
    run.state->m_batchSamplesTotal = signal.size();
    run.task->m_processing.store(1);
    std::thread producer([&] {
        size_t done = 0;
        while (done < signal.size() && run.pipeline->IsRunning()) {
            const size_t n = std::min<size_t>(1000, signal.size() - done);
            if (run.ring.FreeSpace() < n) {
                Sleep(1);
                continue;
            }
            done += run.ring.Write(signal.data() + done, static_cast<uint32_t>(n));
        }
        run.task->m_processing.store(0, std::memory_order_release);
    });
    run.Run();
    producer.join();
    EXPECT_TRUE(run.log.empty());
    EXPECT_EQ(run.pipeline->SamplesDone(), signal.size());
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(run.task->m_destPath);
    EXPECT_NEAR(static_cast<double>(mp3.frames), static_cast<double>(frames), LENGTH_SLACK);
    EXPECT_NEAR(fixtures::ToneLevelDb(mp3.pcm, 2, 1, rate, 1000.0, rate, 3 * rate), -12.0, 1.0);
}

TEST_F(EncodeStageTest, ReturnsOneAfterTheEndSequenceAndZeroWhenTheLibraryIsUnusable) {
    auto runDirect = [](StageRun& run) {
        int result = -1;
        auto thread = CThread::Create([&] { return result = run.task->RunEncoder(); });
        run.pipeline->m_encodeThread.Set(thread);
        thread->Resume();
        run.Finish();
        return result;
    };
    {
        StageRun run(44100, 2);
        run.Prefill(TestSignal(44100, 2, 1000));
        EXPECT_EQ(runDirect(run), 1);
    }
    {
        StageRun run(44100, 2);
        run.Prefill(TestSignal(44100, 2, 1000));
        run.task->m_destPath = run.dir.File("missing/out.mp3");
        EXPECT_EQ(runDirect(run), 1);
    }
    {
        SetEncoderModulePath(StandIn("missing"));
        StageRun run(44100, 2);
        EXPECT_EQ(runDirect(run), 0);
    }
    {
        // Three channels cannot be encoded: the catch-all line, no file.
        SetEncoderModulePath({});
        StageRun run(44100, 3);
        run.Prefill(TestSignal(44100, 3, 999));
        EXPECT_EQ(runDirect(run), 0);
        EXPECT_EQ(run.ErrorLines(), std::vector<std::string>{"An error occurred while encoding " +
                                                             run.task->m_destPath});
        EXPECT_FALSE(Exists(run.task->m_destPath));
        EXPECT_EQ(run.task->m_encoding.load(), 0);
    }
}

// ---------------------------------------------------------------------------------------------

enum class Output { None, Empty, TaggedMp3 };
enum class Dest { Fresh, FolderIsAFile, NameTooLong };

struct FailureCase {
    const char* name;
    const char* module;  // stand-in name; empty: the real module
    Dest dest;
    std::string line;  // "%s" stands for the destination path
    const char* box;   // expected message box, or null
    Output output;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class EncodeFailures : public EncodeStageTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(EncodeFailures, OneRedLineAndTheBatchStops) {
    const FailureCase c = GetParam();
    if (*c.module)
        SetEncoderModulePath(StandIn(c.module));
    StageRun run(44100, 2);
    const auto signal = TestSignal(44100, 2, 44100);
    run.Prefill(signal);
    if (c.dest == Dest::FolderIsAFile) {
        fixtures::WriteTextFile(run.dir.File("folder"), "a file where a folder should be");
        run.task->m_destPath = run.dir.File("folder/out.mp3");
    }
    if (c.dest == Dest::NameTooLong)
        run.task->m_destPath = run.dir.File(std::string(252, 'n') + ".mp3");
    run.Run();

    std::string line = c.line;
    if (auto at = line.find("%s"); at != std::string::npos)
        line.replace(at, 2, run.task->m_destPath);
    ASSERT_EQ(run.log.size(), 1u);
    EXPECT_EQ(run.log[0].kind, LOG_ERROR);
    EXPECT_EQ(run.log[0].text, line);
    EXPECT_EQ(run.pipeline->HasFailed(), true);
    EXPECT_EQ(run.task->m_encoding.load(), 0);
    if (c.box) {
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_EQ(run.boxes[0].text, c.box);
        EXPECT_EQ(run.boxes[0].icon, MessageBoxIcon::Error);
        EXPECT_TRUE(run.progress.empty());  // no final report either
    } else {
        EXPECT_TRUE(run.boxes.empty());
        ASSERT_FALSE(run.progress.empty());  // the final, synchronous report
    }

    switch (c.output) {
        case Output::None:
            EXPECT_FALSE(Exists(run.task->m_destPath));
            break;
        case Output::Empty:
            EXPECT_EQ(SizeOf(run.task->m_destPath), 0);
            break;
        case Output::TaggedMp3: {
            const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(run.task->m_destPath);
            EXPECT_EQ(mp3.infoTag, "Info");
            EXPECT_GT(mp3.frames, 0u);
            EXPECT_TRUE(mp3.IsConstantBitrate(128));
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, EncodeFailures,
    ::testing::Values(
        FailureCase{"MissingLibrary", "missing", Dest::Fresh, "Error loading lame_enc.dll",
                    "Error Loading Lame_enc.dll", Output::None},
        FailureCase{"MissingEntryPoint", "standin_no_encode", Dest::Fresh,
                    "Unable to get LAME interfaces", "Unable to Get LAME Interfaces", Output::None},
        FailureCase{"FolderIsAFile", "", Dest::FolderIsAFile,
                    "Error creating file %s (Not a directory)", nullptr, Output::None},
        FailureCase{"NameTooLong", "", Dest::NameTooLong,
                    "Error creating file %s (File name too long)", nullptr, Output::None},
        FailureCase{"InitFails", "standin_fail_init", Dest::Fresh,
                    "Error opening encoding stream (" + std::to_string(STANDIN_INIT_ERROR) + ")",
                    nullptr, Output::Empty},
        FailureCase{"EncodeFails", "standin_fail_encode", Dest::Fresh,
                    "beEncodeChunk() failed (" + std::to_string(STANDIN_ENCODE_ERROR) + ")",
                    nullptr, Output::TaggedMp3},
        FailureCase{"DeinitFails", "standin_fail_deinit", Dest::Fresh,
                    "beExitStream failed (" + std::to_string(STANDIN_DEINIT_ERROR) + ")", nullptr,
                    Output::TaggedMp3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EncodeStageTest, EncodeFailureEndsAfterThatPassWithWhatCameBefore) {
    SetEncoderModulePath(StandIn("standin_fail_encode"));
    StageRun run(44100, 2);
    run.Prefill(TestSignal(44100, 2, 44100));
    run.Run();
    // Three chunks were taken from the ring; the third was refused and so is not in the file.
    EXPECT_EQ(run.pipeline->SamplesDone(), 3u * 2304);
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(run.task->m_destPath);
    EXPECT_NEAR(static_cast<double>(mp3.frames), 2.0 * 1152, LENGTH_SLACK);
}

TEST_F(EncodeStageTest, AnOutputThatAppearedMeanwhileKeepsItsBytes) {
    StageRun run(44100, 2);
    run.Prefill(TestSignal(44100, 2, 44100));
    const std::string picked = run.task->m_destPath;
    const std::string second = MakeUniqueName(picked);
    fixtures::WriteTextFile(picked, "keep me");
    fixtures::WriteTextFile(second, "and me");
    run.Run();
    EXPECT_EQ(ReadFile(picked), "keep me");
    EXPECT_EQ(ReadFile(second), "and me");
    const std::string taken = run.task->m_destPath;
    ASSERT_EQ(picked.substr(picked.size() - 4), ".mp3");
    EXPECT_EQ(taken, picked.substr(0, picked.size() - 4) + " (3).mp3");
    EXPECT_TRUE(run.ErrorLines().empty());
    ASSERT_EQ(run.log.size(), 1u);
    EXPECT_EQ(run.log[0].text, "Destination: " + taken + ".");
    EXPECT_EQ(run.log[0].kind, LOG_INFO);
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(taken);
    EXPECT_EQ(mp3.infoTag, "Info");
}

// After ten hours of audio the batch's seconds still match the sample counters: each chunk adds
// the difference of two values derived from the file's counter, so nothing drifts, where a float
// sum of chunk lengths would be off by seconds.
TEST_F(EncodeStageTest, SecondsFollowTheSampleCountersAfterHours) {
    const uint64_t tenHours = 44100ull * 2 * 36000;
    StageRun run(44100, 2);
    run.state->m_batchSamplesDone = tenHours;
    run.state->m_batchSecondsDone = 36000.0;
    const uint64_t frames = 44100 * 3 / 2;
    run.Prefill(TestSignal(44100, 2, frames));
    run.Run();
    const double seconds = static_cast<double>(frames) / 44100;
    EXPECT_NEAR(run.state->m_batchSecondsDone.load(), 36000.0 + seconds, 1e-9);
    EXPECT_EQ(run.state->m_batchSamplesDone.load(), tenHours + frames * 2);
    EXPECT_EQ(run.pipeline->SecondsDone(), static_cast<float>(seconds));
}

// The batch picked "out (2).mp3" because out.mp3 was taken; when that one appears too, the next
// number follows from the plain name, not from the numbered one.
TEST_F(EncodeStageTest, ANumberedNameTakenMeanwhileGetsTheNextNumber) {
    StageRun run(44100, 2);
    run.Prefill(TestSignal(44100, 2, 4410));
    const std::string plain = run.task->m_destPath;
    fixtures::WriteTextFile(plain, "first");
    run.task->m_plainDestPath = plain;
    run.task->m_destPath = MakeUniqueName(plain);
    fixtures::WriteTextFile(run.task->m_destPath, "second");
    run.Run();
    EXPECT_EQ(run.task->m_destPath, plain.substr(0, plain.size() - 4) + " (3).mp3");
    EXPECT_NO_THROW(fixtures::DecodeMp3(run.task->m_destPath));
}

TEST_F(EncodeStageTest, WithoutInfoTagEntryTheVbrHeaderCallTagsTheFile) {
    SetEncoderModulePath(StandIn("standin_no_infotag"));
    StageRun run(22050, 1);
    run.Prefill(TestSignal(22050, 1, 22050));
    run.Run();
    EXPECT_TRUE(run.log.empty());
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(run.task->m_destPath);
    EXPECT_EQ(mp3.infoTag, "Info");
    // The final tag, not the empty reserved frame: it counts the frames.
    EXPECT_EQ(mp3.infoTagFrames, static_cast<long>(mp3.frameBitrates.size()));
    EXPECT_NEAR(static_cast<double>(mp3.frames), 22050.0, LENGTH_SLACK);
}

// Lowers the file size limit for this process, ignoring the signal that would kill it, and
// puts both back.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        ::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    sighandler_t m_oldHandler = SIG_DFL;
};

TEST_F(EncodeStageTest, ShortWriteIsReportedOnceAndTheFileStillTagged) {
    StageRun run(44100, 2);
    run.Prefill(TestSignal(44100, 2, 5 * 44100));  // about 80 kB at 128 kbit/s
    {
        FileSizeLimit limit(20000);
        run.Run();
    }
    EXPECT_EQ(run.ErrorLines(),
              std::vector<std::string>{"Output file write error (File too large)"});
    EXPECT_EQ(run.pipeline->HasFailed(), true);
    EXPECT_EQ(SizeOf(run.task->m_destPath), 20000);
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(run.task->m_destPath);
    EXPECT_EQ(mp3.infoTag, "Info");
}

TEST_F(EncodeStageTest, CancelLeavesATaggedFileWithWhatWasEncodedAndNoErrorLine) {
    const uint32_t rate = 44100, channels = 2;
    StageRun run(rate, channels);
    const auto signal = TestSignal(rate, channels, 2 * rate);
    run.Prefill(signal);
    run.task->m_totalSamples = 10 * signal.size();  // the decoder is still busy
    run.task->m_decoding.store(1);
    run.Start();
    // All that is there gets encoded; the stage then waits for more.
    ASSERT_TRUE(run.PumpUntil([&] { return run.ring.Available(0) < 2304; }));
    run.state->m_running.store(0);
    run.Finish();

    EXPECT_TRUE(run.log.empty());
    const uint64_t done = run.pipeline->SamplesDone();
    EXPECT_EQ(done, signal.size() - run.ring.Available(0));
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(run.task->m_destPath);
    EXPECT_EQ(mp3.infoTag, "Info");
    EXPECT_EQ(mp3.infoTagFrames, static_cast<long>(mp3.frameBitrates.size()));
    EXPECT_NEAR(static_cast<double>(mp3.frames), static_cast<double>(done / channels),
                LENGTH_SLACK);
    ASSERT_FALSE(run.progress.empty());
    EXPECT_NEAR(run.progress.back().filePercent, 100.0 * done / run.task->m_totalSamples, 1e-3);
}

TEST_F(EncodeStageTest, PauseHoldsTheCountersAndResumeGoesOnFromTheSamePlace) {
    const uint32_t rate = 22050, channels = 2;
    StageRun run(rate, channels);
    const auto signal = TestSignal(rate, channels, 4 * rate);
    const size_t half = signal.size() / 2;
    ASSERT_EQ(run.ring.Write(signal.data(), static_cast<uint32_t>(half)), half);
    run.task->m_totalSamples = signal.size();
    run.state->m_batchSamplesTotal = signal.size();
    run.task->m_decoding.store(1);
    run.Start();
    ASSERT_TRUE(run.PumpUntil([&] { return run.ring.Available(0) < 1152; }));

    run.state->m_paused.store(1);
    // Unpaused, the waiting stage reports every 100 ms; silence means it has seen the pause.
    size_t seen = run.progress.size();
    auto quietSince = std::chrono::steady_clock::now();
    ASSERT_TRUE(run.PumpUntil([&] {
        if (run.progress.size() != seen) {
            seen = run.progress.size();
            quietSince = std::chrono::steady_clock::now();
        }
        return std::chrono::steady_clock::now() - quietSince > std::chrono::milliseconds(500);
    }));
    const uint64_t doneAtPause = run.pipeline->SamplesDone();
    const float secondsAtPause = run.pipeline->SecondsDone();
    const uint32_t leftInRing = run.ring.Available(0);
    const size_t reportsAtPause = run.progress.size();

    ASSERT_EQ(run.ring.Write(signal.data() + half, static_cast<uint32_t>(signal.size() - half)),
              signal.size() - half);
    run.Pump(std::chrono::milliseconds(600));
    EXPECT_EQ(run.pipeline->SamplesDone(), doneAtPause);
    EXPECT_EQ(run.pipeline->SecondsDone(), secondsAtPause);
    EXPECT_EQ(run.ring.Available(0), leftInRing + signal.size() - half);
    EXPECT_EQ(run.progress.size(), reportsAtPause);

    run.state->m_paused.store(0);
    run.task->m_decoding.store(0, std::memory_order_release);
    run.Finish();
    EXPECT_TRUE(run.log.empty());
    EXPECT_EQ(run.pipeline->SamplesDone(), signal.size());
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(run.task->m_destPath);
    EXPECT_NEAR(static_cast<double>(mp3.frames), 4.0 * rate, LENGTH_SLACK);
    // Both halves are there, back to back: the tone runs on at its level across the pause.
    EXPECT_NEAR(fixtures::ToneLevelDb(mp3.pcm, 2, 0, rate, 440.0, rate, 2 * rate), -6.0, 1.0);
}

// ---------------------------------------------------------------------------------------------
// The source's tag, written ahead of the audio.

struct TagCase {
    const char* label;
    bool sourceExists;
    rlim_t sizeLimit;  // 0: none
    std::vector<std::string> errors;
    std::vector<std::string> notes;
    bool tagged;
};

class EncodeTags : public EncodeStageTest, public ::testing::WithParamInterface<TagCase> {};

TEST_P(EncodeTags, TagComesFirstAndNeverStopsTheConversion) {
    const TagCase& c = GetParam();
    StageRun run(44100, 2);
    run.task->m_id3Version = 4;
    fixtures::OggStream source;
    source.frames = 4410;
    source.comments = {
        {"TITLE", "Tagged"},
        {"METADATA_BLOCK_PICTURE",
         fixtures::PictureComment({3, "image/png", "", fixtures::FakeImage("png", 6000)})}};
    run.task->m_sourcePath = run.dir.File(c.sourceExists ? "source.ogg" : "missing.ogg");
    if (c.sourceExists)
        fixtures::WriteOgg(run.task->m_sourcePath, source);
    run.Prefill(TestSignal(44100, 2, 44100));
    if (c.sizeLimit) {
        FileSizeLimit limit(c.sizeLimit);
        run.Run();
    } else {
        run.Run();
    }

    EXPECT_EQ(run.ErrorLines(), c.errors);
    std::vector<std::string> notes;
    for (const auto& line : run.log) {
        if (line.kind == LOG_INFO)
            notes.push_back(line.text);
    }
    EXPECT_EQ(notes, c.notes);
    EXPECT_EQ(run.pipeline->HasFailed(), !c.errors.empty());
    if (c.sizeLimit) {
        // Nothing was written past the failed write; the audio never started.
        EXPECT_EQ(SizeOf(run.task->m_destPath), static_cast<off_t>(c.sizeLimit));
        return;
    }
    const size_t tagSize = fixtures::Id3v2Size(run.task->m_destPath);
    if (c.tagged)
        EXPECT_GT(tagSize, 6000u);
    else
        EXPECT_EQ(tagSize, 0u);
    const fixtures::Mp3Info mp3 = fixtures::DecodeMp3(run.task->m_destPath);
    EXPECT_EQ(mp3.infoTag, "Info");
    EXPECT_EQ(mp3.frames, 44100u);
    EXPECT_EQ(fixtures::ReadInfoSizes(run.task->m_destPath).xingBytes,
              SizeOf(run.task->m_destPath) - static_cast<off_t>(tagSize));
}

INSTANTIATE_TEST_SUITE_P(
    Tags, EncodeTags,
    testing::Values(TagCase{"Written", true, 0, {}, {}, true},
                    TagCase{"SourceWithoutReadableTags",
                            false,
                            0,
                            {},
                            {"Tags left out: the source's comments cannot be read"},
                            false},
                    // The disk fills up within the tag: one error line, as for audio.
                    TagCase{"ShortWriteOfTheTag",
                            true,
                            1000,
                            {"Output file write error (File too large)"},
                            {},
                            false}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
