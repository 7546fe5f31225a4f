// The encode stage's choice of what to take from its ring on one pass.
#include <gtest/gtest.h>

#include "engine/ChunkPlan.h"

namespace {

struct PlanCase {
    const char* name;
    uint32_t chunk, channels;
    bool producersRunning;
    uint32_t available;
    ChunkPlan expected;
};

class PlanChunkTest : public testing::TestWithParam<PlanCase> {};

TEST_P(PlanChunkTest, TakesAFullChunkWaitsOrTakesTheRest) {
    const PlanCase& c = GetParam();
    const ChunkPlan plan = PlanChunk(
        c.chunk, c.channels, [&] { return c.producersRunning; }, [&] { return c.available; });
    EXPECT_EQ(plan.samples, c.expected.samples);
    EXPECT_EQ(plan.last, c.expected.last);
    EXPECT_EQ(plan.wait, c.expected.wait);
}

INSTANTIATE_TEST_SUITE_P(
    Passes, PlanChunkTest,
    testing::Values(PlanCase{"FullChunkWhileProducing", 2304, 2, true, 5000, {2304, false, false}},
                    PlanCase{"FullChunkAfterTheEnd", 2304, 2, false, 2304, {2304, false, false}},
                    PlanCase{"WaitsForMore", 2304, 2, true, 2303, {0, false, true}},
                    PlanCase{"RestAfterTheEnd", 2304, 2, false, 1000, {1000, true, false}},
                    PlanCase{"RestKeepsWholeFrames", 2304, 2, false, 1001, {1000, true, false}},
                    PlanCase{"EmptyAfterTheEnd", 1152, 1, false, 0, {0, true, false}}),
    [](const testing::TestParamInfo<PlanCase>& info) { return info.param.name; });

// The producer writes its last block and ends exactly between the stage's two reads. Reading
// the flags first sees the end and then the final count; the whole block is encoded.
TEST(PlanChunk, AProducerEndingBetweenTheTwoReadsLosesNothing) {
    uint32_t inRing = 100;
    bool producing = true;
    // The flag load is where the producer finishes: it sees the end, and the block is there.
    auto producersRunning = [&] {
        if (producing) {
            inRing += 5000;
            producing = false;
        }
        return producing;
    };
    auto available = [&] { return inRing; };

    uint32_t encoded = 0;
    for (int pass = 0; pass < 10; ++pass) {
        const ChunkPlan plan = PlanChunk(2304, 2, producersRunning, available);
        if (plan.wait)
            continue;
        encoded += plan.samples;
        inRing -= plan.samples;
        if (plan.last)
            break;
    }
    EXPECT_EQ(encoded, 5100u);
    EXPECT_EQ(inRing, 0u);
}

}  // namespace
