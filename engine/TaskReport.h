#pragma once

#include <cstdint>
#include <string>

// Play time as "mm:ss", or "hh:mm:ss" from an hour on; whole seconds, cut down.
std::string FormatPlayTime(double seconds);

// How the decoded length of a source compares with the length its scan promised.
enum class DecodedLength {
    Complete,  // all of it, or close enough that gaps and rounding explain the rest
    Nothing,   // not one sample
    Short,     // far less than promised
};
// Samples of all channels; an unknown promise (0) only tells nothing from something.
DecodedLength JudgeDecodedLength(uint64_t decoded, uint64_t promised);

// The last line about a file that did not convert to its end: which part of the audio it holds.
std::string IncompleteFileLine(const std::string& path, double heldSeconds, double expectedSeconds);
