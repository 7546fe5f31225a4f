#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

// Milliseconds of a monotonic clock as an unsigned 32-bit count; it wraps after about 49.7
// days, so differences must be taken in unsigned 32-bit arithmetic.
inline uint32_t GetTickCount() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

inline void Sleep(unsigned ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
