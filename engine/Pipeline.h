#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "engine/ConversionTask.h"
#include "engine/RingBuffer.h"
#include "platform/Thread.h"

// Log kinds; 2, not 1, marks an error.
constexpr int LOG_INFO = 0;
constexpr int LOG_ERROR = 2;

class CPipeline;

// What a pipeline needs from the batch it runs in; the batch implements it. A pipeline holds
// it weakly, so a stage thread that outlives its batch keeps nothing of the batch alive and
// reports into the void.
class IPipelineHost {
public:
    virtual ~IPipelineHost() = default;
    virtual bool IsRunning() const = 0;
    virtual bool IsPaused() const = 0;
    virtual void PipelineLog(const CPipeline& pipeline, const std::string& line, int kind) = 0;
    // samples more sample values, worth seconds of audio, were written to an MP3 file.
    virtual void PipelineAdvanced(uint64_t samples, double seconds) = 0;
    // A progress report of the file; with send the call returns after the window handled it.
    virtual void PipelineProgress(const CPipeline& pipeline, bool send) = 0;
};

// One file's conversion and everything it runs on: its task, its two rings, its stage threads,
// its counters and its start tick. Stage threads hold it by shared pointer, so one that
// outlives a bounded wait keeps only its own pipeline alive and can touch no other file's.
class CPipeline : public std::enable_shared_from_this<CPipeline> {
public:
    // task is copied; index is the task's place in its batch.
    static std::shared_ptr<CPipeline> Create(const CConversionTask& task, int index,
                                             std::weak_ptr<IPipelineHost> host);
    ~CPipeline();

    CPipeline(const CPipeline&) = delete;
    CPipeline& operator=(const CPipeline&) = delete;

    CConversionTask& Task() { return m_task; }
    const CConversionTask& Task() const { return m_task; }
    int Index() const { return m_index; }
    SampleRing& DecodeRing() { return m_decodeRing; }
    SampleRing& ProcessedRing() { return m_processedRing; }

    // The batch runs and this file has not failed.
    bool IsRunning() const;
    bool IsPaused() const;
    bool HasFailed() const { return m_failed.load(std::memory_order_acquire) != 0; }
    // The first error line of this file, empty while there is none.
    std::string FirstError() const;

    void Log(const std::string& line, int kind);
    // An error: the red line, and this file's stages stop. The batch decides about the rest.
    void ReportError(const std::string& line);
    // An error that lets the stages finish what they hold (a source that ended early): the red
    // line, remembered as the file's reason, and the file fails once its stages have ended.
    void RecordError(const std::string& line);
    // After n sample values were written to the MP3 file.
    void Advance(uint64_t n);
    void ReportProgress(bool send);

    uint64_t SamplesDone() const { return m_samplesDone.load(std::memory_order_acquire); }
    float SecondsDone() const { return m_task.SamplesToSeconds(SamplesDone()); }
    float Percent() const;

    // Converts the file on the calling thread: StartPipeline (the decode stage runs here),
    // then waits for the processing and encode threads in the order the samples flow. A stage
    // that makes no progress for stallMs is given up on; false then.
    bool Run(uint32_t stallMs);

    // An output file already created for this task (its name reserved), or -1; the encode
    // stage takes it over.
    int TakeOutputFile();
    void SetOutputFile(int fd);

    CThreadRef m_processThread;  // null when the task has none
    CThreadRef m_encodeThread;
    std::atomic<uint32_t> m_startTick{0};
    // Nonzero while a stage waits on something that is not a stall (a message box, a slow
    // close); the stall watchdog does not count that time.
    std::atomic<int> m_stageWaits{0};

private:
    CPipeline(const CConversionTask& task, int index, std::weak_ptr<IPipelineHost> host);
    bool WaitForStage(const std::shared_ptr<CThread>& thread, uint32_t stallMs);

    CConversionTask m_task;
    const int m_index;
    const std::weak_ptr<IPipelineHost> m_host;
    SampleRing m_decodeRing{RING_SLOTS};
    SampleRing m_processedRing{RING_SLOTS};
    std::atomic<uint64_t> m_samplesDone{0};
    std::atomic<int> m_failed{0};
    std::atomic<int> m_outputFd{-1};
    mutable std::mutex m_errorMutex;
    std::string m_firstError;
};

// Marks a stage's wait on the user or the disk for the stall watchdog, for its lifetime.
class CStageWaits {
public:
    explicit CStageWaits(CPipeline& pipeline) : m_pipeline(pipeline) {
        m_pipeline.m_stageWaits.fetch_add(1, std::memory_order_acq_rel);
    }
    ~CStageWaits() { m_pipeline.m_stageWaits.fetch_sub(1, std::memory_order_acq_rel); }
    CStageWaits(const CStageWaits&) = delete;
    CStageWaits& operator=(const CStageWaits&) = delete;

private:
    CPipeline& m_pipeline;
};
