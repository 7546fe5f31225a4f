#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "batch/ConversionState.h"
#include "cli/ProgressPrinter.h"

namespace {

CProgressSnapshot Snapshot(float file, float batch, float fileElapsed, float batchElapsed,
                           float secondsDone) {
    CProgressSnapshot s;
    s.m_caption = "Converting 2/3";
    s.m_fileName = "song.ogg";
    s.m_filePercent = file;
    s.m_batchPercent = batch;
    s.m_fileElapsed = fileElapsed;
    s.m_batchElapsed = batchElapsed;
    s.m_fileSecondsDone = secondsDone;
    return s;
}

struct LineCase {
    const char* label;
    CProgressSnapshot snapshot;
    const char* line;
};

class ProgressLine : public testing::TestWithParam<LineCase> {};

TEST_P(ProgressLine, ShowsTheWindowsNumbers) {
    EXPECT_EQ(FormatProgressLine(GetParam().snapshot), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Reporter, ProgressLine,
    testing::Values(
        // 25 % after 10 s: 30 s left; 50 % of the batch after 20 s: 20 s left; 40 s of audio
        // in 10 s is 4x.
        LineCase{"Running", Snapshot(25, 50, 10, 20, 40),
                 "Converting 2/3  song.ogg  file  25.00% left 00:00:30  all  50.00% left "
                 "00:00:20   4.00x"},
        LineCase{"AboveHundredShownAsHundred", Snapshot(100.7f, 250, 10, 20, 40),
                 "Converting 2/3  song.ogg  file 100.00% left 00:00:00  all 100.00% left "
                 "00:00:00   4.00x"},
        LineCase{"FirstTenthShowsNoTimes", Snapshot(1, 1, 0.05f, 0.05f, 0),
                 "Converting 2/3  song.ogg  file   1.00% left --:--:--  all   1.00% left "
                 "--:--:--"},
        LineCase{"NothingDoneYet", Snapshot(0, 0, 5, 5, 0),
                 "Converting 2/3  song.ogg  file   0.00% left --:--:--  all   0.00% left "
                 "--:--:--   0.00x"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Reporter, LongNamesAreCutOnACharacterBoundary) {
    CProgressSnapshot s;
    s.m_caption = "Converting 1/1";
    // 40 bytes of two-byte characters: a cut at byte 29 would split one.
    std::string name;
    for (int i = 0; i < 20; ++i)
        name += "\xC3\xA9";
    s.m_fileName = name;
    const std::string line = FormatProgressLine(s);
    const std::string shown = line.substr(16, line.find("...") - 16);
    EXPECT_EQ(shown.size() % 2, 0u);
    EXPECT_EQ(shown, name.substr(0, 28));
}

TEST(Reporter, LogRowsAreNumberedAndErrorsMarked) {
    EXPECT_EQ(FormatLogLine(1, 9, 5, 7, "Converting status: OK.", LOG_INFO, true),
              "001 09:05:07  Converting status: OK.");
    EXPECT_EQ(FormatLogLine(12, 23, 59, 0, "Invalid ogg vorbis stream", LOG_ERROR, false),
              "012 23:59:00  error: Invalid ogg vorbis stream");
    EXPECT_EQ(FormatLogLine(1234, 0, 0, 0, "x", LOG_ERROR, true),
              "\033[31m1234 00:00:00  error: x\033[0m");
}

TEST(Reporter, ProgressLineIsWipedBeforeALogRow) {
    char* logText = nullptr;
    size_t logSize = 0;
    char* progressText = nullptr;
    size_t progressSize = 0;
    std::FILE* log = open_memstream(&logText, &logSize);
    std::FILE* progress = open_memstream(&progressText, &progressSize);
    {
        CConsoleReporter reporter(log, progress, true, false);
        reporter.Progress(Snapshot(10, 10, 1, 1, 1));
        reporter.Log("first", LOG_INFO);
        reporter.Log("second", LOG_ERROR);
        reporter.Note("skipped x.ogg: no such file");
    }
    std::fclose(log);
    std::fclose(progress);
    const std::string logs(logText, logSize);
    const std::string shown(progressText, progressSize);
    std::free(logText);
    std::free(progressText);
    EXPECT_NE(logs.find(" first\n"), std::string::npos);
    EXPECT_NE(logs.find("  error: second\n"), std::string::npos);
    EXPECT_EQ(logs.find("\033["), std::string::npos);  // no colour when asked for none
    EXPECT_EQ(logs.rfind("002 ", logs.find("error")), logs.find('\n') + 1);
    // Drawn once, wiped once before the first row, not again for the second or the note.
    EXPECT_EQ(shown, "\r\033[K" + FormatProgressLine(Snapshot(10, 10, 1, 1, 1)) +
                         "\r\033[Kquillon-convert: skipped x.ogg: no such file\n");
}

TEST(Reporter, NoProgressLineWhenNotATerminal) {
    char* text = nullptr;
    size_t size = 0;
    std::FILE* stream = open_memstream(&text, &size);
    {
        CConsoleReporter reporter(stream, stream, false, false);
        reporter.Progress(Snapshot(10, 10, 1, 1, 1));
        reporter.Log("row", LOG_INFO);
    }
    std::fclose(stream);
    const std::string all(text, size);
    std::free(text);
    EXPECT_EQ(all.find("Converting"), std::string::npos);
    EXPECT_EQ(all.find('\r'), std::string::npos);
    EXPECT_NE(all.find("row\n"), std::string::npos);
}

}  // namespace
