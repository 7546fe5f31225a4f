// The decode and processing stages on their own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cmath>
#include <future>
#include <limits>
#include <thread>

#include "batch/ConversionState.h"
#include "engine/ConversionTask.h"
#include "engine/DecodeStage.h"
#include "engine/Engine.h"
#include "engine/ProcessStage.h"
#include "tests/fixtures/OggFixtures.h"
#include "tests/fixtures/StandInWindow.h"
#include "tests/fixtures/TempDir.h"

namespace {

struct SampleCase {
    float value;
    int32_t expected;
};

class FloatToSampleTest : public testing::TestWithParam<SampleCase> {};

TEST_P(FloatToSampleTest, ConvertsOneDecodedValue) {
    EXPECT_EQ(FloatToSample32(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FloatToSampleTest,
    testing::Values(SampleCase{1.0f, 2147483647}, SampleCase{-1.0f, INT32_MIN},
                    SampleCase{0.5f, 1073741824}, SampleCase{0.001f, 2147484},
                    SampleCase{2.0f, 2147483647}, SampleCase{-3.5f, INT32_MIN}, SampleCase{0.0f, 0},
                    SampleCase{std::numeric_limits<float>::quiet_NaN(), INT32_MIN},
                    SampleCase{std::numeric_limits<float>::infinity(), 2147483647},
                    // 2^-32 is half a step: halfway rounds to even.
                    SampleCase{std::ldexp(1.0f, -32), 0}, SampleCase{std::ldexp(3.0f, -32), 2}));

TEST(SampleMask, KeepsSixteenBits) {
    EXPECT_EQ(static_cast<uint32_t>(FloatToSample32(1.0f)) & SAMPLE_MASK, 0x7FFF0000u);
    EXPECT_EQ(static_cast<uint32_t>(FloatToSample32(-1.0f)) & SAMPLE_MASK, 0x80000000u);
    // A -66 dBFS sample (about 1/2000 of full scale) keeps most of its value.
    const int32_t quiet = FloatToSample32(0.0005f);
    const int32_t masked = static_cast<int32_t>(static_cast<uint32_t>(quiet) & SAMPLE_MASK);
    EXPECT_NEAR(masked, quiet, 65536);
    EXPECT_NE(masked, 0);
}

// A task whose stages report to a window that this thread can read.
struct StageHarness : CStandInWindow {
    StageHarness() {
        InitializeEngine();
        state = std::make_shared<CConversionState>();
        state->m_window = port;
        state->m_running = 1;
        pipeline = CPipeline::Create(CConversionTask{}, 0, state);
        task = &pipeline->Task();
    }
    std::shared_ptr<CConversionState> state;
    std::shared_ptr<CPipeline> pipeline;
    CConversionTask* task = nullptr;
};

TEST(DecodeStage, WritesEveryFrameInterleavedAndMasked) {
    fixtures::TempDir dir;
    fixtures::OggStream spec;
    spec.frames = 1000;
    spec.tones = {fixtures::Tone{1000, -3, 1u}, fixtures::Tone{3000, -9, 2u}};
    fixtures::WriteOgg(dir.File("a.ogg"), spec);
    const fixtures::OggDecoded reference = fixtures::DecodeOgg(dir.File("a.ogg"));

    StageHarness h;
    h.task->m_sourcePath = dir.File("a.ogg");
    h.task->m_sourceRate = 44100;
    h.task->m_sourceChannels = 2;
    EXPECT_EQ(h.task->DecodeToRing(), 1);
    ASSERT_EQ(h.pipeline->DecodeRing().Available(0), 2000u);
    std::vector<int32_t> samples(2000);
    h.pipeline->DecodeRing().Read(samples.data(), 2000, 0);
    ASSERT_EQ(reference.pcm.size(), 2000u);
    int mismatches = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const uint32_t expected =
            static_cast<uint32_t>(FloatToSample32(reference.pcm[i])) & SAMPLE_MASK;
        mismatches += static_cast<uint32_t>(samples[i]) != expected;
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_TRUE(h.log.empty());
}

TEST(DecodeStage, CancelWhileTheRingIsFullIsNoError) {
    fixtures::TempDir dir;
    fixtures::OggStream spec;
    spec.frames = 44100 * 20;  // more than the ring holds
    fixtures::WriteOgg(dir.File("long.ogg"), spec);
    StageHarness h;
    h.task->m_sourcePath = dir.File("long.ogg");
    h.task->m_sourceRate = 44100;
    h.task->m_sourceChannels = 2;
    std::thread canceller([&] {
        while (h.pipeline->DecodeRing().FreeSpace() >= DECODE_FRAMES * 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        h.state->m_running = 0;
    });
    EXPECT_EQ(h.task->DecodeToRing(), 1);
    canceller.join();
    EXPECT_LT(h.pipeline->DecodeRing().FreeSpace(), DECODE_FRAMES * 2);
    EXPECT_TRUE(h.log.empty());
}

TEST(DecodeStage, SourceThatCannotBeOpenedForDecoding) {
    StageHarness h;
    h.task->m_sourcePath = "/nonexistent/quillon/x.ogg";
    h.task->m_sourceRate = 44100;
    h.task->m_sourceChannels = 2;
    EXPECT_EQ(h.task->DecodeToRing(), 0);
    h.queue.ProcessAll();
    EXPECT_EQ(h.LogTexts(), std::vector<std::string>{"Error : could not open file : "
                                                     "/nonexistent/quillon/x.ogg (No such file or "
                                                     "directory)"});
    EXPECT_TRUE(h.pipeline->HasFailed());
}

// A chain built by the processing stage's own code, with inert stand-ins for the program's
// "input" and "output" effects; it never flows.
class BuiltChain {
public:
    BuiltChain(uint32_t sourceChannels, uint32_t sourceRate) {
        InitializeEngine();
        sox_encodinginfo_t encoding = {};
        encoding.encoding = SOX_ENCODING_SIGN2;
        encoding.bits_per_sample = 32;
        m_encoding = encoding;
        m_chain = sox_create_effects_chain(&m_encoding, &m_encoding);
        running = {static_cast<sox_rate_t>(sourceRate), sourceChannels, 32, SOX_UNKNOWN_LEN,
                   nullptr};
        m_requested = running;
    }
    ~BuiltChain() { sox_delete_effects_chain(m_chain); }

    std::string Add(const std::vector<std::vector<std::string>>& steps) {
        return AddChainEffects(m_chain, steps, running, m_requested, [](const std::string& name) {
            static const sox_effect_handler_t input = {"input", nullptr, SOX_EFF_MCHAN, nullptr,
                                                       nullptr, nullptr, nullptr,       nullptr,
                                                       nullptr, 0};
            static const sox_effect_handler_t output = {"output", nullptr, SOX_EFF_MCHAN, nullptr,
                                                        nullptr,  nullptr, nullptr,       nullptr,
                                                        nullptr,  0};
            return sox_create_effect(name == "input" ? &input : &output);
        });
    }
    // Each effect in the chain as its name and its output "rate/channels".
    std::vector<std::string> Effects() const {
        std::vector<std::string> names;
        for (size_t i = 0; i < m_chain->length; ++i) {
            const sox_effect_t& e = m_chain->effects[i][0];
            names.push_back(std::string(e.handler.name) + " " +
                            std::to_string(static_cast<int>(e.out_signal.rate)) + "/" +
                            std::to_string(e.out_signal.channels));
        }
        return names;
    }

    sox_signalinfo_t running;

private:
    sox_encodinginfo_t m_encoding;
    sox_signalinfo_t m_requested;
    sox_effects_chain_t* m_chain;
};

// A source swapped for a named pipe after its scan: neither the check nor the decoder waits
// for a writer that never comes.
TEST(DecodeStage, ASourceThatBecameANamedPipeIsRefusedAtOnce) {
    fixtures::TempDir dir;
    const std::string pipe = dir.File("swapped.ogg");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    StageHarness h;
    h.task->m_sourcePath = pipe;
    h.task->m_sourceRate = 44100;
    h.task->m_sourceChannels = 2;
    auto decoded = std::async(std::launch::async, [&] {
        const bool checked = h.task->CheckSourceFile(pipe);
        return std::make_pair(checked, h.task->DecodeToRing());
    });
    if (decoded.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
        ADD_FAILURE() << "the stage waits on the pipe";
        for (int i = 0; i < 2; ++i) {  // release both opens
            const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    const auto [checked, result] = decoded.get();
    EXPECT_FALSE(checked);
    EXPECT_EQ(result, 0);
    h.queue.ProcessAll();
    EXPECT_EQ(h.LogTexts(), (std::vector<std::string>{"File Error: Not a regular file",
                                                      "Error : could not open file : " + pipe +
                                                          " (Not a regular file)"}));
}

struct ChainCase {
    const char* name;
    uint32_t sourceChannels, sourceRate, destChannels, destRate;
    std::vector<std::string> effects;  // as libsox built them: name and output rate/channels
};

class ChainTest : public testing::TestWithParam<ChainCase> {};

TEST_P(ChainTest, LibsoxBuildsTheNeededEffectsInOrder) {
    const ChainCase& c = GetParam();
    BuiltChain chain(c.sourceChannels, c.sourceRate);
    EXPECT_EQ(chain.Add(ChainFor(c.sourceChannels, c.sourceRate, c.destChannels, c.destRate)), "");
    EXPECT_EQ(chain.Effects(), c.effects);
    EXPECT_EQ(ChainOutputError(chain.running, c.destRate, c.destChannels), "");
}

INSTANTIATE_TEST_SUITE_P(
    Chains, ChainTest,
    testing::Values(
        ChainCase{"Same",
                  2,
                  44100,
                  2,
                  44100,
                  {"input 44100/2", "lowpass 44100/2", "highpass 44100/2", "output 44100/2"}},
        ChainCase{"Rate",
                  2,
                  48000,
                  2,
                  44100,
                  {"input 48000/2", "rate 44100/2", "lowpass 44100/2", "highpass 44100/2",
                   "output 44100/2"}},
        ChainCase{"MonoAndRate",
                  2,
                  48000,
                  1,
                  44100,
                  {"input 48000/2", "channels 48000/1", "rate 44100/1", "lowpass 44100/1",
                   "highpass 44100/1", "output 44100/1"}},
        ChainCase{"MonoToStereo",
                  1,
                  22050,
                  2,
                  22050,
                  {"input 22050/1", "channels 22050/2", "lowpass 22050/2", "highpass 22050/2",
                   "output 22050/2"}},
        ChainCase{"SixToStereo",
                  6,
                  44100,
                  2,
                  44100,
                  {"input 44100/6", "remix 44100/2", "lowpass 44100/2", "highpass 44100/2",
                   "output 44100/2"}},
        ChainCase{"SixToMono",
                  6,
                  44100,
                  1,
                  44100,
                  {"input 44100/6", "channels 44100/1", "lowpass 44100/1", "highpass 44100/1",
                   "output 44100/1"}},
        // The one effect that may be missing: no 7000 Hz low-pass at 12000 Hz and below.
        ChainCase{"LowRateWithoutLowpass",
                  2,
                  44100,
                  2,
                  8000,
                  {"input 44100/2", "rate 8000/2", "highpass 8000/2", "output 8000/2"}}),
    [](const testing::TestParamInfo<ChainCase>& info) { return info.param.name; });

struct BrokenChainCase {
    const char* name;
    std::vector<std::vector<std::string>> steps;
    std::string expected;
};

class BrokenChainTest : public testing::TestWithParam<BrokenChainCase> {};

TEST_P(BrokenChainTest, SaysWhatIsNotAsAsked) {
    BuiltChain chain(2, 44100);
    EXPECT_EQ(chain.Add(GetParam().steps), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Chains, BrokenChainTest,
    testing::Values(BrokenChainCase{"MissingEffect",
                                    {{"input"}, {"nosuchfilter", "1"}, {"output"}},
                                    "the effect \"nosuchfilter\" is missing"},
                    BrokenChainCase{"RefusedOptions",
                                    {{"input"}, {"rate", "very-fast-please"}, {"output"}},
                                    "the effect \"rate\" refuses \"very-fast-please\""},
                    BrokenChainCase{"EffectThatCannotStart",
                                    {{"input"}, {"highpass", "30000"}, {"output"}},
                                    "the effect \"highpass\" cannot start with \"30000\""}),
    [](const testing::TestParamInfo<BrokenChainCase>& info) { return info.param.name; });

// An effect that fails in the middle of the flow, between a short source and a sink.
int ShortDrain(sox_effect_t*, sox_sample_t* out, size_t* count) {
    static thread_local int calls = 0;
    if (++calls % 4 == 0) {
        *count = 0;
        return SOX_EOF;
    }
    std::fill(out, out + *count, 0);
    return SOX_SUCCESS;
}
int FailingFlow(sox_effect_t*, const sox_sample_t*, sox_sample_t*, size_t*, size_t* out) {
    *out = 0;
    return SOX_EPERM;
}
int SinkFlow(sox_effect_t*, const sox_sample_t*, sox_sample_t*, size_t*, size_t* out) {
    *out = 0;
    return SOX_SUCCESS;
}

TEST(ProcessStage, AFlowThatFailsWhileRunningIsReportedAndACancelIsNot) {
    InitializeEngine();
    for (const bool fails : {false, true}) {
        for (const int running : {1, 0}) {
            sox_encodinginfo_t encoding = {};
            encoding.encoding = SOX_ENCODING_SIGN2;
            encoding.bits_per_sample = 32;
            sox_effects_chain_t* chain = sox_create_effects_chain(&encoding, &encoding);
            sox_signalinfo_t signal = {44100, 2, 32, SOX_UNKNOWN_LEN, nullptr};
            const sox_signalinfo_t requested = signal;
            static const sox_effect_handler_t handlers[] = {
                {"input", nullptr, SOX_EFF_MCHAN, nullptr, nullptr, nullptr, ShortDrain, nullptr,
                 nullptr, 0},
                {"middle", nullptr, SOX_EFF_MCHAN, nullptr, nullptr, FailingFlow, nullptr, nullptr,
                 nullptr, 0},
                {"output", nullptr, SOX_EFF_MCHAN, nullptr, nullptr, SinkFlow, nullptr, nullptr,
                 nullptr, 0}};
            for (const auto& handler : handlers) {
                if (&handler == &handlers[1] && !fails)
                    continue;
                sox_effect_t* effect = sox_create_effect(&handler);
                ASSERT_EQ(sox_add_effect(chain, effect, &signal, &requested), SOX_SUCCESS);
                std::free(effect);
            }
            const std::string failure = FlowEffects(chain, [running] { return running != 0; });
            sox_delete_effects_chain(chain);
            if (fails && running)
                EXPECT_EQ(failure, "Processing the audio failed (libsox -1)");
            else
                EXPECT_EQ(failure, "") << "fails " << fails << ", running " << running;
        }
    }
}

TEST(ProcessStage, AChainThatCannotBeBuiltStopsTheBatchWithoutAnEncoder) {
    StageHarness h;
    h.task->m_sourceRate = 44100;
    h.task->m_sourceChannels = 2;
    h.task->m_destRate = 100;  // no 100 Hz high-pass at 100 Hz
    h.task->m_destChannels = 2;
    EXPECT_EQ(h.task->RunProcessing(), 0);
    h.queue.ProcessAll();
    EXPECT_EQ(h.LogTexts(),
              std::vector<std::string>{"The processing chain cannot be built: the effect "
                                       "\"highpass\" cannot start with \"100\""});
    EXPECT_TRUE(h.pipeline->HasFailed());
    EXPECT_EQ(h.pipeline->m_encodeThread.Get(), nullptr);
    EXPECT_EQ(h.task->m_processing.load(), 0);
}

TEST(ProcessStage, AChainThatGivesAnotherFormatIsRefused) {
    sox_signalinfo_t output = {44100, 2, 32, SOX_UNKNOWN_LEN, nullptr};
    EXPECT_EQ(ChainOutputError(output, 44100, 2), "");
    EXPECT_EQ(ChainOutputError(output, 22050, 2),
              "it gives 44100 Hz, 2 channel(s) instead of 22050 Hz, 2");
    EXPECT_EQ(ChainOutputError(output, 44100, 1),
              "it gives 44100 Hz, 2 channel(s) instead of 44100 Hz, 1");
}

TEST(ProcessStage, DownmixKeepsSidesApartAndCannotClip) {
    for (uint32_t channels = 3; channels <= 8; ++channels) {
        const auto outputs = StereoDownmix(channels);
        ASSERT_EQ(outputs.size(), 2u) << channels;
        for (int side = 0; side < 2; ++side) {
            double sum = 0;
            std::string spec = outputs[side];
            size_t pos = 0;
            while (pos < spec.size()) {
                size_t comma = spec.find(',', pos);
                if (comma == std::string::npos)
                    comma = spec.size();
                const std::string part = spec.substr(pos, comma - pos);
                sum += std::stod(part.substr(part.find('v') + 1));
                pos = comma + 1;
            }
            EXPECT_NEAR(sum, 1.0, 1e-4) << channels << " channels, side " << side;
        }
    }
    // Front left (1) only on the left, front right (3 of 6) only on the right.
    const auto six = StereoDownmix(6);
    EXPECT_EQ(six[0].rfind("1v", 0), 0u);
    EXPECT_EQ(six[0].find("3v"), std::string::npos);
    EXPECT_NE(six[1].find("3v"), std::string::npos);
    EXPECT_EQ(six[1].find("1v"), std::string::npos);
    EXPECT_EQ(six[0].find("6v"), std::string::npos);  // no LFE
    EXPECT_TRUE(StereoDownmix(2).empty());
    EXPECT_TRUE(StereoDownmix(1).empty());
}

}  // namespace
