#include "batch/ConversionState.h"

CConversionState* g_convProg = nullptr;

void CConversionState::ResetCounters() {
    m_paused.store(0, std::memory_order_release);
    m_running.store(0, std::memory_order_release);
    m_fileSecondsDone.store(0, std::memory_order_relaxed);
    m_batchSecondsDone.store(0, std::memory_order_relaxed);
    m_taskIndex.store(0, std::memory_order_relaxed);
    m_fileSamplesDone.store(0, std::memory_order_relaxed);
    m_batchSamplesDone.store(0, std::memory_order_release);
}

void CConversionState::PostProgress(float filePercent, float batchPercent, bool send) {
    if (!m_window)
        return;
    Message message{WM_CONV_PROGRESS, 0, 0, ProgressPayload{filePercent, batchPercent}};
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
