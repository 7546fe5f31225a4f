#pragma once

#include "platform/Message.h"

// The user-interface thread's message queue, delivered from Qt's event loop: a worker's post or
// send wakes the loop, which then delivers everything that has arrived. Created on the first
// call (which must come from the UI thread, with the application object alive) and kept until
// the application object goes.
CMessageQueue& UiMessageQueue();
