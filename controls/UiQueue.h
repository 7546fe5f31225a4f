#pragma once

#include "platform/Message.h"

// The user-interface thread's message queue. Worker threads post and send to the windows of
// that thread through it; the Qt event loop delivers, nested loops (a message box, a modal
// dialog) included, so a worker's synchronous report never waits for a loop to end. Created on
// first use, which must happen on the user-interface thread.
CMessageQueue& UiMessageQueue();
