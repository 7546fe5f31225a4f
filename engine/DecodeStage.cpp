#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/ConversionTask.h"
#include "engine/DecodeStage.h"
#include "engine/Pipeline.h"
#include "engine/StageThread.h"
#include "engine/TaskReport.h"
#include "platform/FileSystem.h"
#include "platform/Tick.h"

namespace {

std::string Format(const char* format, const std::string& arg) {
    std::vector<char> buffer(arg.size() + 256);
    std::snprintf(buffer.data(), buffer.size(), format, arg.c_str());
    return buffer.data();
}

// The source, read through a standard stream the decoder's callbacks take; closed on every way
// out of the stage.
class CSourceFile {
public:
    explicit CSourceFile(int fd) : m_file(fd < 0 ? nullptr : ::fdopen(fd, "rb")) {
        if (fd >= 0 && !m_file)
            ::close(fd);
    }
    ~CSourceFile() {
        if (m_file)
            std::fclose(m_file);
    }
    CSourceFile(const CSourceFile&) = delete;
    CSourceFile& operator=(const CSourceFile&) = delete;
    FILE* get() const { return m_file; }

private:
    FILE* m_file;
};

// The decoder's state, cleared on every way out; clearing a state that failed to open is safe.
struct CDecoder {
    CDecoder() { std::memset(&vf, 0, sizeof vf); }
    ~CDecoder() { ov_clear(&vf); }
    CDecoder(const CDecoder&) = delete;
    CDecoder& operator=(const CDecoder&) = delete;
    OggVorbis_File vf;
};

// Lines about gaps in one file; a badly damaged file must not flood the log.
constexpr int MAX_HOLE_LINES = 10;

std::string HoleLine(double seconds, bool lastListed) {
    std::string line = "Warning: part of the stream is missing at " + FormatPlayTime(seconds) +
                       "; decoding goes on.";
    if (lastListed)
        line += " Further gaps are not listed.";
    return line;
}

}  // namespace

int32_t FloatToSample32(float f) {
    const double x = static_cast<double>(f) * 2147483648.0;
    if (x >= 2147483647.0)
        return 2147483647;
    if (!(x >= -2147483648.0))  // also NaN
        return INT32_MIN;
    return static_cast<int32_t>(std::nearbyint(x));  // halfway cases to even
}

bool CConversionTask::CheckSourceFile(const std::string& path) {
    std::string reason;
    const int fd = OpenRegularFile(path, &reason);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (reason.size() > 1023)
        reason.resize(1023);
    m_pipeline->ReportError(Format("File Error: %s", reason));
    return false;
}

int CConversionTask::StartPipeline() {
    CPipeline& pipeline = *m_pipeline;
    m_decoding.store(1, std::memory_order_release);
    pipeline.m_processThread.Set(nullptr);

    if (!CheckSourceFile(m_sourcePath)) {
        m_decoding.store(0, std::memory_order_release);
        return 0;
    }

    int result = 0;
    try {
        if (m_needsProcessing) {
            m_encoderRing = &pipeline.ProcessedRing();
            StartStageThread(*this, &CConversionTask::RunProcessing, pipeline.m_processThread);
        } else {
            m_encoderRing = &pipeline.DecodeRing();
            StartStageThread(*this, &CConversionTask::RunEncoder, pipeline.m_encodeThread);
        }
        result = DecodeToRing();
    } catch (...) {
        pipeline.ReportError(Format("An error occurred while decoding %s", m_sourcePath));
        result = 0;
    }
    // Last: a reader that sees the end also sees every sample written before it.
    m_decoding.store(0, std::memory_order_release);
    pipeline.DecodeRing().Wake();
    return result;
}

