#pragma once

#include "platform/Message.h"

// The user-interface thread's message queue, delivered from Qt's event loop: a worker's post or
// send wakes the loop, which then delivers everything that has arrived, in nested loops too (a
// message box, a modal dialog), so a worker's synchronous report never waits for a loop to end.
// Created on the first call (which must come from the UI thread, with the application object
// alive) and kept until the application object goes. Every window of that thread shares it.
CMessageQueue& UiMessageQueue();
