#include "app/core/TaskBuilder.h"

#include <gtest/gtest.h>

#include "app/core/AudioScan.h"
#include "app/core/Settings.h"

namespace {

CAudioFileItem Scanned(uint32_t rate, uint32_t channels, uint64_t frames) {
    CAudioFileItem item;
    item.m_type = AUDIO_TYPE_OGG;
    item.m_sampleRate = rate;
    item.m_channels = channels;
    item.m_totalSamples = frames * channels;
    item.m_duration = static_cast<double>(frames) / rate;
    return item;
}

struct BuildCase {
    const char* label;
    uint32_t sourceRate;
    uint32_t sourceChannels;
    uint64_t frames;
    int lameChannel;
    int freq;
    uint32_t destRate;
    uint32_t destChannels;
    double ratio;
    uint64_t totalSamples;
};

class BuildTask : public testing::TestWithParam<BuildCase> {};

TEST_P(BuildTask, DerivesTheOutputFormat) {
    const BuildCase& c = GetParam();
    CTaskSettings settings;
    settings.m_outputFolder = "/out/";
    settings.m_lameChannel = c.lameChannel;
    settings.m_freq = c.freq;
    CConversionTask task;
    ASSERT_TRUE(BuildConversionTask("/music/", "Track 1.ogg",
                                    Scanned(c.sourceRate, c.sourceChannels, c.frames), settings,
                                    task));
    EXPECT_EQ(task.m_sourcePath, "/music/Track 1.ogg");
    EXPECT_EQ(task.m_destPath, "/out/Track 1.mp3");
    EXPECT_EQ(task.m_sourceType, 1);
    EXPECT_EQ(task.m_sourceRate, c.sourceRate);
    EXPECT_EQ(task.m_sourceChannels, c.sourceChannels);
    EXPECT_EQ(task.m_destType, 2);
    EXPECT_EQ(task.m_destRate, c.destRate);
    EXPECT_EQ(task.m_destChannels, c.destChannels);
    EXPECT_DOUBLE_EQ(task.m_ratio, c.ratio);
    EXPECT_EQ(task.m_totalSamples, c.totalSamples);
    EXPECT_EQ(task.m_totalSamples % task.m_destChannels, 0u);
    EXPECT_EQ(task.m_needsProcessing, 1);
    EXPECT_EQ(task.m_decoding.load(), 0);
    EXPECT_EQ(task.m_processing.load(), 0);
    EXPECT_EQ(task.m_encoding.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    TaskBuilder, BuildTask,
    testing::Values(
        // 44100 stays; 88200 source samples in, the same out.
        BuildCase{"Rate44100Stays", 44100, 2, 44100, 0, 0, 44100, 2, 1.0, 88200},
        // 0.91875 of 2 x 48001 frames is 88201.8375: cut to 88201, then made even.
        BuildCase{"Rate48000To44100", 48000, 2, 48001, 0, 0, 44100, 2, 0.91875, 88200},
        BuildCase{"Rate7000To8000", 7000, 1, 7000, 0, 0, 8000, 1, 8000.0 / 7000, 8000},
        BuildCase{"Rate96000To44100", 96000, 2, 96000, 0, 0, 44100, 2, 88200.0 / 192000, 88200},
        BuildCase{"Rate22050Exact", 22050, 1, 100, 0, 0, 22050, 1, 1.0, 100},
        // The double product falls just below 12000 and is cut, as computed.
        BuildCase{"Rate11026RoundsUp", 11026, 1, 11026, 0, 0, 12000, 1, 12000.0 / 11026, 11999},
        BuildCase{"SixChannelsAutoGiveTwo", 44100, 6, 1000, 0, 0, 44100, 2, 2.0 / 6, 2000},
        BuildCase{"MonoAutoStaysMono", 44100, 1, 1000, 0, 0, 44100, 1, 1.0, 1000},
        BuildCase{"MonoForcedStereo", 22050, 1, 22050, 2, 0, 22050, 2, 2.0, 44100},
        BuildCase{"StereoForcedMono", 44100, 2, 1000, 1, 0, 44100, 1, 0.5, 1000},
        BuildCase{"ForcedRate", 44100, 2, 44100, 0, 1, 8000, 2, 16000.0 / 88200, 16000},
        BuildCase{"ForcedRateTop", 8000, 1, 8000, 0, 8, 44100, 1, 44100.0 / 8000, 44100},
        // Out-of-range settings never index a table: rate automatic, channel mode stereo.
        BuildCase{"FreqNineIsAutomatic", 48000, 2, 48000, 0, 9, 44100, 2, 0.91875, 88200},
        BuildCase{"FreqNegativeIsAutomatic", 16000, 1, 16000, 0, -1, 16000, 1, 1.0, 16000},
        BuildCase{"FreqHugeIsAutomatic", 16000, 1, 16000, 0, 32767, 16000, 1, 1.0, 16000},
        BuildCase{"ChannelModeThreeIsStereo", 44100, 1, 10, 3, 0, 44100, 2, 2.0, 20},
        BuildCase{"ChannelModeNegativeIsStereo", 44100, 1, 10, -1, 0, 44100, 2, 2.0, 20}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(TaskBuilder, OutputRateTable) {
    const std::pair<uint32_t, uint32_t> cases[] = {
        {1, 8000},      {7000, 8000},   {8000, 8000},   {8001, 11025},  {11025, 11025},
        {11999, 12000}, {16000, 16000}, {22000, 22050}, {24000, 24000}, {32000, 32000},
        {32001, 44100}, {44100, 44100}, {44101, 44100}, {48000, 44100}, {192000, 44100},
    };
    for (const auto& [source, expected] : cases)
        EXPECT_EQ(PickOutputRate(source), expected) << source;
}

TEST(TaskBuilder, DestinationNameTakesTheLastDot) {
    EXPECT_EQ(DestinationPath("/out/", "live.set.ogg", 2), "/out/live.set.mp3");
    EXPECT_EQ(DestinationPath("/out/", "noext", 2), "/out/mp3");
    EXPECT_EQ(DestinationPath("/out/", ".hidden", 2), "/out/.mp3");
    // A folder without its final separator gets one.
    EXPECT_EQ(DestinationPath("/out", "a.ogg", 2), "/out/a.mp3");
    EXPECT_EQ(TypeExtension(1), std::string("ogg"));
    EXPECT_EQ(TypeExtension(2), std::string("mp3"));
    EXPECT_EQ(TypeExtension(0), std::string(""));
    EXPECT_EQ(TypeExtension(7), std::string(""));
}

TEST(TaskBuilder, OtherOutputTypesStillWriteMp3) {
    CTaskSettings settings;
    settings.m_outputFolder = "/out/";
    settings.m_outputType = 1;
    CConversionTask task;
    ASSERT_TRUE(BuildConversionTask("/m/", "a.ogg", Scanned(44100, 2, 10), settings, task));
    EXPECT_EQ(task.m_destType, 2);
    EXPECT_EQ(task.m_destPath, "/out/a.mp3");
}

TEST(TaskBuilder, BadOrEmptyRecordsNeverBecomeTasks) {
    CTaskSettings settings;
    settings.m_outputFolder = "/out/";
    CAudioFileItem bad = Scanned(44100, 2, 100);
    bad.m_error = 1;
    CAudioFileItem noRate = Scanned(44100, 2, 100);
    noRate.m_sampleRate = 0;
    CAudioFileItem noChannels = Scanned(44100, 2, 100);
    noChannels.m_channels = 0;
    CAudioFileItem empty = Scanned(44100, 2, 0);
    for (const CAudioFileItem& item : {bad, noRate, noChannels, empty, CAudioFileItem{}}) {
        EXPECT_FALSE(CanConvert(item));
        CConversionTask task;
        EXPECT_FALSE(BuildConversionTask("/m/", "a.ogg", item, settings, task));
        EXPECT_TRUE(task.m_destPath.empty());
        EXPECT_EQ(task.m_destRate, UINT32_MAX);
    }
}

TEST(TaskBuilder, BatchSumsTheTasksInOrder) {
    CTaskSettings settings;
    settings.m_outputFolder = "/out/";
    CConversionState batch;
    CAudioFileItem bad = Scanned(44100, 2, 100);
    bad.m_error = 1;
    EXPECT_TRUE(AppendConversionTask(batch, "/a/", "one.ogg", Scanned(48000, 2, 48000), settings));
    EXPECT_FALSE(AppendConversionTask(batch, "/a/", "bad.ogg", bad, settings));
    EXPECT_TRUE(AppendConversionTask(batch, "/b/", "one.ogg", Scanned(8000, 1, 800), settings));
    ASSERT_EQ(batch.m_tasks.size(), 2u);
    EXPECT_EQ(batch.m_tasks[0].m_sourcePath, "/a/one.ogg");
    EXPECT_EQ(batch.m_tasks[1].m_sourcePath, "/b/one.ogg");
    // Same names from two folders share a destination; the batch worker renames the second.
    EXPECT_EQ(batch.m_tasks[0].m_destPath, batch.m_tasks[1].m_destPath);
    EXPECT_EQ(batch.m_batchSamplesTotal, 88200u + 800u);
}

TEST(TaskBuilder, EachTaskKeepsItsBitrate) {
    CAudioFileItem item;
    item.m_type = 1;
    item.m_sampleRate = 44100;
    item.m_channels = 2;
    item.m_totalSamples = 88200;
    // An index outside the table falls back to 128 kbit/s.
    for (const auto& [bits, kbps] :
         std::vector<std::pair<int, int>>{{0, 8}, {11, 128}, {16, 320}, {17, 128}, {-1, 128}}) {
        CTaskSettings settings;
        settings.m_outputFolder = "/out/";
        settings.m_lameBits = bits;
        CConversionTask task;
        ASSERT_TRUE(BuildConversionTask("/in/", "a.ogg", item, settings, task));
        EXPECT_EQ(task.m_bitrate, kbps) << "index " << bits;
    }
}

TEST(TaskBuilder, BatchSettingsComeFromTheVariables) {
    CConversionState batch;
    g_filesAtOnce = 3;
    g_stopOnError = 1;
    ApplyBatchSettings(batch);
    EXPECT_EQ(batch.m_filesAtOnce, 3);
    EXPECT_TRUE(batch.m_stopOnError);
    g_filesAtOnce = 0;  // one per core
    g_stopOnError = 0;
    ApplyBatchSettings(batch);
    EXPECT_EQ(batch.m_filesAtOnce, FilesAtOnce(0));
    EXPECT_GE(batch.m_filesAtOnce, 1);
    EXPECT_FALSE(batch.m_stopOnError);
    ResetSettings();
}

TEST(TaskBuilder, CurrentSettingsComeFromTheVariables) {
    g_outputFolder = "/somewhere/";
    g_lameChannel = 1;
    g_freq = 3;
    g_lameBits = 16;
    const CTaskSettings settings = CurrentTaskSettings();
    EXPECT_EQ(settings.m_outputFolder, "/somewhere/");
    EXPECT_EQ(settings.m_lameChannel, 1);
    EXPECT_EQ(settings.m_freq, 3);
    EXPECT_EQ(settings.m_lameBits, 16);
    EXPECT_EQ(settings.m_outputType, 2);
    EXPECT_EQ(settings.m_id3Version, 3);
    g_id3Version = 4;
    EXPECT_EQ(CurrentTaskSettings().m_id3Version, 4);
    g_writeTags = false;  // --no-tags
    EXPECT_EQ(CurrentTaskSettings().m_id3Version, 0);
    ResetSettings();
}

TEST(TaskBuilder, TagVersionGoesOnTheTask) {
    // Setting -> task: 0 writes no tag, 4 an ID3v2.4 tag, anything else ID3v2.3.
    const std::pair<int, int> cases[] = {{3, 3}, {4, 4}, {0, 0}, {2, 3}, {5, 3}, {-1, 3}};
    for (const auto& [setting, expected] : cases) {
        CTaskSettings settings;
        settings.m_outputFolder = "/out/";
        settings.m_id3Version = setting;
        CConversionTask task;
        ASSERT_TRUE(
            BuildConversionTask("/music/", "a.ogg", Scanned(44100, 2, 44100), settings, task));
        EXPECT_EQ(task.m_id3Version, expected) << setting;
        EXPECT_EQ(CConversionTask(task).m_id3Version, expected) << "copies keep it";
    }
}

}  // namespace
