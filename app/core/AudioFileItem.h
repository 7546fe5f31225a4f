#pragma once

#include <cstdint>

// What the file list learned about one file; one record behind every row, owned by the row.
struct CAudioFileItem {
    int m_error = 0;              // nonzero: the file cannot be converted
    uint8_t m_type = 0;           // from the extension: 1 Ogg Vorbis, 2 MP3, 0 other
    uint32_t m_sampleRate = 0;    // Hz, 0 until read
    uint32_t m_channels = 0;      // 0 until read
    uint64_t m_totalSamples = 0;  // frames x channels
    double m_sizeMB = 0;          // bytes / 1,048,576
    double m_duration = 0;        // seconds
};
