#include "cli/Options.h"

#include <charconv>

#include "app/core/Settings.h"

namespace {

// A whole decimal number and nothing else.
bool ParseNumber(const std::string& text, long& value) {
    if (text.empty() || text.size() > 9)
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::string BitrateList() {
    std::string list;
    for (int i = 0; i < BITRATE_COUNT; ++i)
        list += (i ? ", " : "") + std::to_string(g_bitrateTable[i]);
    return list;
}

std::string RateList() {
    std::string list;
    for (int i = 1; i < FREQ_COUNT; ++i)
        list += (i > 1 ? ", " : "") + std::to_string(g_freqTable[i]);
    return list;
}

bool SetBitrate(const std::string& value, CCliOptions& options, std::string& reason) {
    long kbps = 0;
    if (ParseNumber(value, kbps))
        for (int i = 0; i < BITRATE_COUNT; ++i)
            if (g_bitrateTable[i] == kbps) {
                options.m_lameBits = i;
                return true;
            }
    reason = "bit rate '" + value + "' is not one of " + BitrateList() + " (kbit/s)";
    return false;
}

bool SetChannels(const std::string& value, CCliOptions& options, std::string& reason) {
    static const char* const kModes[] = {"auto", "mono", "stereo"};
    for (int i = 0; i < 3; ++i)
        if (value == kModes[i]) {
            options.m_lameChannel = i;
            return true;
        }
    reason = "channel mode '" + value + "' is not one of auto, mono, stereo";
    return false;
}

bool SetRate(const std::string& value, CCliOptions& options, std::string& reason) {
    if (value == "auto") {
        options.m_freq = 0;
        return true;
    }
    long hz = 0;
    if (ParseNumber(value, hz))
        for (int i = 1; i < FREQ_COUNT; ++i)
            if (g_freqTable[i] == static_cast<unsigned long>(hz)) {
                options.m_freq = i;
                return true;
            }
    reason = "sampling rate '" + value + "' is not auto or one of " + RateList() + " (Hz)";
    return false;
}

bool SetFilesAtOnce(const std::string& value, CCliOptions& options, std::string& reason) {
    long n = 0;
    if (ParseNumber(value, n) && n >= 1 && n <= MAX_FILES_AT_ONCE) {
        options.m_filesAtOnce = static_cast<int>(n);
        return true;
    }
    reason = "files at once '" + value + "' is not a number from 1 to " +
             std::to_string(MAX_FILES_AT_ONCE);
    return false;
}

bool SetId3Version(const std::string& value, CCliOptions& options, std::string& reason) {
    if (value == "3" || value == "4") {
        options.m_id3Version = value[0] - '0';
        return true;
    }
    reason = "ID3 version '" + value + "' is not 3 or 4";
    return false;
}

bool SetOutput(const std::string& value, CCliOptions& options, std::string& reason) {
    if (value.empty()) {
        reason = "the output folder is empty";
        return false;
    }
    options.m_outputFolder = value;
    return true;
}

struct ValueOption {
    char shortName;  // '\0': none
    const char* longName;
    bool (*set)(const std::string&, CCliOptions&, std::string&);
};

const ValueOption kValueOptions[] = {
    {'o', "output", SetOutput}, {'b', "bitrate", SetBitrate},  {'c', "channels", SetChannels},
    {'r', "rate", SetRate},     {'j', "jobs", SetFilesAtOnce}, {'\0', "id3", SetId3Version},
};

}  // namespace

ParseStatus ParseOptions(const std::vector<std::string>& args, CCliOptions& options,
                         std::string& reason) {
    bool help = false;
    bool version = false;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            options.m_files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            help = true;
            continue;
        }
        if (arg == "--version") {
            version = true;
            continue;
        }
        if (arg == "--no-tags") {
            options.m_noTags = true;
            continue;
        }

        // A value option: -x VALUE, -xVALUE, --name VALUE or --name=VALUE.
        const ValueOption* option = nullptr;
        std::optional<std::string> value;
        std::string shown = arg;
        if (arg[1] == '-') {
            const size_t eq = arg.find('=');
            const std::string name = arg.substr(2, eq == std::string::npos ? eq : eq - 2);
            shown = "--" + name;
            for (const auto& o : kValueOptions)
                if (name == o.longName)
                    option = &o;
            if (option && eq != std::string::npos)
                value = arg.substr(eq + 1);
            if (!option && (name == "help" || name == "version" || name == "no-tags")) {
                reason = "option '" + shown + "' takes no value";
                return ParseStatus::Error;
            }
        } else {
            for (const auto& o : kValueOptions)
                if (o.shortName != '\0' && arg[1] == o.shortName)
                    option = &o;
            if (option) {
                shown = arg.substr(0, 2);
                if (arg.size() > 2)
                    value = arg.substr(2);
            }
        }
        if (!option) {
            reason = "unknown option '" + shown + "'";
            return ParseStatus::Error;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                reason = "option '" + shown + "' needs a value";
                return ParseStatus::Error;
            }
            value = args[++i];
        }
        if (!option->set(*value, options, reason))
            return ParseStatus::Error;
    }
    if (help)
        return ParseStatus::Help;
    if (version)
        return ParseStatus::Version;
    if (options.m_files.empty()) {
        reason = "no input files";
        return ParseStatus::Error;
    }
    return ParseStatus::Run;
}

std::string UsageText() {
    return "usage: quillon-convert [-o DIR] [-b KBPS] [-c auto|mono|stereo] [-r auto|HZ]\n"
           "                       [-j N] [--id3 3|4 | --no-tags] FILE...\n";
}

std::string HelpText() {
    return UsageText() +
           "\n"
           "Converts Ogg Vorbis files into constant bit rate MP3 files, several at once.\n"
           "An existing file is never overwritten: a new file takes the next free name.\n"
           "Unset options keep the settings saved by Quillon.\n"
           "\n"
           "  -o, --output DIR        folder that receives the MP3 files\n"
           "  -b, --bitrate KBPS      one of " +
           BitrateList() +
           "\n"
           "  -c, --channels MODE     auto (the source's, at most 2), mono or stereo\n"
           "  -r, --rate auto|HZ      auto (the nearest rate not below the source's),\n"
           "                          or one of " +
           RateList() +
           "\n"
           "  -j, --jobs N            files converted at the same time, 1 to 16\n"
           "                          (default: the saved setting, else one per core)\n"
           "      --id3 3|4           ID3v2.3 tags with UTF-16 text (read by most players)\n"
           "                          or ID3v2.4 with UTF-8\n"
           "      --no-tags           write no tag: no title, artist, pictures and so on\n"
           "  -h, --help              show this help\n"
           "      --version           show the version\n"
           "\n"
           "A file that fails does not stop the others unless StopOnError=1 is saved in\n"
           "the [CONVERT] section of Config.ini; the failures are summed up at the end.\n"
           "\n"
           "Exit status: 0 when every file was converted, 1 when a file was skipped or\n"
           "failed, 2 for a wrong command line, 130 after an interrupt.\n";
}
