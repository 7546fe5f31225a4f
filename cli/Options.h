#pragma once

#include <optional>
#include <string>
#include <vector>

// What the command line asks for. Settings left unset keep the saved ones (Config.ini).
struct CCliOptions {
    std::optional<std::string> m_outputFolder;
    std::optional<int> m_lameBits;     // index into g_bitrateTable
    std::optional<int> m_lameChannel;  // 0 automatic, 1 mono, 2 stereo
    std::optional<int> m_freq;         // 0 automatic, else index into g_freqTable
    std::optional<int> m_filesAtOnce;  // 1 to 16
    std::optional<int> m_id3Version;   // 3 or 4
    bool m_noTags = false;             // write no ID3 tag at all
    std::vector<std::string> m_files;
};

enum class ParseStatus { Run, Help, Version, Error };

// Parses the arguments after the program name. Error fills reason with one line; Help and
// Version win over a missing file list but not over a wrong option.
ParseStatus ParseOptions(const std::vector<std::string>& args, CCliOptions& options,
                         std::string& reason);

std::string UsageText();
std::string HelpText();
