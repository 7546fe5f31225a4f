#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/ConversionTask.h"
#include "engine/Pipeline.h"
#include "platform/Message.h"
#include "platform/Thread.h"

// Messages to the progress window.
constexpr uint32_t WM_CONV_PROGRESS = WM_USER + 100;  // payload: ProgressPayload
constexpr uint32_t WM_CONV_LOG = WM_USER + 101;       // payload: std::string; lParam: kind
constexpr uint32_t WM_CONV_DONE = WM_USER + 105;
// Asks the window to start a timer: wParam its id, lParam its period in ms.
constexpr uint32_t WM_CONV_START_TIMER = WM_USER + 106;

struct ProgressPayload {
    float filePercent = 0;       // of the file taskIndex
    float batchPercent = 0;      // all files in flight counted
    int taskIndex = 0;           // index in m_tasks
    bool leading = true;         // the file the window's file block shows
    float fileSecondsDone = 0;   // seconds of audio written for that file
    uint32_t fileStartTick = 0;  // GetTickCount() when that file's pipeline started
};

// The state of one batch: what the progress window, the batch worker and the pipelines share.
// Each file's own state (rings, stage threads, counters) lives in its CPipeline; this keeps the
// run and pause flags, the batch totals and the window port. Held by shared pointer: the worker
// and the file threads keep it alive; a pipeline only holds it weakly.
class CConversionState : public IPipelineHost,
                         public std::enable_shared_from_this<CConversionState> {
public:
    CConversionState() = default;
    ~CConversionState() override = default;
    CConversionState(const CConversionState&) = delete;
    CConversionState& operator=(const CConversionState&) = delete;

    // The window's start: flags cleared, counters zeroed, first task selected.
    void ResetCounters();

    // Delivers WM_CONV_PROGRESS; with send the call returns after the window handled it.
    void PostProgress(float filePercent, float batchPercent, bool send);
    void PostProgress(const ProgressPayload& payload, bool send);
    void PostLog(const std::string& line, int kind);
    // A batch-level error: the red line, and the batch stops.
    void ReportError(const std::string& line);
    void PostDone();
    // Synchronous, as the worker sets the window's caption (control 0) and control texts.
    void SetWindowText(int control, const std::string& text);

    // The batch worker's body: feeds m_tasks to up to m_filesAtOnce pipelines at a time until
    // the end or a cancel, then sums up. Defined with the batch driver.
    void RunBatch();

    // What the pipelines see of the batch.
    bool IsRunning() const override { return m_running.load(std::memory_order_acquire) != 0; }
    bool IsPaused() const override { return m_paused.load(std::memory_order_acquire) != 0; }
    void PipelineLog(const CPipeline& pipeline, const std::string& line, int kind) override;
    void PipelineAdvanced(uint64_t samples, double seconds) override;
    void PipelineProgress(const CPipeline& pipeline, bool send) override;

    std::atomic<int> m_running{0};
    std::atomic<int> m_paused{0};
    std::atomic<uint64_t> m_batchSamplesDone{0};
    uint64_t m_batchSamplesTotal = 0;  // set before the window opens
    std::atomic<double> m_batchSecondsDone{0};
    std::atomic<int> m_taskIndex{0};  // files started so far
    CThreadRef m_workerThread;
    std::vector<CConversionTask> m_tasks;  // filled before the window opens
    // Start of the file the window's file block follows (the earliest started in flight).
    std::atomic<uint32_t> m_taskStartTick{0};
    std::atomic<uint32_t> m_batchStartTick{0};

    // Set before the worker starts: files converted at the same time (1 to 16), and whether a
    // failed file stops the batch (no new file starts; those in flight are finished).
    int m_filesAtOnce = 1;
    bool m_stopOnError = false;
    // A stage that makes no progress this long after its file was decoded is given up on.
    uint32_t m_stageStallMs = 10000;

    // The outcome so far; final once the worker has ended.
    std::atomic<int> m_filesConverted{0};
    std::atomic<int> m_filesFailed{0};

    // Where messages go; set on the window's thread before the worker starts.
    std::shared_ptr<CWindowPort> m_window;

private:
    // One started file: its log lines wait here until it is the earliest in flight, so the log
    // keeps each file's lines together, in the order the files started.
    struct CFileBlock {
        std::shared_ptr<CPipeline> pipeline;
        std::string source, dest;
        std::vector<std::pair<std::string, int>> lines;
        std::string failure;  // reason, when the file failed
        bool ended = false;
    };
    enum class FileOutcome { Converted, Failed, Cancelled };

    void FileLog(int index, const std::string& line, int kind);
    int StartFile(int index);
    void RunFile(const std::shared_ptr<CPipeline>& pipeline, uint32_t turnStart);
    void EndFile(int index, FileOutcome outcome, const std::string& reason);
    // After a file that did not convert to its end: what its MP3 file holds, or its removal
    // when it holds nothing.
    void ReportUnfinishedOutput(const CPipeline& pipeline);
    void SumUp(int count, uint32_t t0);

    std::mutex m_blockMutex;
    std::condition_variable m_fileEnded;
    std::vector<CFileBlock> m_blocks;  // one per task, in task order
    int m_leading = 0;                 // earliest started file not yet ended
    int m_started = 0;
    int m_inFlight = 0;
    bool m_stopStarting = false;
    std::atomic<int> m_leadingIndex{0};
};

// The open progress window's state; set and read on the user-interface thread.
extern CConversionState* g_convProg;
