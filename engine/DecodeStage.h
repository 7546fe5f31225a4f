#pragma once

#include <cstdint>

// Frames asked from the decoder per read.
constexpr uint32_t DECODE_FRAMES = 512;
// Keeps the sixteen bits the encoder takes; anything coarser would erase quiet passages.
constexpr uint32_t SAMPLE_MASK = 0xFFFF0000u;

// One decoded value as a signed 32-bit sample: +1.0 gives the maximum, -1.0 and anything below
// (or NaN) the minimum, halfway cases round to even.
int32_t FloatToSample32(float f);
