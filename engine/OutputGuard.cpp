#include "engine/OutputGuard.h"

#include <unistd.h>

#include <atomic>
#include <cstdint>

namespace {

struct Slot {
    std::atomic<int> fd{-1};
    std::atomic<int64_t> length{0};
};
Slot g_slots[OUTPUT_GUARD_SLOTS];

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<int64_t>::is_always_lock_free,
              "signal handlers may only touch lock-free atomics");

}  // namespace

int GuardOutput(int fd) {
    constexpr int RESERVED = -2;  // taken, not yet guarding: a handler skips it
    for (int i = 0; i < OUTPUT_GUARD_SLOTS; ++i) {
        int free = -1;
        if (g_slots[i].fd.compare_exchange_strong(free, RESERVED, std::memory_order_acq_rel)) {
            g_slots[i].length.store(0, std::memory_order_release);
            g_slots[i].fd.store(fd, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void MarkWholeFrames(int slot, off_t length) {
    if (slot >= 0)
        g_slots[slot].length.store(length, std::memory_order_release);
}

void ReleaseOutput(int slot) {
    if (slot >= 0)
        g_slots[slot].fd.store(-1, std::memory_order_release);
}

void TruncateGuardedOutputs() {
    for (auto& slot : g_slots) {
        const int fd = slot.fd.load(std::memory_order_acquire);
        if (fd >= 0)
            (void)::ftruncate(fd, slot.length.load(std::memory_order_acquire));
    }
}
