#include "app/core/TaskBuilder.h"

#include <cmath>

#include "app/core/AudioScan.h"
#include "app/core/Settings.h"
#include "platform/FileSystem.h"

CTaskSettings CurrentTaskSettings() {
    CTaskSettings settings;
    settings.m_outputFolder = g_outputFolder;
    settings.m_lameChannel = g_lameChannel;
    settings.m_freq = g_freq;
    settings.m_outputType = g_outputType;
    settings.m_lameBits = g_lameBits;
    settings.m_id3Version = g_writeTags ? g_id3Version : 0;
    return settings;
}

const char* TypeExtension(int type) {
    switch (type) {
        case AUDIO_TYPE_OGG:
            return "ogg";
        case AUDIO_TYPE_MP3:
            return "mp3";
        default:
            return "";
    }
}

uint32_t PickOutputRate(uint32_t sourceRate) {
    for (int i = 1; i < FREQ_COUNT; ++i)
        if (g_freqTable[i] >= sourceRate)
            return g_freqTable[i];
    return g_freqTable[FREQ_COUNT - 1];
}

uint32_t DestinationRate(uint32_t sourceRate, int freq) {
    if (freq >= 1 && freq < FREQ_COUNT)
        return g_freqTable[freq];
    return PickOutputRate(sourceRate);  // automatic, and any value outside the table
}

uint32_t DestinationChannels(uint32_t sourceChannels, int lameChannel) {
    if (lameChannel == 0)
        return sourceChannels < 2 ? sourceChannels : 2;
    return lameChannel == 1 ? 1 : 2;
}

std::string DestinationPath(const std::string& outputFolder, const std::string& name,
                            int outputType) {
    std::string path = outputFolder;
    // A folder without its final separator would otherwise glue the folder's last name to
    // the file name, one level up.
    if (!path.empty() && path.back() != PATH_SEPARATOR)
        path += PATH_SEPARATOR;
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        path.append(name, 0, dot + 1);
    return path + TypeExtension(outputType);
}

bool CanConvert(const CAudioFileItem& item) {
    return item.m_error == 0 && item.m_channels != 0 && item.m_sampleRate != 0 &&
           item.m_totalSamples != 0;
}

bool BuildConversionTask(const std::string& folder, const std::string& name,
                         const CAudioFileItem& item, const CTaskSettings& settings,
                         CConversionTask& task) {
    if (!CanConvert(item))
        return false;
    // MP3 is the only output type, whatever the setting holds.
    const int outputType = AUDIO_TYPE_MP3;

    CConversionTask built;
    built.m_sourcePath = folder + name;
    built.m_destPath = DestinationPath(settings.m_outputFolder, name, outputType);
    built.m_sourceType = item.m_type;
    built.m_sourceRate = item.m_sampleRate;
    built.m_sourceChannels = item.m_channels;
    built.m_destType = outputType;
    built.m_destChannels = DestinationChannels(item.m_channels, settings.m_lameChannel);
    built.m_destRate = DestinationRate(item.m_sampleRate, settings.m_freq);
    // Formed in double: a 32-bit product of a large rate and channel count could wrap.
    built.m_ratio = (static_cast<double>(built.m_destRate) * built.m_destChannels) /
                    (static_cast<double>(built.m_sourceRate) * built.m_sourceChannels);
    const double expected = std::floor(static_cast<double>(item.m_totalSamples) * built.m_ratio);
    // 2^64 itself does not fit; a double at or above it must not be converted as is.
    const uint64_t total =
        expected >= 18446744073709551616.0 ? UINT64_MAX : static_cast<uint64_t>(expected);
    built.m_totalSamples = total - total % built.m_destChannels;
    built.m_needsProcessing = 1;
    built.m_bitrate = settings.m_lameBits >= 0 && settings.m_lameBits < BITRATE_COUNT
                          ? g_bitrateTable[settings.m_lameBits]
                          : 128;
    built.m_id3Version =
        settings.m_id3Version == 0 || settings.m_id3Version == 4 ? settings.m_id3Version : 3;
    task = built;
    return true;
}

bool AppendConversionTask(CConversionState& batch, const std::string& folder,
                          const std::string& name, const CAudioFileItem& item,
                          const CTaskSettings& settings) {
    CConversionTask task;
    if (!BuildConversionTask(folder, name, item, settings, task))
        return false;
    batch.m_batchSamplesTotal += task.m_totalSamples;
    batch.m_tasks.push_back(task);
    return true;
}

void ApplyBatchSettings(CConversionState& batch) {
    batch.m_filesAtOnce = FilesAtOnce(g_filesAtOnce);
    batch.m_stopOnError = g_stopOnError != 0;
}
