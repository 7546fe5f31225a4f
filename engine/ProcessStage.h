#pragma once

#include <sox.h>

#include <atomic>
#include <cstdint>
#include <functional>
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

// Adds the steps of ChainFor to the chain, the program's own "input" and "output" effects made by
// ownEffect. Empty when every effect is in the chain as asked, else the reason; only the low-pass
// that a low rate cannot hold may be left out.
std::string AddChainEffects(sox_effects_chain_t* chain,
                            const std::vector<std::vector<std::string>>& steps,
                            sox_signalinfo_t& running, const sox_signalinfo_t& requested,
                            const std::function<sox_effect_t*(const std::string&)>& ownEffect);

// Empty when the chain's output is the task's rate and channel count, else what it gives.
std::string ChainOutputError(const sox_signalinfo_t& output, uint32_t destRate,
                             uint32_t destChannels);

// Runs the chain to its end; empty unless the flow failed while running was still set (a cancel
// ends it through the program's own effects and is no failure), else the error line.
std::string FlowEffects(sox_effects_chain_t* chain, const std::function<bool()>& running);
