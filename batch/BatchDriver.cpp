#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>

#include "batch/ConversionState.h"
#include "engine/ConversionTask.h"
#include "engine/TaskReport.h"
#include "platform/FileSystem.h"
#include "platform/Tick.h"

namespace {

const std::string SEPARATOR_LINE(99, '-');
constexpr int MAX_FILES_AT_ONCE = 16;
// A dangling link looks free yet cannot be created: the tries for a free name are bounded.
constexpr int NAME_TRIES = 100;

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

// Picks the output name and creates the file at once, so no other pipeline and no other
// program can take the same name between the pick and the write. Returns the open file, or -1
// when it cannot be created (the encode stage then reports why).
int ReserveOutput(std::string& path) {
    const std::string wanted = path;
    if (PathFileExists(path))
        path = MakeUniqueName(wanted);
    for (int tries = 0; tries < NAME_TRIES; ++tries) {
        const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
        path = MakeUniqueName(wanted);
    }
    return -1;
}

}  // namespace

void CConversionState::ReportUnfinishedOutput(const CPipeline& pipeline) {
    const CConversionTask& task = pipeline.Task();
    const int index = pipeline.Index();
    const uint64_t held = pipeline.SamplesDone();
    if (held == 0) {
        // A file without a single frame is no MP3 any player reads.
        if (::unlink(task.m_destPath.c_str()) == 0)
            FileLog(index, task.m_destPath + " holds no audio and was removed.", LOG_ERROR);
        return;
    }
    if (held >= task.m_totalSamples)
        return;
    const double perSecond = static_cast<double>(task.m_destRate) * task.m_destChannels;
    FileLog(index,
            IncompleteFileLine(task.m_destPath, static_cast<double>(held) / perSecond,
                               static_cast<double>(task.m_totalSamples) / perSecond),
            LOG_ERROR);
}

void CConversionState::FileLog(int index, const std::string& line, int kind) {
    std::lock_guard lock(m_blockMutex);
    if (index <= m_leading || index >= static_cast<int>(m_blocks.size()))
        PostLog(line, kind);
    else
        m_blocks[index].lines.emplace_back(line, kind);
}

void CConversionState::RunBatch() {
    Sleep(500);
    if (m_window)
        m_window->Post(Message{WM_CONV_START_TIMER, 1, 1000, {}});
    const uint32_t t0 = GetTickCount();
    m_batchStartTick.store(t0, std::memory_order_release);
    m_taskIndex.store(0, std::memory_order_release);
    const int count = static_cast<int>(m_tasks.size());
    const int atOnce = std::clamp(m_filesAtOnce, 1, MAX_FILES_AT_ONCE);
    {
        std::lock_guard lock(m_blockMutex);
        m_blocks.assign(static_cast<size_t>(count), CFileBlock{});
        m_leading = m_started = m_inFlight = 0;
        m_stopStarting = false;
        m_leadingIndex.store(0, std::memory_order_release);
    }

    for (int index = 0; index < count; ++index) {
        {
            std::unique_lock lock(m_blockMutex);
            // Short waits: a cancel clears m_running without waking anybody.
            while (m_inFlight >= atOnce && IsRunning())
                m_fileEnded.wait_for(lock, std::chrono::milliseconds(50));
            if (!IsRunning() || m_stopStarting)
                break;
        }
        StartFile(index);
    }
    {
        std::unique_lock lock(m_blockMutex);
        m_fileEnded.wait(lock, [this] { return m_inFlight == 0; });
    }
    SumUp(count, t0);
}

int CConversionState::StartFile(int index) {
    const CConversionTask& original = m_tasks[static_cast<size_t>(index)];
    bool leading = false;
    {
        std::lock_guard lock(m_blockMutex);
        m_started = index + 1;
        ++m_inFlight;
        m_blocks[static_cast<size_t>(index)].source = original.m_sourcePath;
    }
    m_taskIndex.store(index + 1, std::memory_order_release);
    FileLog(index, SEPARATOR_LINE, LOG_INFO);
    const uint32_t turnStart = GetTickCount();
    char title[64];
    std::snprintf(title, sizeof title, "Converting %d/%d", index + 1,
                  static_cast<int>(m_tasks.size()));
    SetWindowText(0, title);

    CConversionTask task = original;
    const size_t slash = task.m_destPath.rfind(PATH_SEPARATOR);
    const std::string folder =
        slash == std::string::npos ? std::string() : task.m_destPath.substr(0, slash);
    if (!folder.empty() && !PathFileExists(folder) && !CreateDirectoryTree(folder)) {
        const std::string line =
            Format("Fail to create folder %s", folder) + " (" + ErrorText(errno) + ") !";
        FileLog(index, line, LOG_ERROR);
        EndFile(index, FileOutcome::Failed, line);
        return 0;
    }
    task.m_plainDestPath = task.m_destPath;
    const int reserved = ReserveOutput(task.m_destPath);

    auto pipeline = CPipeline::Create(task, index, weak_from_this());
    pipeline->SetOutputFile(reserved);
    {
        std::lock_guard lock(m_blockMutex);
        auto& block = m_blocks[static_cast<size_t>(index)];
        block.pipeline = pipeline;
        block.dest = task.m_destPath;
        leading = index == m_leading;
    }
    if (leading) {
        SetWindowText(1092, task.m_sourcePath);
        SetWindowText(1093, task.m_destPath);
    }
    FileLog(index, "Start a new converting task.", LOG_INFO);
    FileLog(index, Format("Source:  %s.", task.m_sourcePath), LOG_INFO);
    FileLog(index, Format("Destination: %s.", task.m_destPath), LOG_INFO);

    const uint32_t startTick = GetTickCount();
    pipeline->m_startTick.store(startTick, std::memory_order_release);
    if (leading)
        m_taskStartTick.store(startTick, std::memory_order_release);
    auto thread = CThread::Create([self = shared_from_this(), pipeline, turnStart] {
        self->RunFile(pipeline, turnStart);
        return 0;
    });
    thread->Resume();
    return 1;
}

