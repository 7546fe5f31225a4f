#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "batch/ConversionState.h"
#include "engine/ConversionTask.h"
#include "engine/TaskReport.h"
#include "platform/FileSystem.h"
#include "platform/Tick.h"

namespace {

const std::string SEPARATOR_LINE(99, '-');

// How long a stage may go without progress, once decoding has ended, before the batch gives up
// on it.
constexpr uint32_t STAGE_STALL_MS = 10000;

std::string Format(const char* format, const std::string& arg) {
    std::string text(arg.size() + 128, '\0');
    text.resize(std::snprintf(text.data(), text.size(), format, arg.c_str()));
    return text;
}

std::string FormatTimes(const char* format, float seconds, float speed) {
    char text[160];
    std::snprintf(text, sizeof text, format, seconds, speed);
    return text;
}

}  // namespace

void CConversionState::ReportUnfinishedOutput(const CConversionTask& task) {
    const uint64_t held = m_fileSamplesDone.load(std::memory_order_acquire);
    if (held == 0) {
        // A file without a single frame is no MP3 any player reads.
        if (::unlink(task.m_destPath.c_str()) == 0)
            PostLog(task.m_destPath + " holds no audio and was removed.", LOG_ERROR);
        return;
    }
    if (held >= task.m_totalSamples)
        return;
    const double perSecond = static_cast<double>(task.m_destRate) * task.m_destChannels;
    PostLog(IncompleteFileLine(task.m_destPath, static_cast<double>(held) / perSecond,
                               static_cast<double>(task.m_totalSamples) / perSecond),
            LOG_ERROR);
}

// Waits for a stage thread to end. A paused batch, or a stage still producing output, is not
// stalled: the limit counts only time without progress, so a long pause never cuts a file short.
// True when the thread ended.
bool CConversionState::WaitForStage(const std::shared_ptr<CThread>& thread) {
    if (!thread)
        return true;
    uint64_t lastDone = m_fileSamplesDone.load(std::memory_order_acquire);
    uint32_t stalledSince = GetTickCount();
    while (!thread->WaitFor(100)) {
        const uint64_t done = m_fileSamplesDone.load(std::memory_order_acquire);
        const bool paused =
            m_paused.load(std::memory_order_acquire) && m_running.load(std::memory_order_acquire);
        const bool waiting = m_stageWaits.load(std::memory_order_acquire) > 0;
        if (done != lastDone || paused || waiting) {
            lastDone = done;
            stalledSince = GetTickCount();
        } else if (GetTickCount() - stalledSince >= STAGE_STALL_MS) {
            return false;
        }
    }
    return true;
}

void CConversionState::RunBatch() {
    Sleep(500);
    if (m_window)
        m_window->Post(Message{WM_CONV_START_TIMER, 1, 1000, {}});
    const uint32_t t0 = GetTickCount();
    m_batchStartTick.store(t0, std::memory_order_release);
    m_taskIndex.store(0, std::memory_order_release);
    const int count = static_cast<int>(m_tasks.size());

    while (m_taskIndex.load() < count && m_running.load(std::memory_order_acquire)) {
        const int index = m_taskIndex.load();
        PostLog(SEPARATOR_LINE, LOG_INFO);
        const uint32_t tTask = GetTickCount();
        char title[64];
        std::snprintf(title, sizeof title, "Converting %d/%d", index + 1, count);
        SetWindowText(0, title);

        // The pipeline runs on a private copy, shared with the stage threads.
        auto task = std::make_shared<CConversionTask>(m_tasks[index]);
        task->m_state = shared_from_this();

        const size_t slash = task->m_destPath.rfind(PATH_SEPARATOR);
        const std::string folder =
            slash == std::string::npos ? std::string() : task->m_destPath.substr(0, slash);
        if (!folder.empty() && !PathFileExists(folder) && !CreateDirectoryTree(folder)) {
            const std::string reason = ErrorText(errno);
            ReportError(Format("Fail to create folder %s", folder) + " (" + reason + ") !");
            break;
        }
        task->m_plainDestPath = task->m_destPath;
        if (PathFileExists(task->m_destPath))
            task->m_destPath = MakeUniqueName(task->m_destPath);

        SetWindowText(1092, task->m_sourcePath);
        SetWindowText(1093, task->m_destPath);
        PostLog("Start a new converting task.", LOG_INFO);
        PostLog(Format("Source:  %s.", task->m_sourcePath), LOG_INFO);
        PostLog(Format("Destination: %s.", task->m_destPath), LOG_INFO);

        m_fileSamplesDone.store(0, std::memory_order_release);
        m_fileSecondsDone.store(0, std::memory_order_release);
        m_taskStartTick.store(GetTickCount(), std::memory_order_release);
        g_decodeRing->Reset();
        g_processedRing->Reset();

        // A source that ended early still has its decoded part encoded: the task fails only
        // once the stages have ended.
        if (!task->StartPipeline() && !task->m_sourceIncomplete.load(std::memory_order_acquire))
            m_running.store(0, std::memory_order_release);

        // Processing first, then encoding: the order the samples flow.
        bool ended = true;
        if (task->m_needsProcessing)
            ended = WaitForStage(m_processThread.Get());
        ended = WaitForStage(m_encodeThread.Get()) && ended;
        g_currentTask.store(nullptr, std::memory_order_release);
        if (!ended) {
            // A stage that still runs shares the rings: no further task may start.
            PostLog("A conversion stage stopped responding.", LOG_ERROR);
            m_running.store(0, std::memory_order_release);
        }

        if (ended && task->m_sourceIncomplete.load(std::memory_order_acquire))
            m_running.store(0, std::memory_order_release);

        if (m_running.load(std::memory_order_acquire)) {
            const float e = static_cast<float>(GetTickCount() - tTask) / 1000.0f;
            const float speed = e > 0 ? m_fileSecondsDone.load() / e : 0.0f;
            PostLog(FormatTimes("Time elapsed %.2f secs, speed %.2fx.", e, speed), LOG_INFO);
            PostLog("Converting status: OK.", LOG_INFO);
        } else {
            PostLog("Converting status: ERROR.", LOG_ERROR);
            // The encode stage finished and tagged what it had; say what that is. A stage that
            // still runs may still write, so its file is left alone.
            if (ended && task->m_destCreated.load(std::memory_order_acquire))
                ReportUnfinishedOutput(*task);
        }
        m_taskIndex.store(index + 1, std::memory_order_release);
    }

    if (m_running.load(std::memory_order_acquire)) {
        if (count > 1) {
            PostLog(SEPARATOR_LINE, LOG_INFO);
            const float e = static_cast<float>(GetTickCount() - t0) / 1000.0f;
            const float speed = e > 0 ? m_batchSecondsDone.load() / e : 0.0f;
            PostLog(FormatTimes("Total time elapsed %.2f secs, overall speed %.2fx.", e, speed),
                    LOG_INFO);
        }
        PostDone();
    }
}
