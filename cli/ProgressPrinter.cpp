#include "cli/ProgressPrinter.h"

#include <algorithm>
#include <ctime>

#include "app/core/ListTexts.h"
#include "batch/ConversionState.h"

namespace {

std::string Printf(const char* format, auto... args) {
    char buffer[128];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    return n < 0 ? std::string() : std::string(buffer, std::min<size_t>(n, sizeof buffer - 1));
}

// At most max bytes, cut before a UTF-8 continuation byte, with "..." when cut.
std::string Shorten(const std::string& text, size_t max) {
    if (text.size() <= max)
        return text;
    size_t cut = max - 3;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return text.substr(0, cut) + "...";
}

float Clamp100(float percent) {
    return percent > 100.0f ? 100.0f : percent;
}

std::string TimeLeft(float percent, float elapsed) {
    if (elapsed > 0.1f && percent > 0.0f)
        return FormatHms((100.0 - percent) * elapsed / percent);
    return "--:--:--";
}

}  // namespace

std::string FormatProgressLine(const CProgressSnapshot& s) {
    const float file = Clamp100(s.m_filePercent);
    const float batch = Clamp100(s.m_batchPercent);
    std::string line = s.m_caption.empty() ? std::string("Converting") : s.m_caption;
    if (!s.m_fileName.empty())
        line += "  " + Shorten(s.m_fileName, 32);
    line += Printf("  file %6.2f%% left %s", file, TimeLeft(file, s.m_fileElapsed).c_str());
    line += Printf("  all %6.2f%% left %s", batch, TimeLeft(batch, s.m_batchElapsed).c_str());
    if (s.m_fileElapsed > 0.1f)
        line += Printf("  %5.2fx", s.m_fileSecondsDone / s.m_fileElapsed);
    return line;
}

std::string FormatLogLine(unsigned number, int hour, int minute, int second,
                          const std::string& text, int kind, bool colour) {
    std::string line = Printf("%03u %02d:%02d:%02d  ", number, hour, minute, second);
    if (kind == LOG_ERROR) {
        line += "error: " + text;
        if (colour)
            line = "\033[31m" + line + "\033[0m";
    } else {
        line += text;
    }
    return line;
}

CConsoleReporter::CConsoleReporter(std::FILE* logStream, std::FILE* progressStream,
                                   bool showProgress, bool colour)
    : m_log(logStream),
      m_progress(progressStream),
      m_showProgress(showProgress),
      m_colour(colour) {}

void CConsoleReporter::ClearProgress() {
    if (!m_progressShown)
        return;
    std::fputs("\r\033[K", m_progress);
    std::fflush(m_progress);
    m_progressShown = false;
}

void CConsoleReporter::Log(const std::string& text, int kind) {
    ClearProgress();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    const bool known = localtime_r(&now, &local) != nullptr;
    const std::string line =
        FormatLogLine(++m_rowCount, known ? local.tm_hour : -1, known ? local.tm_min : -1,
                      known ? local.tm_sec : -1, text, kind, m_colour);
    std::fputs(line.c_str(), m_log);
    std::fputc('\n', m_log);
    std::fflush(m_log);
}

void CConsoleReporter::Progress(const CProgressSnapshot& snapshot) {
    if (!m_showProgress)
        return;
    std::fputs(("\r\033[K" + FormatProgressLine(snapshot)).c_str(), m_progress);
    std::fflush(m_progress);
    m_progressShown = true;
}

void CConsoleReporter::Note(const std::string& line) {
    ClearProgress();
    std::fputs(("quillon-convert: " + line + "\n").c_str(), m_progress);
    std::fflush(m_progress);
}
