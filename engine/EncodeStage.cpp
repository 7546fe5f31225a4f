// The encode stage: samples from the task's ring into an MP3 file through the encoder module.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "engine/ChunkPlan.h"
#include "engine/ConversionTask.h"
#include "engine/EncoderModule.h"
#include "engine/Id3Tag.h"
#include "engine/OutputGuard.h"
#include "engine/Pipeline.h"
#include "lame_enc/Bitrates.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/Tick.h"

namespace {

// Full scale ±2^31 becomes ±32768, the range the encoder takes.
constexpr float SAMPLE_SCALE = 1.0f / 65536.0f;
constexpr uint32_t REPORT_INTERVAL_MS = 100;
constexpr unsigned PAUSE_MS = 100;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    return text;
}

// The MP3 file, created exclusively so that a file that appeared after the free name was
// picked is never overwritten. After one failed write it takes no more bytes, so a full disk
// is reported once.
class COutputFile {
public:
    ~COutputFile() { Close(); }

    bool Create(const std::string& path) {
        m_fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (m_fd >= 0)
            m_guard = GuardOutput(m_fd);
        return m_fd >= 0;
    }

    // A file created (and so reserved) when its name was picked; false for none (-1).
    bool Adopt(int fd) {
        m_fd = fd;
        return fd >= 0;
    }

    // False when fewer bytes than asked were written (now or before).
    bool Write(const uint8_t* data, size_t size) {
        if (m_failed)
            return false;
        while (size > 0) {
            const ssize_t written = ::write(m_fd, data, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                // A write that takes nothing means the device is full.
                m_error = written < 0 ? errno : ENOSPC;
                m_failed = true;
                return false;
            }
            data += written;
            size -= static_cast<size_t>(written);
            m_length += written;
        }
        // The encoder hands out whole frames: the file ends on a frame boundary here.
        MarkWholeFrames(m_guard, m_length);
        return true;
    }

    bool HasFailed() const { return m_failed; }
    // The system's reason for the last failure.
    std::string Reason() const { return ErrorText(m_error); }

    // False when the system reports a late write error on closing.
    bool Close() {
        if (m_fd < 0)
            return true;
        ReleaseOutput(m_guard);
        m_guard = -1;
        const int result = ::close(m_fd);
        if (result != 0 && !m_failed)
            m_error = errno;
        m_fd = -1;
        return result == 0;
    }

private:
    int m_fd = -1;
    int m_guard = -1;
    off_t m_length = 0;
    bool m_failed = false;
    int m_error = 0;
};

// Closes an opened stream when an exception skips the end sequence.
class CStreamGuard {
public:
    CStreamGuard(const CEncoderModule& lame, HBE_STREAM stream) : m_lame(lame), m_stream(stream) {}
    ~CStreamGuard() {
        if (m_open)
            m_lame.beCloseStream(m_stream);
    }
    void Close() {
        if (m_open)
            m_lame.beCloseStream(m_stream);
        m_open = false;
    }

private:
    const CEncoderModule& m_lame;
    HBE_STREAM m_stream;
    bool m_open = true;
};

}  // namespace

int CConversionTask::RunEncoder() {
    if (!m_pipeline)
        return 0;
    m_encoding.store(1, std::memory_order_release);
    int result = 0;
    try {
        result = EncodeToMp3();
    } catch (...) {
        m_pipeline->ReportError(Format("An error occurred while encoding %s", m_destPath.c_str()));
        result = 0;
    }
    m_encoding.store(0, std::memory_order_release);
    return result;
}

