#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/core/TaskBuilder.h"
#include "batch/ConversionState.h"
#include "cli/BatchRun.h"
#include "cli/Inputs.h"
#include "cli/Options.h"
#include "cli/ProgressPrinter.h"
#include "platform/MessageBox.h"

namespace {

constexpr int EXIT_ALL_CONVERTED = 0;
constexpr int EXIT_SOME_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_INTERRUPTED = 130;

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    CCliOptions options;
    std::string reason;
    switch (ParseOptions(args, options, reason)) {
        case ParseStatus::Error:
            std::fprintf(stderr, "quillon-convert: %s\n%s", reason.c_str(), UsageText().c_str());
            return EXIT_USAGE;
        case ParseStatus::Help:
            std::fputs(HelpText().c_str(), stdout);
            return EXIT_SUCCESS;
        case ParseStatus::Version:
            std::printf("quillon-convert %s\n", QUILLON_VERSION);
            return EXIT_SUCCESS;
        case ParseStatus::Run:
            break;
    }

    InstallStopSignals();
    CConsoleReporter reporter(stdout, stderr, ::isatty(STDERR_FILENO) != 0,
                              ::isatty(STDOUT_FILENO) != 0);
    SetMessageBoxHook(
        [&reporter](const std::string& text, MessageBoxIcon) { reporter.Note(text); });

    ApplyCliSettings(options);
    const std::vector<CInputFile> inputs = ScanInputs(options.m_files, reporter);
    const bool anySkipped = std::any_of(inputs.begin(), inputs.end(), [](const CInputFile& f) {
        return f.m_verdict != ScanVerdict::Good;
    });
    std::printf("%s\n", InputsSummary(inputs).c_str());
    std::fflush(stdout);

    auto state = std::make_shared<CConversionState>();
    ApplyBatchSettings(*state);
    if (BuildBatch(inputs, CurrentTaskSettings(), *state) == 0) {
        reporter.Note("nothing to convert");
        return EXIT_SOME_FAILED;
    }
    if (StopRequested())
        return EXIT_INTERRUPTED;

    bool allThreadsEnded = true;
    const BatchOutcome outcome = RunBatchInConsole(state, reporter, allThreadsEnded);
    int status = EXIT_SOME_FAILED;
    if (outcome == BatchOutcome::Cancelled)
        status = EXIT_INTERRUPTED;
    else if (outcome == BatchOutcome::Completed && !anySkipped && state->m_filesFailed.load() == 0)
        status = EXIT_ALL_CONVERTED;
    SetMessageBoxHook({});
    if (!allThreadsEnded) {
        // A thread that did not end in time still uses the process; leave without tearing
        // down what it may touch.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
