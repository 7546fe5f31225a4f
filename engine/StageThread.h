#pragma once

#include "engine/ConversionTask.h"
#include "engine/Pipeline.h"
#include "platform/Thread.h"

// Starts one stage of the task on a thread of its own. The thread is recorded in slot before it
// runs, and it holds the task's pipeline until it ends.
inline void StartStageThread(CConversionTask& task, int (CConversionTask::*stage)(),
                             CThreadRef& slot) {
    auto pipeline = task.m_pipeline->shared_from_this();
    auto thread = CThread::Create([pipeline, stage] {
        (pipeline->Task().*stage)();
        return 0;
    });
    slot.Set(thread);
    thread->Resume();
}
