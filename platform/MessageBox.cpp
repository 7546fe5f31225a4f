#include "platform/MessageBox.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex g_hookMutex;
MessageBoxHook g_hook;
}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
    std::lock_guard lock(g_hookMutex);
    g_hook = std::move(hook);
}

void ShowMessageBox(const std::string& text, MessageBoxIcon icon) {
    MessageBoxHook hook;
    {
        std::lock_guard lock(g_hookMutex);
        hook = g_hook;
    }
    if (hook) {
        hook(text, icon);
        return;
    }
    const char* kind = icon == MessageBoxIcon::Error         ? "error"
                       : icon == MessageBoxIcon::Exclamation ? "warning"
                                                             : "note";
    std::fprintf(stderr, "quillon: %s: %s\n", kind, text.c_str());
}
