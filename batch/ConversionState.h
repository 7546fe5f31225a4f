#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/ConversionTask.h"
#include "platform/Message.h"
#include "platform/Thread.h"

// Messages to the progress window.
constexpr uint32_t WM_CONV_PROGRESS = WM_USER + 100;  // payload: ProgressPayload
constexpr uint32_t WM_CONV_LOG = WM_USER + 101;       // payload: std::string; lParam: kind
constexpr uint32_t WM_CONV_DONE = WM_USER + 105;
// Asks the window to start a timer: wParam its id, lParam its period in ms.
constexpr uint32_t WM_CONV_START_TIMER = WM_USER + 106;

// Log kinds; 2, not 1, marks an error.
constexpr int LOG_INFO = 0;
constexpr int LOG_ERROR = 2;

struct ProgressPayload {
    float filePercent = 0;
    float batchPercent = 0;
};

// The state one batch shares between the progress window, the batch worker and the stage
// threads. It is held by shared pointer: a thread that outlives a bounded wait keeps it alive
// and touches nothing freed. No lock guards it; every member has one writer at a time (only
// m_running has several, and after the start they all store 0).
class CConversionState : public std::enable_shared_from_this<CConversionState> {
public:
    CConversionState() = default;
    virtual ~CConversionState() = default;
    CConversionState(const CConversionState&) = delete;
    CConversionState& operator=(const CConversionState&) = delete;

    // The window's start: flags cleared, counters zeroed, first task selected.
    void ResetCounters();

    // Delivers WM_CONV_PROGRESS; with send the call returns after the window handled it.
    void PostProgress(float filePercent, float batchPercent, bool send);
    void PostLog(const std::string& line, int kind);
    // An error report: the red line, and the batch stops.
    void ReportError(const std::string& line);
    void PostDone();
    // Synchronous, as the worker sets the window's caption (control 0) and control texts.
    void SetWindowText(int control, const std::string& text);

    // The batch worker's body: converts m_tasks one after the other until the end, the first
    // failure or a cancel. Defined with the batch driver.
    void RunBatch();

    std::atomic<int> m_running{0};
    std::atomic<int> m_paused{0};
    std::atomic<uint64_t> m_batchSamplesDone{0};
    std::atomic<uint64_t> m_fileSamplesDone{0};
    uint64_t m_batchSamplesTotal = 0;  // set before the window opens
    std::atomic<float> m_batchSecondsDone{0};
    std::atomic<float> m_fileSecondsDone{0};
    std::atomic<int> m_taskIndex{0};
    CThreadRef m_workerThread;
    CThreadRef m_encodeThread;
    CThreadRef m_processThread;            // null when the task has none
    std::vector<CConversionTask> m_tasks;  // filled before the window opens
    std::atomic<uint32_t> m_taskStartTick{0};
    std::atomic<uint32_t> m_batchStartTick{0};

    // Nonzero while a stage waits on something that is not a stall (a message box, a slow
    // close); the batch's stall watchdog does not count that time.
    std::atomic<int> m_stageWaits{0};

    // Where messages go; set on the window's thread before the worker starts.
    std::shared_ptr<CWindowPort> m_window;

private:
    // After a task that did not convert to its end: what its MP3 file holds, or its removal
    // when it holds nothing.
    void ReportUnfinishedOutput(const CConversionTask& task);
    bool WaitForStage(const std::shared_ptr<CThread>& thread);
};

// Marks a stage's wait on the user or the disk for the stall watchdog, for its lifetime.
class CStageWaits {
public:
    explicit CStageWaits(CConversionState& state) : m_state(state) {
        m_state.m_stageWaits.fetch_add(1, std::memory_order_acq_rel);
    }
    ~CStageWaits() { m_state.m_stageWaits.fetch_sub(1, std::memory_order_acq_rel); }
    CStageWaits(const CStageWaits&) = delete;
    CStageWaits& operator=(const CStageWaits&) = delete;

private:
    CConversionState& m_state;
};

// The open progress window's state; set and read on the user-interface thread.
extern CConversionState* g_convProg;
