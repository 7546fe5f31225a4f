#include "engine/Engine.h"

#include <sox.h>

#include <cstdarg>
#include <mutex>

#include "engine/RingBuffer.h"

namespace {

void SilentSoxMessage(unsigned, const char*, const char*, va_list) {}

}  // namespace

void InitializeEngine() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The "rate" effect needs the library initialised, and a second sox_init aborts.
        sox_get_globals()->output_message_handler = SilentSoxMessage;
        sox_init();
        g_decodeRing = new SampleRing(RING_SLOTS);
        g_processedRing = new SampleRing(RING_SLOTS);
    });
}
