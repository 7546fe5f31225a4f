#include "app/core/Settings.h"

#include <exception>

#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/MessageBox.h"
#include "platform/UserFolders.h"

std::string g_outputFolder;
short g_lameBits = DEFAULT_LAME_BITS;
short g_lameChannel = DEFAULT_LAME_CHANNEL;
short g_freq = DEFAULT_FREQ;
short g_outputType = 2;
short g_id3Version = DEFAULT_ID3_VERSION;
bool g_writeTags = true;
std::string g_configFolder;

namespace {

const char* const SECTION_OUTPUT = "OUTPUT";
const char* const KEY_DES_DIR = "DesDir";

struct NumberSetting {
    const char* key;  // in section MP3
    short* variable;
    short def;
    short min;  // valid values are min ... max
    short max;
};

// In the order they are written.
const NumberSetting kNumbers[] = {
    {"LameBits", &g_lameBits, DEFAULT_LAME_BITS, 0, BITRATE_COUNT - 1},
    {"LameChannel", &g_lameChannel, DEFAULT_LAME_CHANNEL, 0, 2},
    {"Freq", &g_freq, DEFAULT_FREQ, 0, FREQ_COUNT - 1},
    {"Id3Version", &g_id3Version, DEFAULT_ID3_VERSION, 3, 4},
};
const char* const SECTION_MP3 = "MP3";

}  // namespace

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
            const int value = ini.GetInt(SECTION_MP3, n.key, n.def);
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
            ini.SetString(SECTION_MP3, n.key, std::to_string(*n.variable));
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
