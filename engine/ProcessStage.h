#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The effects between the rings, each as its name and arguments: "input", then the channel
// change and the rate change when needed, always the 7000 Hz low-pass and the 100 Hz high-pass,
// then "output".
std::vector<std::vector<std::string>> ChainFor(uint32_t sourceChannels, uint32_t sourceRate,
                                               uint32_t destChannels, uint32_t destRate);

// The arguments of a stereo "remix" for a source of 3 to 8 channels in the stream's channel
// order, keeping left on the left and right on the right; empty for other counts.
std::vector<std::string> StereoDownmix(uint32_t channels);
