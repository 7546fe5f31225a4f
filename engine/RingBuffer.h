#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>

// Set by the benchmark to compare: waiting on a ring by sleeping 1 ms per look.
inline std::atomic<bool> g_ringWaitPolls{false};

// The longest a stage waits on a ring before it looks at the run flags again.
constexpr unsigned RING_WAIT_MS = 10;

// Number of slots of each sample ring: 4 MiB of 32-bit samples, about 11.9 s of 44.1 kHz stereo.
constexpr uint32_t RING_SLOTS = 1u << 20;

// A bounded ring with one writer and `Readers` readers, each position stored only by its owner.
// Positions are published with release stores and read with acquire loads, so the data copied
// before a position moves is visible to the side that sees the new position. Read and Write
// never block and never allocate; equal positions mean empty, so one slot always stays free.
template <typename T, unsigned Readers>
class RingBuffer {
    // Free space is measured against one reader's position; a second reader would be overrun.
    static_assert(Readers == 1, "a ring has exactly one reader");

public:
    explicit RingBuffer(uint32_t size) : m_data(new T[size]), m_size(size) {
        m_writePos.store(0, std::memory_order_relaxed);
        for (auto& pos : m_readPos)
            pos.store(0, std::memory_order_relaxed);
    }
    virtual ~RingBuffer() { delete[] m_data; }

    RingBuffer(const RingBuffer&) = delete;
    RingBuffer& operator=(const RingBuffer&) = delete;

    uint32_t Size() const { return m_size; }

    uint32_t Available(unsigned r) const {
        const uint32_t w = m_writePos.load(std::memory_order_acquire);
        const uint32_t rp = m_readPos[r].load(std::memory_order_relaxed);
        if (w > rp)
            return w - rp;
        return (m_size - rp + w) % m_size;
    }

    uint32_t FreeSpace() const {
        const uint32_t rp = m_readPos[0].load(std::memory_order_acquire);
        const uint32_t w = m_writePos.load(std::memory_order_relaxed);
        return (rp + m_size - w - 1) % m_size;
    }

    // Copies up to n samples out; the destination slots beyond what was available are zeroed.
    uint32_t Read(T* dest, uint32_t n, unsigned r) {
        const uint32_t a = Available(r);
        if (n > a) {
            std::memset(dest + a, 0, sizeof(T) * (n - a));
            n = a;
        }
        if (n == 0)
            return 0;
        const uint32_t pos = m_readPos[r].load(std::memory_order_relaxed);
        const uint32_t tail = m_size - pos;
        if (tail >= n) {
            std::memcpy(dest, m_data + pos, sizeof(T) * n);
        } else {
            std::memcpy(dest, m_data + pos, sizeof(T) * tail);
            std::memcpy(dest + tail, m_data, sizeof(T) * (n - tail));
        }
        m_readPos[r].store((pos + n) % m_size, std::memory_order_release);
        Wake();
        return n;
    }

    // Copies up to n samples in; returns how many fitted.
    uint32_t Write(const T* src, uint32_t n) {
        const uint32_t f = FreeSpace();
        if (n > f)
            n = f;
        if (n == 0)
            return 0;
        const uint32_t pos = m_writePos.load(std::memory_order_relaxed);
        const uint32_t tail = m_size - pos;
        if (tail >= n) {
            std::memcpy(m_data + pos, src, sizeof(T) * n);
        } else {
            std::memcpy(m_data + pos, src, sizeof(T) * tail);
            std::memcpy(m_data, src + tail, sizeof(T) * (n - tail));
        }
        m_writePos.store((pos + n) % m_size, std::memory_order_release);
        Wake();
        return n;
    }

    // Waiting without polling. A stage takes Changes() before it looks at the ring; when it
    // has to wait it passes that count to WaitForChange, which returns once either side has
    // moved its position or Wake was called since, or after ms at the latest (so a flag that
    // changes without a Wake is still seen).
    uint32_t Changes() const { return m_changes.load(std::memory_order_seq_cst); }

    void WaitForChange(uint32_t seen, unsigned ms) {
        if (g_ringWaitPolls.load(std::memory_order_relaxed)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return;
        }
        std::unique_lock lock(m_waitMutex);
        m_waiters.fetch_add(1, std::memory_order_seq_cst);
        m_changed.wait_for(lock, std::chrono::milliseconds(ms),
                           [&] { return m_changes.load(std::memory_order_seq_cst) != seen; });
        m_waiters.fetch_sub(1, std::memory_order_relaxed);
    }

    // Wakes a waiter: after a position moved, or when a flag it watches changed.
    void Wake() {
        // Both counters are sequentially consistent: either the waiter sees the new count, or
        // this side sees the waiter and notifies under its lock.
        m_changes.fetch_add(1, std::memory_order_seq_cst);
        if (m_waiters.load(std::memory_order_seq_cst) != 0) {
            std::lock_guard lock(m_waitMutex);
            m_changed.notify_all();
        }
    }

    // Empties the ring; only while no thread uses it. The slots keep their stale contents.
    void Reset() { SetPositions(0, 0); }

    // Places both positions, for a ring that no thread uses at the moment.
    void SetPositions(uint32_t writePos, uint32_t readPos) {
        m_writePos.store(writePos % m_size, std::memory_order_release);
        for (auto& pos : m_readPos)
            pos.store(readPos % m_size, std::memory_order_release);
        Wake();
    }

    const T* Data() const { return m_data; }

private:
    T* m_data;
    std::atomic<uint32_t> m_writePos;
    std::atomic<uint32_t> m_readPos[Readers];
    uint32_t m_size;
    std::atomic<uint32_t> m_changes{0};
    std::atomic<uint32_t> m_waiters{0};
    std::mutex m_waitMutex;
    std::condition_variable m_changed;
};

using SampleRing = RingBuffer<int, 1>;