int CConversionTask::EncodeToMp3() {
    CPipeline& state = *m_pipeline;
    COutputFile file;
    const bool reserved = file.Adopt(state.TakeOutputFile());
    // A reserved output file that will never be written leaves no empty file behind.
    auto discardReserved = [&] {
        if (reserved && file.Close())
            ::unlink(m_destPath.c_str());
    };

    CEncoderModule lame;
    switch (LoadEncoderModule(lame)) {
        case EncoderLoadResult::NotFound:
            discardReserved();
            state.ReportError("Error loading lame_enc.dll");
            {
                CStageWaits waiting(state);  // the user's time, not a stall
                ShowMessageBox("Error Loading Lame_enc.dll", MessageBoxIcon::Error);
            }
            return 0;
        case EncoderLoadResult::MissingEntryPoint:
            discardReserved();
            state.ReportError("Unable to get LAME interfaces");
            {
                CStageWaits waiting(state);
                ShowMessageBox("Unable to Get LAME Interfaces", MessageBoxIcon::Error);
            }
            return 0;
        case EncoderLoadResult::Loaded:
            break;
    }
    if (m_destChannels != 1 && m_destChannels != 2)
        throw std::invalid_argument("the encoder takes one or two channels");
    if (!m_encoderRing)
        throw std::logic_error("no ring to encode from");
    const uint32_t channels = m_destChannels;

    BE_CONFIG config;
    const int bitrate = m_bitrate;
    FillEncoderConfig(config, m_destRate, channels, bitrate);
    // The encoder takes the nearest rate its MPEG version allows; say so rather than hide it.
    const int legal = LegalBitrate(bitrate, static_cast<int>(m_destRate));
    if (legal != bitrate)
        state.Log(Format("%d kbit/s is not possible at %u Hz; %d kbit/s used", bitrate, m_destRate,
                         legal),
                  LOG_INFO);

    auto finalReport = [&] { state.ReportProgress(true); };

    bool created = reserved || file.Create(m_destPath);
    if (!created && errno == EEXIST) {
        // A file that appeared after the name was picked keeps its bytes: take the next free
        // name. The tries are bounded, since a dangling link looks free yet cannot be created.
        // Numbered from the plain name, so that a taken "x (2).mp3" gives "x (3).mp3".
        const std::string plain = m_plainDestPath.empty() ? m_destPath : m_plainDestPath;
        for (int tries = 0; !created && errno == EEXIST && tries < 100; ++tries) {
            m_destPath = MakeUniqueName(plain);
            created = file.Create(m_destPath);
        }
        if (created)
            state.Log(Format("Destination: %s.", m_destPath.c_str()), LOG_INFO);
    }
    if (!created) {
        const int reason = errno;
        state.ReportError(
            Format("Error creating file %s (%s)", m_destPath.c_str(), ErrorText(reason).c_str()));
        finalReport();
        return 1;
    }
    m_destCreated.store(1, std::memory_order_release);

    BE_DWORD samples = 0;
    BE_DWORD bufferSize = 0;
    HBE_STREAM stream = 0;
    BE_ERR error = lame.beInitStream(&config, &samples, &bufferSize, &stream);
    // Whole frames, and never more than the ring can hold, or a full ring would wait forever
    // for a chunk that cannot come.
    uint32_t chunk = std::min<uint32_t>(samples, m_encoderRing->Size() - 1);
    chunk -= chunk % channels;
    if (error == BE_ERR_SUCCESSFUL && (chunk == 0 || bufferSize == 0)) {
        lame.beCloseStream(stream);
        error = BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    if (error != BE_ERR_SUCCESSFUL) {
        state.ReportError(
            Format("Error opening encoding stream (%lu)", static_cast<unsigned long>(error)));
        file.Close();
        finalReport();
        return 1;
    }
    CStreamGuard streamGuard(lame, stream);
    // The tag goes before any audio, so a cancelled conversion carries it too; the module
    // finds its reserved frame after it.
    if (m_id3Version != 0) {
        const CId3Tag tag = BuildId3Tag(m_sourcePath, m_id3Version);
        for (const std::string& note : tag.m_notes)
            state.Log(note, LOG_INFO);
        if (!tag.m_bytes.empty() && !file.Write(tag.m_bytes.data(), tag.m_bytes.size()))
            state.ReportError("Output file write error (" + file.Reason() + ")");
    }

    std::vector<int32_t> input(chunk);
    std::vector<uint8_t> output(bufferSize);
    std::vector<float> left(chunk / channels);
    std::vector<float> right(channels == 2 ? chunk / 2 : 0);
    auto writeOutput = [&](BE_DWORD produced) {
        // A module that claims more than the buffer holds gets no read past its end.
        const size_t size = std::min<size_t>(produced, output.size());
        if (size == 0 || file.HasFailed())
            return;
        if (!file.Write(output.data(), size))
            state.ReportError("Output file write error (" + file.Reason() + ")");
    };

    uint32_t lastReport = GetTickCount();
    while (state.IsRunning()) {
        if (state.IsPaused()) {
            Sleep(PAUSE_MS);
            continue;
        }
        const uint32_t now = GetTickCount();
        if (now - lastReport > REPORT_INTERVAL_MS) {
            lastReport = GetTickCount();
            state.ReportProgress(false);
        }

        const uint32_t seen = m_encoderRing->Changes();
        const ChunkPlan plan = PlanChunk(
            chunk, channels,
            [this] {
                return m_decoding.load(std::memory_order_acquire) ||
                       m_processing.load(std::memory_order_acquire);
            },
            [this] { return m_encoderRing->Available(0); });
        if (plan.wait) {
            m_encoderRing->WaitForChange(seen, RING_WAIT_MS);
            continue;
        }
        const uint32_t n = plan.samples;
        if (plan.last)
            chunk = 0;
        m_encoderRing->Read(input.data(), n, 0);

        BE_DWORD produced = 0;
        if (channels == 1) {
            for (uint32_t i = 0; i < n; ++i)
                left[i] = static_cast<float>(input[i]) * SAMPLE_SCALE;
            error = lame.beEncodeChunkFloatS16NI(stream, n, left.data(), nullptr, output.data(),
                                                 &produced);
        } else {
            for (uint32_t i = 0; i < n / 2; ++i) {
                left[i] = static_cast<float>(input[2 * i]) * SAMPLE_SCALE;
                right[i] = static_cast<float>(input[2 * i + 1]) * SAMPLE_SCALE;
            }
            error = lame.beEncodeChunkFloatS16NI(stream, n / 2, left.data(), right.data(),
                                                 output.data(), &produced);
        }
        if (error != BE_ERR_SUCCESSFUL)
            state.ReportError(
                Format("beEncodeChunk() failed (%lu)", static_cast<unsigned long>(error)));
        else
            writeOutput(produced);

        state.Advance(n);
        if (chunk == 0)
            break;
    }

    // The end sequence runs after every loop end, so a cancelled or failed conversion still
    // leaves a well-formed, tagged file with what was encoded.
    BE_DWORD produced = 0;
    error = lame.beDeinitStream(stream, output.data(), &produced);
    if (error != BE_ERR_SUCCESSFUL)
        state.ReportError(Format("beExitStream failed (%lu)", static_cast<unsigned long>(error)));
    else
        writeOutput(produced);
    streamGuard.Close();
    // Closing and tagging may wait on a slow disk; that is no stall.
    CStageWaits closing(state);
    if (!file.Close() && !file.HasFailed())
        state.ReportError("Output file write error (" + file.Reason() + ")");
    if (lame.beWriteInfoTag)
        lame.beWriteInfoTag(stream, m_destPath.c_str());
    else
        lame.beWriteVBRHeader(m_destPath.c_str());

    finalReport();
    return 1;
}
