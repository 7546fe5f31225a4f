#include "cli/Inputs.h"

#include <unistd.h>

#include "app/core/ListTexts.h"
#include "app/core/Settings.h"
#include "cli/ProgressPrinter.h"
#include "platform/FileSystem.h"

std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path.front() == PATH_SEPARATOR)
        return path;
    std::string cwd(4096, '\0');
    if (!::getcwd(cwd.data(), cwd.size()))
        return path;
    cwd.resize(cwd.find('\0'));
    if (path == ".")
        return cwd;
    std::string rest = path;
    while (rest.rfind("./", 0) == 0)
        rest.erase(0, 2);
    return cwd + (cwd.back() == PATH_SEPARATOR ? "" : "/") + rest;
}

void ApplyCliSettings(const CCliOptions& options) {
    ResetSettings();
    g_configFolder = DefaultConfigFolder();
    if (PathFileExists(ConfigFilePath()))
        LoadSettings();
    if (options.m_outputFolder)
        g_outputFolder = *options.m_outputFolder;
    if (options.m_lameBits)
        g_lameBits = static_cast<short>(*options.m_lameBits);
    if (options.m_lameChannel)
        g_lameChannel = static_cast<short>(*options.m_lameChannel);
    if (options.m_freq)
        g_freq = static_cast<short>(*options.m_freq);
    if (options.m_filesAtOnce)
        g_filesAtOnce = static_cast<short>(*options.m_filesAtOnce);
    if (options.m_id3Version)
        g_id3Version = static_cast<short>(*options.m_id3Version);
    if (options.m_noTags)
        g_writeTags = false;
    if (g_outputFolder.empty())
        g_outputFolder = DefaultOutputFolder();
    g_outputFolder = AbsolutePath(g_outputFolder);
    if (g_outputFolder.back() != PATH_SEPARATOR)
        g_outputFolder += PATH_SEPARATOR;
}

std::vector<CInputFile> ScanInputs(const std::vector<std::string>& files,
                                   CConsoleReporter& reporter) {
    std::vector<CInputFile> inputs;
    for (const std::string& file : files) {
        CInputFile input;
        input.m_path = AbsolutePath(file);
        CFileFacts facts;
        input.m_found = ReadFileFacts(input.m_path, input.m_item, facts);
        if (!input.m_found) {
            input.m_item.m_error = 1;
            input.m_verdict = ScanVerdict::Locked;
            reporter.Note("skipped " + file + ": no such file");
        } else {
            input.m_folder = facts.m_folder;
            input.m_name = facts.m_name;
            input.m_verdict = ScanFile(input.m_path, input.m_item);
            if (input.m_verdict != ScanVerdict::Good)
                reporter.Note("skipped " + file + ": " + ScanVerdictText(input.m_verdict));
        }
        inputs.push_back(std::move(input));
    }
    return inputs;
}

std::string InputsSummary(const std::vector<CInputFile>& inputs) {
    int count = 0;
    double size = 0;
    double duration = 0;
    for (const auto& input : inputs) {
        if (!input.m_found)
            continue;
        ++count;
        size += input.m_item.m_sizeMB;
        duration += input.m_item.m_duration;
    }
    return SummaryText(count, size, duration);
}

size_t BuildBatch(const std::vector<CInputFile>& inputs, const CTaskSettings& settings,
                  CConversionState& batch) {
    size_t count = 0;
    for (const auto& input : inputs)
        if (input.m_found &&
            AppendConversionTask(batch, input.m_folder, input.m_name, input.m_item, settings))
            ++count;
    return count;
}
