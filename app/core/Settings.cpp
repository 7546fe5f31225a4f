#include "app/core/Settings.h"

#include <algorithm>
#include <exception>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/MessageBox.h"
#include "platform/UserFolders.h"

std::string g_outputFolder;
short g_lameBits = DEFAULT_LAME_BITS;
short g_lameChannel = DEFAULT_LAME_CHANNEL;
short g_freq = DEFAULT_FREQ;
short g_outputType = 2;
short g_filesAtOnce = DEFAULT_FILES_AT_ONCE;
short g_stopOnError = DEFAULT_STOP_ON_ERROR;
short g_id3Version = DEFAULT_ID3_VERSION;
bool g_writeTags = true;
std::string g_configFolder;

namespace {

const char* const SECTION_OUTPUT = "OUTPUT";
const char* const KEY_DES_DIR = "DesDir";

const char* const SECTION_MP3 = "MP3";
const char* const SECTION_CONVERT = "CONVERT";

struct NumberSetting {
    const char* section;
    const char* key;
    short* variable;
    short def;
    short min;  // valid values are min ... max
    short max;
};

// In the order they are written.
const NumberSetting kNumbers[] = {
    {SECTION_MP3, "LameBits", &g_lameBits, DEFAULT_LAME_BITS, 0, BITRATE_COUNT - 1},
    {SECTION_MP3, "LameChannel", &g_lameChannel, DEFAULT_LAME_CHANNEL, 0, 2},
    {SECTION_MP3, "Freq", &g_freq, DEFAULT_FREQ, 0, FREQ_COUNT - 1},
    {SECTION_MP3, "Id3Version", &g_id3Version, DEFAULT_ID3_VERSION, 3, 4},
    {SECTION_CONVERT, "FilesAtOnce", &g_filesAtOnce, DEFAULT_FILES_AT_ONCE, 0, MAX_FILES_AT_ONCE},
    {SECTION_CONVERT, "StopOnError", &g_stopOnError, DEFAULT_STOP_ON_ERROR, 0, 1},
};

}  // namespace

int FilesAtOnce(int setting) {
    if (setting >= 1 && setting <= MAX_FILES_AT_ONCE)
        return setting;
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp<unsigned>(cores, 1, MAX_FILES_AT_ONCE));
}

std::string DefaultOutputFolder() {
    std::string folder = MusicFolder();
    if (folder.empty())
        folder = DesktopFolder();
    if (!folder.empty())
        return folder + PATH_SEPARATOR;
    return HomeFolder() + "/Music/";
}

std::string DefaultConfigFolder() {
    return ConfigHome() + "/Quillon";
}

std::string ConfigFilePath() {
    return g_configFolder + PATH_SEPARATOR + "Config.ini";
}

int LoadSettings() {
    try {
        CIniFile ini;
        ini.Load(ConfigFilePath());
        for (const auto& n : kNumbers) {
            const int value = ini.GetInt(n.section, n.key, n.def);
            *n.variable = value >= n.min && value <= n.max ? static_cast<short>(value) : n.def;
        }
        g_outputFolder = ini.GetString(SECTION_OUTPUT, KEY_DES_DIR, DefaultOutputFolder());
        return 1;
    } catch (const std::exception&) {
        ShowMessageBox("An Error Occurred while loading settings!", MessageBoxIcon::Error);
        return 0;
    }
}

int SaveSettings() {
    bool saved = false;
    try {
        const std::string path = ConfigFilePath();
        CIniFile ini;
        ini.Load(path);
        ini.SetString(SECTION_OUTPUT, KEY_DES_DIR, g_outputFolder);
        for (const auto& n : kNumbers)
            ini.SetString(n.section, n.key, std::to_string(*n.variable));
        saved = ini.Save(path);
    } catch (const std::exception&) {
        saved = false;
    }
    if (!saved) {
        ShowMessageBox("An error occurred while saving settings!", MessageBoxIcon::Error);
        return 0;
    }
    return 1;
}

void ResetSettings() {
    for (const auto& n : kNumbers)
        *n.variable = n.def;
    g_outputType = 2;
    g_writeTags = true;
    g_outputFolder = DefaultOutputFolder();
}
