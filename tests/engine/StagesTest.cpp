// The decode and processing stages on their own.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "batch/ConversionState.h"
#include "engine/ConversionTask.h"
#include "engine/DecodeStage.h"
#include "engine/Engine.h"
#include "engine/ProcessStage.h"
#include "tests/fixtures/OggFixtures.h"
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
struct StageHarness {
    StageHarness() {
        InitializeEngine();
        state = std::make_shared<CConversionState>();
        state->m_window = CWindowPort::Create(queue, [this](Message& m) -> intptr_t {
            if (m.id == WM_CONV_LOG)
                log.push_back(std::any_cast<std::string>(m.payload));
            return 1;
        });
        state->m_running = 1;
        pipeline = CPipeline::Create(CConversionTask{}, 0, state);
        task = &pipeline->Task();
    }
    CMessageQueue queue;
    std::shared_ptr<CConversionState> state;
    std::shared_ptr<CPipeline> pipeline;
    CConversionTask* task = nullptr;
    std::vector<std::string> log;
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
    EXPECT_EQ(h.log,
              std::vector<std::string>{"Error : could not open file : /nonexistent/quillon/x.ogg"});
    EXPECT_TRUE(h.pipeline->HasFailed());
}

struct ChainCase {
    const char* name;
    uint32_t sourceChannels, sourceRate, destChannels, destRate;
    std::vector<std::string> effects;  // names in order
};

class ChainTest : public testing::TestWithParam<ChainCase> {};

TEST_P(ChainTest, HoldsTheNeededEffectsInOrder) {
    const ChainCase& c = GetParam();
    std::vector<std::string> names;
    for (const auto& step : ChainFor(c.sourceChannels, c.sourceRate, c.destChannels, c.destRate))
        names.push_back(step[0]);
    EXPECT_EQ(names, c.effects);
}

INSTANTIATE_TEST_SUITE_P(
    Chains, ChainTest,
    testing::Values(
        ChainCase{"Same", 2, 44100, 2, 44100, {"input", "lowpass", "highpass", "output"}},
        ChainCase{"Rate", 2, 48000, 2, 44100, {"input", "rate", "lowpass", "highpass", "output"}},
        ChainCase{"MonoAndRate",
                  2,
                  48000,
                  1,
                  44100,
                  {"input", "channels", "rate", "lowpass", "highpass", "output"}},
        ChainCase{"MonoToStereo",
                  1,
                  22050,
                  2,
                  22050,
                  {"input", "channels", "lowpass", "highpass", "output"}},
        ChainCase{
            "SixToStereo", 6, 44100, 2, 44100, {"input", "remix", "lowpass", "highpass", "output"}},
        ChainCase{"SixToMono",
                  6,
                  44100,
                  1,
                  44100,
                  {"input", "channels", "lowpass", "highpass", "output"}}),
    [](const testing::TestParamInfo<ChainCase>& info) { return info.param.name; });

TEST(ProcessStage, ArgumentsOfTheChain) {
    const auto chain = ChainFor(2, 48000, 1, 44100);
    EXPECT_EQ(chain[1], (std::vector<std::string>{"channels", "1"}));
    EXPECT_EQ(chain[2], (std::vector<std::string>{"rate", "44100"}));
    EXPECT_EQ(chain[3], (std::vector<std::string>{"lowpass", "7000"}));
    EXPECT_EQ(chain[4], (std::vector<std::string>{"highpass", "100"}));
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
