#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/ConversionTask.h"
#include "engine/DecodeStage.h"
#include "engine/Pipeline.h"
#include "engine/StageThread.h"
#include "platform/FileSystem.h"
#include "platform/Tick.h"

namespace {

std::string Format(const char* format, const std::string& arg) {
    std::vector<char> buffer(arg.size() + 256);
    std::snprintf(buffer.data(), buffer.size(), format, arg.c_str());
    return buffer.data();
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
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int error = fd < 0 ? errno : 0;
    struct stat st;
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode))
        error = EISDIR;
    if (fd >= 0)
        ::close(fd);
    if (error == 0)
        return true;
    std::string reason = ErrorText(error);
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

    FILE* file = std::fopen(m_sourcePath.c_str(), "rb");
    if (!file) {
        state.ReportError(Format("Error : could not open file : %s", m_sourcePath));
        return 0;
    }
    int result = 1;
    OggVorbis_File vf;
    if (ov_open_callbacks(file, &vf, nullptr, 0, OV_CALLBACKS_NOCLOSE) < 0) {
        state.ReportError("Invalid ogg vorbis stream");
        ov_clear(&vf);
        std::fclose(file);
        return 0;
    }

    int lastSection = -1;
    while (state.IsRunning()) {
        const uint32_t seen = ring.Changes();
        if (ring.FreeSpace() < DECODE_FRAMES * ch) {
            ring.WaitForChange(seen, RING_WAIT_MS);
            continue;
        }
        float** pcm = nullptr;
        int section = 0;
        const long n = ov_read_float(&vf, &pcm, DECODE_FRAMES, &section);
        if (n < 0) {
            state.ReportError("Fatal read error: " + std::to_string(n));
            result = 0;
            break;
        }
        if (n == 0)
            break;
        if (section != lastSection) {
            // A chained stream may change its format; the rest of the pipeline is built for
            // the format the list read, so such a stream cannot go on.
            const vorbis_info* info = ov_info(&vf, section);
            if (!info || static_cast<uint32_t>(info->channels) != ch ||
                static_cast<uint32_t>(info->rate) != m_sourceRate) {
                state.ReportError(Format("The audio format changes inside %s", m_sourcePath));
                result = 0;
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
    }

    ov_clear(&vf);
    std::fclose(file);
    return result;
}
