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

// One progress report. Several files may be in flight; the window's file block follows the
// one that started first among them (leading), and each report says which file it is about.
struct ProgressPayload {
    float filePercent = 0;       // of the file taskIndex
    float batchPercent = 0;      // all files in flight counted
    int taskIndex = 0;           // index in m_tasks
    bool leading = true;         // the file the window's file block shows
    float fileSecondsDone = 0;   // seconds of audio written for that file
    uint32_t fileStartTick = 0;  // GetTickCount() when that file's pipeline started
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

    // Where messages go; set on the window's thread before the worker starts.
    std::shared_ptr<CWindowPort> m_window;

private:
    bool WaitForStage(const std::shared_ptr<CThread>& thread);
};

// The open progress window's state; set and read on the user-interface thread.
extern CConversionState* g_convProg;
