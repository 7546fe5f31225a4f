#pragma once

#include <atomic>

// Nonzero while the file list sorts, and from a cancelled load until that load's final sort.
// Conversions and selection texts wait while it is set. Kept free of Qt so that any thread
// may poll it.
extern std::atomic<int> g_listBusy;
