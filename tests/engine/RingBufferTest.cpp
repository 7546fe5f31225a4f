#include "engine/RingBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <thread>
#include <vector>

namespace {

TEST(RingBuffer, NewRingIsEmptyWithAllButOneSlotFree) {
    SampleRing ring(RING_SLOTS);
    EXPECT_EQ(ring.Available(0), 0u);
    EXPECT_EQ(ring.FreeSpace(), RING_SLOTS - 1);
}

TEST(RingBuffer, FullRingRefusesWrites) {
    SampleRing ring(RING_SLOTS);
    std::vector<int> data(RING_SLOTS);
    std::iota(data.begin(), data.end(), 0);
    EXPECT_EQ(ring.Write(data.data(), RING_SLOTS), RING_SLOTS - 1);
    EXPECT_EQ(ring.FreeSpace(), 0u);
    EXPECT_EQ(ring.Available(0), RING_SLOTS - 1);
    int extra = 7;
    EXPECT_EQ(ring.Write(&extra, 1), 0u);
    EXPECT_EQ(ring.Available(0), RING_SLOTS - 1);
    // The last slot the ring refused was not touched.
    std::vector<int> out(RING_SLOTS - 1);
    ASSERT_EQ(ring.Read(out.data(), RING_SLOTS - 1, 0), RING_SLOTS - 1);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin()));
}

TEST(RingBuffer, WriteWrapsAroundTheEnd) {
    SampleRing ring(RING_SLOTS);
    ring.SetPositions(1048570, 1048570);
    const int src[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_EQ(ring.Write(src, 10), 10u);
    const int* slots = ring.Data();
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(slots[1048570 + i], i + 1);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(slots[i], i + 7);
    EXPECT_EQ(ring.Available(0), 10u);
    EXPECT_EQ(ring.FreeSpace(), RING_SLOTS - 11);
    int dest[10] = {};
    ASSERT_EQ(ring.Read(dest, 10, 0), 10u);
    EXPECT_TRUE(std::equal(dest, dest + 10, src));
    EXPECT_EQ(ring.Available(0), 0u);
    // Both positions now stand at 4: the next write goes there.
    int one = 42;
    ring.Write(&one, 1);
    EXPECT_EQ(slots[4], 42);
}

TEST(RingBuffer, ShortReadZeroFillsTheRest) {
    SampleRing ring(RING_SLOTS);
    std::vector<int> src(30, 5);
    ring.Write(src.data(), 30);
    std::vector<int> dest(100, -1);
    EXPECT_EQ(ring.Read(dest.data(), 100, 0), 30u);
    EXPECT_TRUE(std::all_of(dest.begin(), dest.begin() + 30, [](int v) { return v == 5; }));
    EXPECT_TRUE(std::all_of(dest.begin() + 30, dest.end(), [](int v) { return v == 0; }));
    EXPECT_EQ(ring.Available(0), 0u);
}

TEST(RingBuffer, ZeroCountsChangeNothing) {
    SampleRing ring(16);
    int v[4] = {1, 2, 3, 4};
    ring.Write(v, 3);
    EXPECT_EQ(ring.Write(v, 0), 0u);
    EXPECT_EQ(ring.Read(v, 0, 0), 0u);
    EXPECT_EQ(ring.Available(0), 3u);
    EXPECT_EQ(ring.FreeSpace(), 12u);
}

TEST(RingBuffer, ResetEmptiesWithoutClearing) {
    SampleRing ring(16);
    int v[5] = {9, 9, 9, 9, 9};
    ring.Write(v, 5);
    ring.Reset();
    EXPECT_EQ(ring.Available(0), 0u);
    EXPECT_EQ(ring.FreeSpace(), 15u);
    int dest[3] = {1, 1, 1};
    EXPECT_EQ(ring.Read(dest, 3, 0), 0u);  // stale slots are never read
    EXPECT_EQ(dest[0], 0);
}

// A producer and a consumer move many samples in uneven chunks; every sample arrives once and
// in order.
TEST(RingBuffer, ProducerAndConsumerDeliverEverySampleInOrder) {
    constexpr uint32_t kTotal = 20'000'000;
    SampleRing ring(4099);  // odd size: wrap-arounds fall everywhere
    std::thread producer([&] {
        std::vector<int> chunk(1500);
        uint32_t next = 0;
        uint32_t step = 1;
        while (next < kTotal) {
            const uint32_t want = std::min<uint32_t>((step = step * 7 % 1499 + 1), kTotal - next);
            for (uint32_t i = 0; i < want; ++i)
                chunk[i] = static_cast<int>(next + i);
            uint32_t done = 0;
            while (done < want) {
                done += ring.Write(chunk.data() + done, want - done);
                if (done < want)
                    std::this_thread::yield();
            }
            next += want;
        }
    });
    std::vector<int> chunk(1700);
    uint32_t expected = 0;
    uint32_t step = 3;
    bool inOrder = true;
    while (expected < kTotal) {
        const uint32_t want = (step = step * 13 % 1699 + 1);
        const uint32_t got = ring.Read(chunk.data(), want, 0);
        for (uint32_t i = 0; i < got; ++i)
            inOrder = inOrder && chunk[i] == static_cast<int>(expected + i);
        expected += got;
        if (got == 0)
            std::this_thread::yield();
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(expected, kTotal);
    EXPECT_EQ(ring.Available(0), 0u);
}

}  // namespace
