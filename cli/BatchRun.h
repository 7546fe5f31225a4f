#pragma once

#include <memory>

class CConsoleReporter;
class CConversionState;

// SIGINT, SIGTERM and SIGHUP become a confirmed Cancel, noticed by the message pump; a second
// one ends the process at once, after cutting the MP3 being written back to its last whole
// frame. SIGPIPE is ignored, so a closed log pipe cannot cut an MP3 short, and SIGXFSZ too, so a
// file-size limit is a reported write error.
void InstallStopSignals();
bool StopRequested();

enum class BatchOutcome { Completed, Failed, Cancelled };

// Plays the progress window for a filled batch: owns the message queue on this thread, starts
// the batch worker and delivers its messages until the batch ends or a stop signal arrives;
// then waits a bounded time for the worker and the stage threads. AllThreadsEnded tells
// whether that wait succeeded.
BatchOutcome RunBatchInConsole(const std::shared_ptr<CConversionState>& state,
                               CConsoleReporter& reporter, bool& allThreadsEnded);
