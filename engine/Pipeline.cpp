#include "engine/Pipeline.h"

#include <unistd.h>

#include "platform/Tick.h"

std::shared_ptr<CPipeline> CPipeline::Create(const CConversionTask& task, int index,
                                             std::weak_ptr<IPipelineHost> host) {
    return std::shared_ptr<CPipeline>(new CPipeline(task, index, std::move(host)));
}

CPipeline::CPipeline(const CConversionTask& task, int index, std::weak_ptr<IPipelineHost> host)
    : m_task(task), m_index(index), m_host(std::move(host)) {
    m_task.m_pipeline = this;
    m_task.m_encoderRing = nullptr;
    m_task.m_decodeBuffer = nullptr;
}

CPipeline::~CPipeline() {
    const int fd = m_outputFd.exchange(-1);
    if (fd >= 0)
        ::close(fd);
}

bool CPipeline::IsRunning() const {
    if (HasFailed())
        return false;
    auto host = m_host.lock();
    return host && host->IsRunning();
}

bool CPipeline::IsPaused() const {
    auto host = m_host.lock();
    return host && host->IsPaused();
}

std::string CPipeline::FirstError() const {
    std::lock_guard lock(m_errorMutex);
    return m_firstError;
}

void CPipeline::Log(const std::string& line, int kind) {
    if (auto host = m_host.lock())
        host->PipelineLog(*this, line, kind);
}

void CPipeline::RecordError(const std::string& line) {
    {
        std::lock_guard lock(m_errorMutex);
        if (m_firstError.empty())
            m_firstError = line;
    }
    Log(line, LOG_ERROR);
}

void CPipeline::ReportError(const std::string& line) {
    RecordError(line);
    m_failed.store(1, std::memory_order_release);
    // Stages waiting on a ring look at the flags again at once.
    m_decodeRing.Wake();
    m_processedRing.Wake();
}

void CPipeline::Advance(uint64_t n) {
    const uint64_t before = m_samplesDone.fetch_add(n, std::memory_order_acq_rel);
    // Seconds follow from the 64-bit counter, so the batch's sum telescopes instead of
    // drifting as a sum of rounded chunks would over hours.
    const long double perSecond =
        static_cast<long double>(m_task.m_destChannels) * m_task.m_destRate;
    if (auto host = m_host.lock())
        host->PipelineAdvanced(
            n, perSecond > 0
                   ? static_cast<double>(static_cast<long double>(before + n) / perSecond -
                                         static_cast<long double>(before) / perSecond)
                   : 0.0);
}

float CPipeline::Percent() const {
    const uint64_t done = SamplesDone();
    const uint64_t total = m_task.m_totalSamples;
    if (total == 0)
        return done ? 100.0f : 0.0f;
    return static_cast<float>(static_cast<long double>(done) * 100 / total);
}

void CPipeline::ReportProgress(bool send) {
    if (auto host = m_host.lock())
        host->PipelineProgress(*this, send);
}

int CPipeline::TakeOutputFile() {
    return m_outputFd.exchange(-1);
}

void CPipeline::SetOutputFile(int fd) {
    const int old = m_outputFd.exchange(fd);
    if (old >= 0)
        ::close(old);
}

// A paused batch, or a stage still producing output, is not stalled: the limit counts only time
// without progress, so a long pause never cuts a file short.
bool CPipeline::WaitForStage(const std::shared_ptr<CThread>& thread, uint32_t stallMs) {
    if (!thread)
        return true;
    uint64_t lastDone = SamplesDone();
    uint32_t stalledSince = GetTickCount();
    while (!thread->WaitFor(100)) {
        const uint64_t done = SamplesDone();
        auto host = m_host.lock();
        const bool paused = host && host->IsPaused() && host->IsRunning();
        const bool waiting = m_stageWaits.load(std::memory_order_acquire) > 0;
        if (done != lastDone || paused || waiting) {
            lastDone = done;
            stalledSince = GetTickCount();
        } else if (GetTickCount() - stalledSince >= stallMs) {
            return false;
        }
    }
    return true;
}

bool CPipeline::Run(uint32_t stallMs) {
    m_startTick.store(GetTickCount(), std::memory_order_release);
    // A source that ended early still has its decoded part encoded: the file fails only once
    // the stages have ended.
    const bool decoded = m_task.StartPipeline() != 0;
    if (!decoded && !m_task.m_sourceIncomplete.load(std::memory_order_acquire))
        m_failed.store(1, std::memory_order_release);
    bool ended = true;
    if (m_task.m_needsProcessing)
        ended = WaitForStage(m_processThread.Get(), stallMs);
    ended = WaitForStage(m_encodeThread.Get(), stallMs) && ended;
    if (m_task.m_sourceIncomplete.load(std::memory_order_acquire))
        m_failed.store(1, std::memory_order_release);
    // The output name was reserved, but no encode stage took the file: give the name back.
    if (const int fd = TakeOutputFile(); fd >= 0) {
        ::close(fd);
        ::unlink(m_task.m_destPath.c_str());
    }
    return ended;
}
