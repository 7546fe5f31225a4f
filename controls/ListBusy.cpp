#include "controls/ListBusy.h"

std::atomic<int> g_listBusy{0};
