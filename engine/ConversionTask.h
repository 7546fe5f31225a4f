#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/RingBuffer.h"

class CPipeline;

// One Ogg Vorbis file's conversion into one MP3 file, and the class whose member functions are
// the engine's stages. A value: copies are member-wise; the ring, the decode buffer and the
// pipeline it points to are not owned by it. The copy that runs belongs to its CPipeline.
class CConversionTask {
public:
    CConversionTask() = default;
    CConversionTask(const CConversionTask& other) { *this = other; }
    CConversionTask& operator=(const CConversionTask& other) {
        m_sourcePath = other.m_sourcePath;
        m_sourceType = other.m_sourceType;
        m_sourceRate = other.m_sourceRate;
        m_sourceChannels = other.m_sourceChannels;
        m_destPath = other.m_destPath;
        m_plainDestPath = other.m_plainDestPath;
        m_destType = other.m_destType;
        m_destRate = other.m_destRate;
        m_destChannels = other.m_destChannels;
        m_totalSamples = other.m_totalSamples;
        m_ratio = other.m_ratio;
        m_needsProcessing = other.m_needsProcessing;
        m_bitrate = other.m_bitrate;
        m_id3Version = other.m_id3Version;
        m_decoding.store(other.m_decoding.load(std::memory_order_acquire));
        m_encoding.store(other.m_encoding.load(std::memory_order_acquire));
        m_processing.store(other.m_processing.load(std::memory_order_acquire));
        m_sourceIncomplete.store(other.m_sourceIncomplete.load(std::memory_order_acquire));
        m_destCreated.store(other.m_destCreated.load(std::memory_order_acquire));
        m_encoderRing = other.m_encoderRing;
        m_decodeBuffer = other.m_decodeBuffer;
        m_pipeline = other.m_pipeline;
        return *this;
    }

    // Seconds of output audio that a count of sample values (all channels) represents.
    float SamplesToSeconds(uint64_t samples) const;

    // The stages. Each runs on its own thread but the decode stage, which StartPipeline runs
    // on the calling (batch worker) thread; every one returns nonzero on success.
    int StartPipeline();
    bool CheckSourceFile(const std::string& path);
    int DecodeToRing();
    int RunProcessing();
    int RunEncoder();
    int EncodeToMp3();

    std::string m_sourcePath;
    int m_sourceType = -1;  // 1 Ogg Vorbis, 2 MP3
    uint32_t m_sourceRate = UINT32_MAX;
    uint32_t m_sourceChannels = UINT32_MAX;
    std::string m_destPath;
    // The name before a number was added to it (empty: m_destPath itself); further numbers are
    // formed from it.
    std::string m_plainDestPath;
    int m_destType = -1;  // always 2 (MP3) once built
    uint32_t m_destRate = UINT32_MAX;
    uint32_t m_destChannels = UINT32_MAX;
    uint64_t m_totalSamples = 0;  // expected output sample values, all channels counted
    double m_ratio = 0.0;         // (destRate * destChannels) / (sourceRate * sourceChannels)
    int m_needsProcessing = 0;
    int m_bitrate = 128;   // kbit/s, constant; taken from the settings when the task is built
    int m_id3Version = 0;  // the source's tags go into an ID3v2.3 (3) or 2.4 (4) tag; 0: none
    // One writer each (the stage itself); a stage stores 0 only after its last ring write, so a
    // reader that loads 0 with acquire also sees every sample written before.
    std::atomic<int> m_decoding{0};
    std::atomic<int> m_encoding{0};
    std::atomic<int> m_processing{0};
    // Set by the decode stage when the source ended early through a fault of its own: the later
    // stages still encode what was decoded, and the task fails once they have ended.
    std::atomic<int> m_sourceIncomplete{0};
    // Set by the encode stage once it has created the MP3 file named by m_destPath.
    std::atomic<int> m_destCreated{0};
    SampleRing* m_encoderRing = nullptr;
    float* m_decodeBuffer = nullptr;
    // The pipeline that owns this copy and runs it; null on a task not yet started.
    CPipeline* m_pipeline = nullptr;
};

// The first free name "base (n).ext" for n = 2, 3, ..., where ext is the file name's extension
// (the folders' dots never count). Used when the output name is taken.
// A long base name is cut (on a character boundary) so that the numbered file name still fits
// in 255 bytes.
std::string MakeUniqueName(const std::string& path);
// "base (n).ext" for the path, cut as MakeUniqueName cuts it.
std::string NumberedName(const std::string& path, unsigned long n);

// Creates the folder and every missing parent, outermost first. True when the folder exists
// afterwards (a file of that name does not count).
bool CreateDirectoryTree(const std::string& path);