int CConversionTask::DecodeToRing() {
    CPipeline& state = *m_pipeline;
    SampleRing& ring = state.DecodeRing();
    const uint32_t ch = m_sourceChannels;
    if (ch == 0 || ch > 255) {
        state.ReportError("Invalid ogg vorbis stream");
        return 0;
    }
    std::vector<int32_t> interleave(static_cast<size_t>(DECODE_FRAMES) * ch);

    // Opened without blocking: the source may have been replaced by a pipe since it was checked.
    std::string reason;
    CSourceFile file(OpenRegularFile(m_sourcePath, &reason));
    if (!file.get()) {
        state.ReportError(Format("Error : could not open file : %s", m_sourcePath) + " (" + reason +
                          ")");
        return 0;
    }
    int result = 1;
    CDecoder decoder;
    if (ov_open_callbacks(file.get(), &decoder.vf, nullptr, 0, OV_CALLBACKS_NOCLOSE) < 0) {
        state.ReportError("Invalid ogg vorbis stream");
        return 0;
    }
    OggVorbis_File& vf = decoder.vf;

    // A source that ends early through its own fault keeps what was decoded: the line is red,
    // but the later stages drain the rings, and the batch fails the task once they end.
    auto sourceEndsEarly = [&](const std::string& line) {
        state.RecordError(line);
        m_sourceIncomplete.store(1, std::memory_order_release);
        result = 0;
    };
    int lastSection = -1;
    uint64_t decodedFrames = 0;
    int holes = 0;
    while (state.IsRunning()) {
        const uint32_t seen = ring.Changes();
        if (ring.FreeSpace() < DECODE_FRAMES * ch) {
            ring.WaitForChange(seen, RING_WAIT_MS);
            continue;
        }
        float** pcm = nullptr;
        int section = 0;
        const long n = ov_read_float(&vf, &pcm, DECODE_FRAMES, &section);
        if (n == OV_HOLE) {
            // A lost or damaged page: the decoder goes on after it, and so do we.
            if (++holes <= MAX_HOLE_LINES)
                state.Log(HoleLine(static_cast<double>(decodedFrames) / m_sourceRate,
                                   holes == MAX_HOLE_LINES),
                          LOG_INFO);
            continue;
        }
        if (n < 0) {
            sourceEndsEarly("Fatal read error: " + std::to_string(n));
            break;
        }
        if (n == 0) {
            const uint64_t promised =
                m_ratio > 0 ? static_cast<uint64_t>(static_cast<double>(m_totalSamples) / m_ratio)
                            : 0;
            const double decodedSeconds = static_cast<double>(decodedFrames) / m_sourceRate;
            switch (JudgeDecodedLength(decodedFrames * ch, promised)) {
                case DecodedLength::Nothing:
                    sourceEndsEarly(Format("No audio could be decoded from %s", m_sourcePath));
                    break;
                case DecodedLength::Short:
                    sourceEndsEarly(
                        "Only " + FormatPlayTime(decodedSeconds) + " of " +
                        FormatPlayTime(static_cast<double>(promised) / ch / m_sourceRate) +
                        " could be decoded from " + m_sourcePath);
                    break;
                case DecodedLength::Complete:
                    break;
            }
            break;
        }
        if (section != lastSection) {
            // A chained stream may change its format; the rest of the pipeline is built for
            // the format the list read, so such a stream cannot go on.
            const vorbis_info* info = ov_info(&vf, section);
            if (!info || static_cast<uint32_t>(info->channels) != ch ||
                static_cast<uint32_t>(info->rate) != m_sourceRate) {
                sourceEndsEarly(Format("The audio format changes inside %s", m_sourcePath));
                break;
            }
            lastSection = section;
        }
        int32_t* out = interleave.data();
        for (long i = 0; i < n; ++i)
            for (uint32_t j = 0; j < ch; ++j)
                *out++ = static_cast<int32_t>(static_cast<uint32_t>(FloatToSample32(pcm[j][i])) &
                                              SAMPLE_MASK);
        ring.Write(interleave.data(), static_cast<uint32_t>(n) * ch);
        decodedFrames += static_cast<uint64_t>(n);
    }

    return result;
}