void CConversionState::RunFile(const std::shared_ptr<CPipeline>& pipeline, uint32_t turnStart) {
    const int index = pipeline->Index();
    const bool ended = pipeline->Run(m_stageStallMs);
    std::string reason = pipeline->FirstError();
    FileOutcome outcome = FileOutcome::Converted;
    if (!ended) {
        // The stage keeps only its own pipeline: the other files go on.
        const std::string line = "A conversion stage stopped responding.";
        FileLog(index, line, LOG_ERROR);
        if (reason.empty())
            reason = line;
        outcome = FileOutcome::Failed;
    } else if (pipeline->HasFailed()) {
        outcome = FileOutcome::Failed;
    } else if (!IsRunning()) {
        outcome = FileOutcome::Cancelled;
    }

    if (outcome == FileOutcome::Converted) {
        const float e = static_cast<float>(GetTickCount() - turnStart) / 1000.0f;
        const float speed = e > 0 ? pipeline->SecondsDone() / e : 0.0f;
        FileLog(index, FormatTimes("Time elapsed %.2f secs, speed %.2fx.", e, speed), LOG_INFO);
        FileLog(index, "Converting status: OK.", LOG_INFO);
    } else {
        FileLog(index, "Converting status: ERROR.", LOG_ERROR);
        // The encode stage finished and tagged what it had; say what that is. A stage that
        // still runs may still write, so its file is left alone.
        if (ended && pipeline->Task().m_destCreated.load(std::memory_order_acquire))
            ReportUnfinishedOutput(*pipeline);
    }
    EndFile(index, outcome, reason);
}

void CConversionState::EndFile(int index, FileOutcome outcome, const std::string& reason) {
    std::shared_ptr<CPipeline> next;
    std::string nextSource, nextDest;
    std::shared_ptr<CPipeline> finished;  // released outside the lock
    {
        std::lock_guard lock(m_blockMutex);
        auto& block = m_blocks[static_cast<size_t>(index)];
        block.ended = true;
        finished = std::move(block.pipeline);
        if (outcome == FileOutcome::Failed) {
            block.failure = reason;
            m_filesFailed.fetch_add(1, std::memory_order_acq_rel);
            if (m_stopOnError)
                m_stopStarting = true;
        } else if (outcome == FileOutcome::Converted) {
            m_filesConverted.fetch_add(1, std::memory_order_acq_rel);
        }
        // The next file in start order takes over the log and the window's file block; the
        // lines its block gathered meanwhile go out first, together.
        while (m_leading < m_started && m_blocks[static_cast<size_t>(m_leading)].ended) {
            ++m_leading;
            if (m_leading < static_cast<int>(m_blocks.size())) {
                auto& lines = m_blocks[static_cast<size_t>(m_leading)].lines;
                for (const auto& [line, kind] : lines)
                    PostLog(line, kind);
                lines.clear();
            }
        }
        if (m_leading != m_leadingIndex.load(std::memory_order_relaxed) && m_leading < m_started) {
            const auto& block = m_blocks[static_cast<size_t>(m_leading)];
            next = block.pipeline;
            nextSource = block.source;
            nextDest = block.dest;
        }
        m_leadingIndex.store(m_leading, std::memory_order_release);
        --m_inFlight;
        m_fileEnded.notify_all();
    }
    if (next) {
        m_taskStartTick.store(next->m_startTick.load(std::memory_order_acquire),
                              std::memory_order_release);
        SetWindowText(1092, nextSource);
        SetWindowText(1093, nextDest);
    }
}

void CConversionState::SumUp(int count, uint32_t t0) {
    if (!IsRunning())
        return;  // cancelled: the window is closing
    const int failed = m_filesFailed.load(std::memory_order_acquire);
    const int converted = m_filesConverted.load(std::memory_order_acquire);
    const bool stopped = m_stopOnError && failed > 0;
    if (!stopped && count > 1) {
        PostLog(SEPARATOR_LINE, LOG_INFO);
        const float e = static_cast<float>(GetTickCount() - t0) / 1000.0f;
        const float speed = e > 0 ? m_batchSecondsDone.load() / e : 0.0f;
        PostLog(FormatTimes("Total time elapsed %.2f secs, overall speed %.2fx.", e, speed),
                LOG_INFO);
    }
    if (failed > 0) {
        // The failures once more, at the end, where nobody has to search for them.
        char line[160];
        int notStarted = 0;
        {
            std::lock_guard lock(m_blockMutex);
            notStarted = count - m_started;
        }
        if (notStarted > 0)
            std::snprintf(line, sizeof line, "%d of %d files converted, %d failed, %d not started.",
                          converted, count, failed, notStarted);
        else
            std::snprintf(line, sizeof line, "%d of %d files converted, %d failed.", converted,
                          count, failed);
        PostLog(line, LOG_ERROR);
        std::lock_guard lock(m_blockMutex);
        for (const auto& block : m_blocks)
            if (!block.failure.empty())
                PostLog("Failed: " + block.source + ": " + block.failure, LOG_ERROR);
    }
    if (stopped)
        m_running.store(0, std::memory_order_release);
    else
        PostDone();
}
