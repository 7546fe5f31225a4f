#pragma once

#include <string>
#include <vector>

#include "app/core/AudioFileItem.h"
#include "app/core/AudioScan.h"
#include "app/core/TaskBuilder.h"
#include "cli/Options.h"

class CConsoleReporter;

// An absolute form of path (the current folder put before a relative one), not resolved
// further, so the log shows the names the user typed.
std::string AbsolutePath(const std::string& path);

// The settings of this run: the saved ones when Config.ini exists (never written here), the
// defaults otherwise, then the options on top. The output folder is made absolute and ends
// with a separator; an empty one falls back to the default folder.
void ApplyCliSettings(const CCliOptions& options);

// One FILE of the command line as the list would hold it.
struct CInputFile {
    std::string m_path;  // absolute
    std::string m_folder;
    std::string m_name;
    CAudioFileItem m_item;
    ScanVerdict m_verdict = ScanVerdict::Good;
    bool m_found = false;
};

// Scans every file and reports each unusable one in one line.
std::vector<CInputFile> ScanInputs(const std::vector<std::string>& files,
                                   CConsoleReporter& reporter);

// The list's summary text over the files that were found.
std::string InputsSummary(const std::vector<CInputFile>& inputs);

// Appends a task for every good file, in command-line order; returns how many.
size_t BuildBatch(const std::vector<CInputFile>& inputs, const CTaskSettings& settings,
                  CConversionState& batch);
