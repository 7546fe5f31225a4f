#include "engine/Engine.h"

#include <sox.h>

#include <cstdarg>
#include <mutex>

namespace {

void SilentSoxMessage(unsigned, const char*, const char*, va_list) {}

}  // namespace

void InitializeEngine() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The "rate" effect needs the library initialised, and a second sox_init aborts.
        sox_get_globals()->output_message_handler = SilentSoxMessage;
        sox_init();
    });
}
