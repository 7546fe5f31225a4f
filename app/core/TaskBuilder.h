#pragma once

#include <cstdint>
#include <string>

#include "app/core/AudioFileItem.h"
#include "batch/ConversionState.h"
#include "engine/ConversionTask.h"

// The settings a conversion task is built from; CurrentTaskSettings() takes the settings
// variables, tests and callers may pass their own.
struct CTaskSettings {
    std::string m_outputFolder;
    int m_lameChannel = 0;  // 0 automatic, 1 mono, anything else stereo
    int m_freq = 0;         // 0 automatic, 1 to 8 an entry of g_freqTable; others count as 0
    int m_outputType = 2;   // only 2 (MP3) exists; other values count as 2
    int m_lameBits = 11;    // index into g_bitrateTable; others give 128 kbit/s
    int m_id3Version = 3;   // 0 no tag, 4 ID3v2.4; others count as 3
};
CTaskSettings CurrentTaskSettings();

// "ogg" for type 1, "mp3" for type 2, empty for other codes.
const char* TypeExtension(int type);

// The first of 8000 ... 44100 not below the source rate; 44100 above them all.
uint32_t PickOutputRate(uint32_t sourceRate);
// The MP3's rate for a source rate and the frequency setting.
uint32_t DestinationRate(uint32_t sourceRate, int freq);
// The MP3's channel count (1 or 2) for a source count and the channel mode.
uint32_t DestinationChannels(uint32_t sourceChannels, int lameChannel);
// Output folder (a separator added when it lacks one) + the name up to and including its last
// "." + the extension of the output type. Files of the same name share a destination; the
// batch worker picks a free name for each.
std::string DestinationPath(const std::string& outputFolder, const std::string& name,
                            int outputType);

// True when a scanned record may become a task: good, with channels, rate and length.
bool CanConvert(const CAudioFileItem& item);

// Fills task for the file folder + name (folder ends with a separator or is empty) scanned into
// item. False, leaving task untouched, for a record that cannot be converted.
bool BuildConversionTask(const std::string& folder, const std::string& name,
                         const CAudioFileItem& item, const CTaskSettings& settings,
                         CConversionTask& task);

// Takes the batch settings (files at once, stop on error) from the settings variables; every
// front end calls it before the batch starts.
void ApplyBatchSettings(CConversionState& batch);

// Appends the task for one file to the batch and adds its length to the batch total; false
// (nothing appended) for a record that cannot be converted.
bool AppendConversionTask(CConversionState& batch, const std::string& folder,
                          const std::string& name, const CAudioFileItem& item,
                          const CTaskSettings& settings);
