#pragma once

#include <cstdio>
#include <string>

// What the progress line shows; the numbers are the progress window's.
struct CProgressSnapshot {
    std::string m_caption;   // "Converting %d/%d"
    std::string m_fileName;  // of the current source
    float m_filePercent = 0;
    float m_batchPercent = 0;
    float m_fileElapsed = 0;  // seconds since the current file started
    float m_batchElapsed = 0;
    float m_fileSecondsDone = 0;  // seconds of audio written for the current file
};

// One line, no line end: caption, name, both percentages (above 100 shown as 100), the time
// left of each, and the current file's speed. Times and speed appear once a tenth of a second
// has passed and something is done, as in the window.
std::string FormatProgressLine(const CProgressSnapshot& snapshot);

// A log row as the window numbers and times it: "%03d HH:MM:SS  text"; an error row carries
// "error: " before its text and, with colour, is red.
std::string FormatLogLine(unsigned number, int hour, int minute, int second,
                          const std::string& text, int kind, bool colour);

// Writes log rows to one stream and keeps a progress line, rewritten in place, on another
// (only when that one is a terminal). A row or a note first wipes the progress line.
class CConsoleReporter {
public:
    CConsoleReporter(std::FILE* logStream, std::FILE* progressStream, bool showProgress,
                     bool colour);

    void Log(const std::string& text, int kind);
    void Progress(const CProgressSnapshot& snapshot);
    // A line of the program's own on the progress stream ("quillon-convert: ...").
    void Note(const std::string& line);
    void ClearProgress();

private:
    std::FILE* m_log;
    std::FILE* m_progress;
    bool m_showProgress;
    bool m_colour;
    bool m_progressShown = false;
    unsigned m_rowCount = 0;
};
