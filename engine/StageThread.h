#pragma once

#include "engine/ConversionTask.h"
#include "platform/Thread.h"

// Starts one stage of the task on a thread of its own. The thread is recorded in slot before it
// runs, and it holds the task (and so the batch state) until it ends.
inline void StartStageThread(CConversionTask& task, int (CConversionTask::*stage)(),
                             CThreadRef& slot) {
    auto self = task.shared_from_this();
    auto thread = CThread::Create([self, stage] {
        ((*self).*stage)();
        return 0;
    });
    slot.Set(thread);
    thread->Resume();
}
