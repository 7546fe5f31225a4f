#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "app/core/AudioFileItem.h"

// The cell and status texts of the file list, shared by the window and the command line.

// "%02d:%02d:%02d" of whole seconds (fraction cut off); hours are not limited to two digits.
// Negative or non-finite values count as 0.
std::string FormatHms(double seconds);

// Column 2: the upper-cased extension, "Unknown" for a bad file.
std::string TypeText(const std::string& upperExtension, const CAudioFileItem& item);
// Column 3: "%.2f" of the size in MiB.
std::string SizeText(double sizeMB);
// Column 4: the time in local time, "%Y/%m/%d %H:%M:%S".
std::string LastModifiedText(std::time_t lastWrite);
// Column 5: empty for a bad file or when the whole seconds are 0.
std::string DurationText(const CAudioFileItem& item);
// Column 6: "%d Hz"; empty for a bad file or an unknown rate.
std::string FrequencyText(const CAudioFileItem& item);
// Column 7: "1 (Mono)", "2 (Stereo)" or the count; empty for a bad file or an unknown count.
std::string ChannelText(const CAudioFileItem& item);

// Status pane 0: "%d file(s)   %.2f MB   %02d:%02d:%02d", or "No file" without rows.
std::string SummaryText(int fileCount, double totalSizeMB, double totalDuration);
// Status pane 1: "%d file(s) selected, %.2f MB   %02d:%02d:%02d", or "No file selected".
std::string SelectionText(int selectedCount, double sizeMB, double duration);
