#pragma once

#include <cstdint>

// What one pass of the encode stage takes from its ring.
struct ChunkPlan {
    uint32_t samples = 0;  // to read now
    bool last = false;     // every producer has ended: this is the rest of the file
    bool wait = false;     // neither a full chunk nor the end yet
};

// Decides one pass. The producers' flags are read before the ring's count: a producer that
// writes its last block and ends between the two reads would otherwise leave a stale, smaller
// count as the last chunk, and the rest of the file would never be encoded. A count read after
// the producers were seen ended is final.
template <typename ProducersRunning, typename Available>
ChunkPlan PlanChunk(uint32_t chunk, uint32_t channels, ProducersRunning producersRunning,
                    Available available) {
    const bool running = producersRunning();
    const uint32_t count = available();
    if (count >= chunk && chunk > 0)
        return {chunk, false, false};
    if (running)
        return {0, false, true};
    return {count - count % channels, true, false};
}
