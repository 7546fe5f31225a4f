#pragma once

#include <cstdint>
#include <string>

// The user's encoder choices and output folder, kept in Config.ini in g_configFolder.
extern std::string g_outputFolder;
extern short g_lameBits;     // index into g_bitrateTable
extern short g_lameChannel;  // 0 automatic, 1 mono, 2 stereo
extern short g_freq;         // 0 automatic, else index into g_freqTable
extern short g_outputType;   // 2 (MP3); not stored
extern short g_filesAtOnce;  // files converted at the same time: 0 one per core, else 1 to 16
extern short g_stopOnError;  // 1: a failed file stops the batch; 0: the others go on
extern short g_id3Version;   // 3 (ID3v2.3, UTF-16) or 4 (ID3v2.4, UTF-8)
extern bool g_writeTags;     // false: the MP3s get no tag at all; not stored
extern std::string g_configFolder;

constexpr int BITRATE_COUNT = 17;
constexpr int FREQ_COUNT = 9;
inline constexpr int g_bitrateTable[BITRATE_COUNT] = {8,  16,  24,  32,  40,  48,  56,  64, 80,
                                                      96, 112, 128, 160, 192, 224, 256, 320};
// Slot 0 is "automatic" and holds no rate.
inline constexpr uint32_t g_freqTable[FREQ_COUNT] = {0,     8000,  11025, 12000, 16000,
                                                     22050, 24000, 32000, 44100};

constexpr short DEFAULT_LAME_BITS = 11;  // 128 kbit/s
constexpr short DEFAULT_LAME_CHANNEL = 0;
constexpr short DEFAULT_FREQ = 0;
constexpr short DEFAULT_FILES_AT_ONCE = 0;
constexpr short MAX_FILES_AT_ONCE = 16;
constexpr short DEFAULT_STOP_ON_ERROR = 0;

// The number of files to convert at the same time for a FilesAtOnce value: 0 (or anything out
// of range) is one per processor core.
int FilesAtOnce(int setting);
constexpr short DEFAULT_ID3_VERSION = 3;

// The music folder, else the desktop folder, else ~/Music, with a final separator.
std::string DefaultOutputFolder();
// The configuration home + "/Quillon".
std::string DefaultConfigFolder();
std::string ConfigFilePath();

// Reads Config.ini into the variables; a value outside its range takes the default, so no
// table is ever read out of bounds. Returns 1, or 0 after an error (shown in a message box).
int LoadSettings();
// Writes the variables, keeping the file's other content; the old file stays whole until the
// new one is complete. Returns 1, or 0 after an error (shown in a message box).
int SaveSettings();
// Puts every variable back to its built-in default (the output folder to the default folder).
void ResetSettings();
