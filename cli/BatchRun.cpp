#include "cli/BatchRun.h"

#include <signal.h>

#include <csignal>

#include "batch/ConversionState.h"
#include "cli/ProgressPrinter.h"
#include "engine/Engine.h"
#include "engine/OutputGuard.h"
#include "platform/Message.h"
#include "platform/Tick.h"

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

void OnStopSignal(int signal) {
    if (g_stopSignal != 0) {
        // A second stop ends the process at once; the MP3 being written is first cut back to
        // its last whole frame, so it stays a file players read.
        TruncateGuardedOutputs();
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    g_stopSignal = signal;
}

// After a stop the worker may still wait up to 10 s for each stage thread of a file.
constexpr uint32_t STOP_WAIT_MS = 25000;

std::string BaseName(const std::string& path) {
    const size_t sep = path.rfind('/');
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

}  // namespace

void InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // A closed terminal stops the batch as Ctrl-C does.
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
    // Over a file-size limit the write fails and is reported with its reason instead of the
    // process dying without a word.
    sigaction(SIGXFSZ, &ignore, nullptr);
}

bool StopRequested() {
    return g_stopSignal != 0;
}

BatchOutcome RunBatchInConsole(const std::shared_ptr<CConversionState>& state,
                               CConsoleReporter& reporter, bool& allThreadsEnded) {
    CMessageQueue queue;
    CProgressSnapshot snapshot;
    bool done = false;

    auto port = CWindowPort::Create(queue, [&](Message& message) -> intptr_t {
        switch (message.id) {
            case WM_CONV_LOG:
                if (const auto* text = std::any_cast<std::string>(&message.payload))
                    reporter.Log(*text, static_cast<int>(message.lParam));
                return 0;
            case WM_CONV_PROGRESS: {
                const auto* p = std::any_cast<ProgressPayload>(&message.payload);
                if (!p || !state->m_running.load(std::memory_order_acquire))
                    return 0;
                const uint32_t now = GetTickCount();
                // The file part follows the earliest started file in flight; every report
                // carries the batch's part.
                if (p->leading) {
                    snapshot.m_filePercent = p->filePercent;
                    snapshot.m_fileElapsed =
                        static_cast<uint32_t>(now - p->fileStartTick) / 1000.0f;
                    snapshot.m_fileSecondsDone = p->fileSecondsDone;
                }
                snapshot.m_batchPercent = p->batchPercent;
                snapshot.m_batchElapsed =
                    static_cast<uint32_t>(now - state->m_batchStartTick.load()) / 1000.0f;
                reporter.Progress(snapshot);
                return 0;
            }
            case WM_CONV_DONE:
                state->m_running.store(0, std::memory_order_release);
                done = true;
                reporter.Log("Finished converting, all done.", LOG_INFO);
                return 0;
            case WM_SETTEXT:
                if (const auto* text = std::any_cast<std::string>(&message.payload)) {
                    if (message.wParam == 0)
                        snapshot.m_caption = *text;
                    else if (message.wParam == 1092 && snapshot.m_fileName != BaseName(*text)) {
                        snapshot.m_fileName = BaseName(*text);
                        snapshot.m_filePercent = 0;
                        snapshot.m_fileElapsed = 0;
                        snapshot.m_fileSecondsDone = 0;
                    }
                }
                return 1;
            default:
                return 0;  // the log column timer has no console counterpart
        }
    });

    state->m_window = port;
    g_convProg = state.get();
    InitializeEngine();
    state->ResetCounters();
    state->m_running.store(1, std::memory_order_release);
    auto worker = CThread::Create([state] {
        state->RunBatch();
        return 0;
    });
    state->m_workerThread.Set(worker);
    worker->Resume();

    bool cancelled = false;
    while (!done && !worker->HasEnded()) {
        queue.WaitAndProcess(50);
        if (!done && StopRequested()) {
            cancelled = true;
            // As a confirmed Cancel: the stages stop, the encode stage closes and tags its file.
            state->m_running.store(0, std::memory_order_release);
            reporter.Note("interrupted, finishing the current file");
            break;
        }
    }

    // Bounded waits that keep delivering, so a stage's synchronous report cannot hang.
    const uint32_t start = GetTickCount();
    auto waitFor = [&](const std::shared_ptr<CThread>& thread) {
        while (thread && !thread->HasEnded() && GetTickCount() - start < STOP_WAIT_MS)
            queue.WaitAndProcess(20);
        return !thread || thread->HasEnded();
    };
    // The worker returns only after every file's threads have ended or been given up on.
    allThreadsEnded = waitFor(worker);
    queue.ProcessAll();
    reporter.ClearProgress();
    port->Close();
    g_convProg = nullptr;

    if (cancelled)
        return BatchOutcome::Cancelled;
    return done ? BatchOutcome::Completed : BatchOutcome::Failed;
}
