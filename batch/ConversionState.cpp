#include "batch/ConversionState.h"

CConversionState* g_convProg = nullptr;

void CConversionState::ResetCounters() {
    m_paused.store(0, std::memory_order_release);
    m_running.store(0, std::memory_order_release);
    m_batchSecondsDone.store(0, std::memory_order_relaxed);
    m_taskIndex.store(0, std::memory_order_relaxed);
    m_filesConverted.store(0, std::memory_order_relaxed);
    m_filesFailed.store(0, std::memory_order_relaxed);
    m_batchSamplesDone.store(0, std::memory_order_release);
}

void CConversionState::PostProgress(float filePercent, float batchPercent, bool send) {
    ProgressPayload payload;
    payload.filePercent = filePercent;
    payload.batchPercent = batchPercent;
    PostProgress(payload, send);
}

void CConversionState::PostProgress(const ProgressPayload& payload, bool send) {
    if (!m_window)
        return;
    Message message{WM_CONV_PROGRESS, 0, 0, payload};
    if (send)
        m_window->Send(std::move(message));
    else
        m_window->Post(std::move(message));
}

void CConversionState::PostLog(const std::string& line, int kind) {
    if (m_window)
        m_window->Post(Message{WM_CONV_LOG, 0, kind, line});
}

void CConversionState::ReportError(const std::string& line) {
    PostLog(line, LOG_ERROR);
    m_running.store(0, std::memory_order_release);
}

void CConversionState::PostDone() {
    if (m_window)
        m_window->Post(Message{WM_CONV_DONE, 0, 0, {}});
}

void CConversionState::SetWindowText(int control, const std::string& text) {
    if (m_window)
        m_window->Send(Message{WM_SETTEXT, static_cast<uintptr_t>(control), 0, text});
}

void CConversionState::PipelineLog(const CPipeline& pipeline, const std::string& line, int kind) {
    FileLog(pipeline.Index(), line, kind);
}

void CConversionState::PipelineAdvanced(uint64_t samples, double seconds) {
    m_batchSamplesDone.fetch_add(samples, std::memory_order_acq_rel);
    m_batchSecondsDone.fetch_add(seconds, std::memory_order_acq_rel);
}

void CConversionState::PipelineProgress(const CPipeline& pipeline, bool send) {
    ProgressPayload payload;
    payload.taskIndex = pipeline.Index();
    payload.leading = pipeline.Index() == m_leadingIndex.load(std::memory_order_acquire);
    payload.filePercent = pipeline.Percent();
    const uint64_t done = m_batchSamplesDone.load(std::memory_order_acquire);
    if (m_batchSamplesTotal == 0)
        payload.batchPercent = done ? 100.0f : 0.0f;
    else
        payload.batchPercent =
            static_cast<float>(static_cast<long double>(done) * 100 / m_batchSamplesTotal);
    payload.fileSecondsDone = pipeline.SecondsDone();
    payload.fileStartTick = pipeline.m_startTick.load(std::memory_order_acquire);
    PostProgress(payload, send);
}
