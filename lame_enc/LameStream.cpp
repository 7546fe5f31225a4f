#include "lame_enc/LameStream.h"

#include "lame_enc/Bitrates.h"

#include <fcntl.h>
#include <lame/lame.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <unordered_map>
#include <vector>

namespace lame_enc {
namespace {

// Streams closed after their flush keep their tag (a few hundred bytes, the encoder itself is
// freed) until it is written, however many files are finished at once. Only open streams count
// against the limit.
constexpr size_t MAX_STREAMS = 4096;
// libmp3lame's own bound for one call: 1.25 bytes per frame plus 7200.
constexpr double BYTES_PER_FRAME = 1.25;
constexpr uint32_t BUFFER_MARGIN = 7200;
constexpr int DEFAULT_QUALITY = 5;

enum class Phase { Open, Flushed, Closed };

struct Stream {
    ~Stream() {
        if (lame)
            lame_close(lame);
    }

    std::mutex mutex;
    Phase phase = Phase::Open;
    lame_global_flags* lame = nullptr;
    int channels = 0;
    uint32_t chunkFrames = 0;
    uint32_t bufferSize = 0;
    std::vector<float> left, right;
    std::vector<uint8_t> tag;
};

struct Table {
    std::mutex mutex;
    std::unordered_map<HBE_STREAM, std::shared_ptr<Stream>> streams;
    std::deque<HBE_STREAM> waitingTags;  // closed streams that keep a tag, oldest first
    HBE_STREAM next = 1;
};

// Never destroyed: a stream used by another thread during exit must not outlive its table.
Table& Streams() {
    static Table* table = new Table;
    return *table;
}

thread_local HBE_STREAM t_lastClosed = 0;

void Silent(const char*, va_list) {}

std::shared_ptr<Stream> Find(HBE_STREAM handle) {
    auto& table = Streams();
    std::lock_guard lock(table.mutex);
    auto it = table.streams.find(handle);
    return it == table.streams.end() ? nullptr : it->second;
}

void Forget(HBE_STREAM handle) {
    auto& table = Streams();
    std::shared_ptr<Stream> dropped;  // freed outside the lock
    std::lock_guard lock(table.mutex);
    auto it = table.streams.find(handle);
    if (it != table.streams.end()) {
        dropped = std::move(it->second);
        table.streams.erase(it);
    }
    auto& waiting = table.waitingTags;
    waiting.erase(std::remove(waiting.begin(), waiting.end(), handle), waiting.end());
}

void KeepForTag(HBE_STREAM handle) {
    auto& table = Streams();
    std::lock_guard lock(table.mutex);
    table.waitingTags.push_back(handle);
}

bool IsMpegRate(uint32_t rate) {
    static constexpr uint32_t rates[] = {8000,  11025, 12000, 16000, 22050,
                                         24000, 32000, 44100, 48000};
    return std::find(std::begin(rates), std::end(rates), rate) != std::end(rates);
}

// NaN, infinities and values far outside the 16-bit range make libmp3lame misbehave.
float Clamp(float value) {
    if (std::isnan(value))
        return 0.0f;
    return std::clamp(value, -32768.0f, 32767.0f);
}

// Stream settings from the record; BE_ERR_SUCCESSFUL when they are usable.
BE_ERR Configure(lame_global_flags* lame, const BE_CONFIG& config, int channels) {
    const auto& c = config.format.LHV1;
    const uint32_t outRate = c.dwReSampleRate ? c.dwReSampleRate : c.dwSampleRate;
    MPEG_mode mode = STEREO;
    switch (c.nMode) {
        case BE_MP3_MODE_STEREO:
            mode = STEREO;
            break;
        case BE_MP3_MODE_JSTEREO:
            mode = JOINT_STEREO;
            break;
        case BE_MP3_MODE_DUALCHANNEL:
            mode = DUAL_CHANNEL;
            break;
        default:
            mode = MONO;
            break;
    }
    lame_set_errorf(lame, Silent);
    lame_set_debugf(lame, Silent);
    lame_set_msgf(lame, Silent);
    lame_set_in_samplerate(lame, static_cast<int>(c.dwSampleRate));
    // Without an explicit output rate libmp3lame picks one to suit the bit rate.
    lame_set_out_samplerate(lame, static_cast<int>(outRate));
    lame_set_num_channels(lame, channels);
    lame_set_mode(lame, mode);
    lame_set_write_id3tag_automatic(lame, 0);
    lame_set_bWriteVbrTag(lame, c.bWriteVBRHeader ? 1 : 0);
    lame_set_disable_reservoir(lame, c.bNoRes ? 1 : 0);
    lame_set_strict_ISO(lame, c.bStrictIso ? 1 : 0);
    lame_set_extension(lame, c.bPrivate ? 1 : 0);
    lame_set_error_protection(lame, c.bCRC ? 1 : 0);
    lame_set_copyright(lame, c.bCopyright ? 1 : 0);
    lame_set_original(lame, c.bOriginal ? 1 : 0);
    if (c.dwEmphasis != 0 && c.dwEmphasis != 1 && c.dwEmphasis != 3)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    lame_set_emphasis(lame, static_cast<int>(c.dwEmphasis));

    const int q = c.nQuality & 0xFF;
    const bool qualityValid = (c.nQuality >> 8) == 255 - q && q <= 9;
    lame_set_quality(lame, qualityValid ? q : DEFAULT_QUALITY);

    if (!c.bEnableVBR) {
        if (c.dwBitrate == 0 || c.dwBitrate > 1000)
            return BE_ERR_INVALID_FORMAT_PARAMETERS;
        lame_set_VBR(lame, vbr_off);
        lame_set_brate(
            lame, NearestLegalBitrate(static_cast<int>(c.dwBitrate), static_cast<int>(outRate)));
        return BE_ERR_SUCCESSFUL;
    }
    switch (c.nVbrMethod) {
        case VBR_METHOD_OLD:
            lame_set_VBR(lame, vbr_rh);
            break;
        case VBR_METHOD_ABR:
            lame_set_VBR(lame, vbr_abr);
            if (c.dwVbrAbr_bps)
                lame_set_VBR_mean_bitrate_kbps(lame, static_cast<int>(c.dwVbrAbr_bps / 1000));
            break;
        case VBR_METHOD_NONE:
        case VBR_METHOD_DEFAULT:
        case VBR_METHOD_NEW:
        case VBR_METHOD_MTRH:
            lame_set_VBR(lame, vbr_default);
            break;
        default:
            return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    lame_set_VBR_q(lame, std::clamp(c.nVBRQuality, 0, 9));
    if (c.dwBitrate)
        lame_set_VBR_min_bitrate_kbps(
            lame, NearestLegalBitrate(static_cast<int>(c.dwBitrate), static_cast<int>(outRate)));
    if (c.dwMaxBitrate)
        lame_set_VBR_max_bitrate_kbps(
            lame, NearestLegalBitrate(static_cast<int>(c.dwMaxBitrate), static_cast<int>(outRate)));
    return BE_ERR_SUCCESSFUL;
}

// Takes the tag from a flushed stream and frees the encoder. Call with the stream locked.
void Finish(Stream& s) {
    if (s.phase == Phase::Flushed && s.lame) {
        const size_t size = lame_get_lametag_frame(s.lame, nullptr, 0);
        if (size > 0) {
            s.tag.resize(size);
            if (lame_get_lametag_frame(s.lame, s.tag.data(), size) != size)
                s.tag.clear();
        }
    }
    if (s.lame) {
        lame_close(s.lame);
        s.lame = nullptr;
    }
    s.left = {};
    s.right = {};
    s.phase = Phase::Closed;
}

bool ReadAll(int fd, uint8_t* data, size_t size, off_t offset = 0) {
    size_t done = 0;
    while (done < size) {
        const ssize_t got =
            ::pread(fd, data + done, size - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

bool WriteAll(int fd, const uint8_t* data, size_t size, off_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t put =
            ::pwrite(fd, data + done, size - done, offset + static_cast<off_t>(done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

// Sync, version, layer, bit rate, rate, padding and channel mode; the mode extension bits may
// differ between the reserved frame and the tag.
bool SameFrameHeader(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    return a.size() >= 4 && b.size() >= 4 && std::memcmp(a.data(), b.data(), 3) == 0 &&
           (a[3] & 0xC0) == (b[3] & 0xC0);
}

// Where the audio starts: after an ID3v2 tag (header, frames, footer) when the file begins with
// one, else at 0.
off_t AudioStart(int fd) {
    uint8_t header[10];
    if (!ReadAll(fd, header, sizeof header) || std::memcmp(header, "ID3", 3) != 0 ||
        header[3] == 0xFF || header[4] == 0xFF)
        return 0;
    off_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if (header[i] & 0x80)
            return 0;
        size = size << 7 | header[i];
    }
    const bool footer = (header[5] & 0x10) != 0;
    return static_cast<off_t>(sizeof header) + size + (footer ? 10 : 0);
}

// Overwrites the frame the encoder reserved, the first after any ID3v2 tag, with the tag frame.
// Only a file that has that frame there (same header, same length available) is touched, so a
// wrong path never damages another file.
BE_ERR WriteTagFrame(const char* path, const std::vector<uint8_t>& tag) {
    const int fd = ::open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return BE_ERR_FILE;
    BE_ERR result = BE_ERR_FILE;
    struct stat info {};
    std::vector<uint8_t> head(tag.size());
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        const off_t start = AudioStart(fd);
        if (info.st_size - start >= static_cast<off_t>(tag.size()) &&
            ReadAll(fd, head.data(), head.size(), start) && SameFrameHeader(head, tag) &&
            WriteAll(fd, tag.data(), tag.size(), start))
            result = BE_ERR_SUCCESSFUL;
    }
    ::close(fd);
    return result;
}

}  // namespace

int NearestLegalBitrate(int kbps, int sampleRate) {
    return LegalBitrate(kbps, sampleRate);
}

BE_ERR InitStream(PBE_CONFIG config, BE_DWORD* samples, BE_DWORD* bufferSize, PHBE_STREAM stream) {
    if (!config || !samples || !bufferSize || !stream)
        return BE_ERR_INVALID_ARGUMENT;
    *samples = 0;
    *bufferSize = 0;
    *stream = 0;
    BE_CONFIG c;
    std::memcpy(&c, config, sizeof c);
    const auto& lhv1 = c.format.LHV1;
    if (c.dwConfig != BE_CONFIG_LAME || lhv1.dwStructVersion != CURRENT_STRUCT_VERSION ||
        lhv1.dwStructSize != CURRENT_STRUCT_SIZE)
        return BE_ERR_INVALID_FORMAT;
    if (!IsMpegRate(lhv1.dwSampleRate) || (lhv1.dwReSampleRate && !IsMpegRate(lhv1.dwReSampleRate)))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (lhv1.nMode < BE_MP3_MODE_STEREO || lhv1.nMode > BE_MP3_MODE_MONO)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;

    auto s = std::make_shared<Stream>();
    s->channels = lhv1.nMode == BE_MP3_MODE_MONO ? 1 : 2;
    s->lame = lame_init();
    if (!s->lame)
        return BE_ERR_ENCODER;
    if (BE_ERR error = Configure(s->lame, c, s->channels); error != BE_ERR_SUCCESSFUL)
        return error;
    if (lame_init_params(s->lame) < 0)
        return BE_ERR_ENCODER;
    const int frameSize = lame_get_framesize(s->lame);
    if (frameSize <= 0)
        return BE_ERR_ENCODER;
    s->chunkFrames = static_cast<uint32_t>(frameSize);
    s->bufferSize = static_cast<uint32_t>(std::ceil(BYTES_PER_FRAME * frameSize)) + BUFFER_MARGIN;
    s->left.resize(s->chunkFrames);
    s->right.resize(s->channels == 2 ? s->chunkFrames : 0);

    HBE_STREAM handle = 0;
    {
        auto& table = Streams();
        std::lock_guard lock(table.mutex);
        if (table.streams.size() - table.waitingTags.size() >= MAX_STREAMS)
            return BE_ERR_NO_MORE_HANDLES;
        // Numbers are not reused until the counter wraps, so a stale handle finds nothing.
        do {
            handle = table.next++;
        } while (handle == 0 || table.streams.count(handle));
        table.streams.emplace(handle, s);
    }
    *samples = s->chunkFrames * static_cast<uint32_t>(s->channels);
    *bufferSize = s->bufferSize;
    *stream = handle;
    return BE_ERR_SUCCESSFUL;
}

BE_ERR EncodeChunkFloatS16NI(HBE_STREAM stream, BE_DWORD frames, const float* left,
                             const float* right, uint8_t* output, BE_DWORD* produced) {
    if (!produced)
        return BE_ERR_INVALID_ARGUMENT;
    *produced = 0;
    auto s = Find(stream);
    if (!s)
        return BE_ERR_INVALID_HANDLE;
    std::lock_guard lock(s->mutex);
    if (s->phase != Phase::Open)
        return BE_ERR_INVALID_HANDLE;
    if (frames == 0)
        return BE_ERR_SUCCESSFUL;
    if (frames > s->chunkFrames)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (!left || !output || (s->channels == 2 && !right))
        return BE_ERR_INVALID_ARGUMENT;
    for (uint32_t i = 0; i < frames; ++i)
        s->left[i] = Clamp(left[i]);
    if (s->channels == 2) {
        for (uint32_t i = 0; i < frames; ++i)
            s->right[i] = Clamp(right[i]);
    }
    const float* r = s->channels == 2 ? s->right.data() : s->left.data();
    const int bytes = lame_encode_buffer_float(s->lame, s->left.data(), r, static_cast<int>(frames),
                                               output, static_cast<int>(s->bufferSize));
    if (bytes == -1)
        return BE_ERR_BUFFER_TOO_SMALL;
    if (bytes < 0)
        return BE_ERR_ENCODER;
    *produced = static_cast<BE_DWORD>(bytes);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR DeinitStream(HBE_STREAM stream, uint8_t* output, BE_DWORD* produced) {
    if (!produced)
        return BE_ERR_INVALID_ARGUMENT;
    *produced = 0;
    auto s = Find(stream);
    if (!s)
        return BE_ERR_INVALID_HANDLE;
    std::lock_guard lock(s->mutex);
    if (s->phase != Phase::Open)
        return BE_ERR_INVALID_HANDLE;
    if (!output)
        return BE_ERR_INVALID_ARGUMENT;
    const int bytes = lame_encode_flush(s->lame, output, static_cast<int>(s->bufferSize));
    if (bytes < 0)
        return bytes == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_ENCODER;
    s->phase = Phase::Flushed;
    *produced = static_cast<BE_DWORD>(bytes);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR CloseStream(HBE_STREAM stream) {
    auto s = Find(stream);
    if (!s)
        return BE_ERR_INVALID_HANDLE;
    bool keep = false;
    {
        std::lock_guard lock(s->mutex);
        if (s->phase == Phase::Closed)
            return BE_ERR_INVALID_HANDLE;
        Finish(*s);
        keep = !s->tag.empty();
    }
    if (keep) {
        KeepForTag(stream);
        t_lastClosed = stream;
    } else {
        Forget(stream);
    }
    return BE_ERR_SUCCESSFUL;
}

BE_ERR WriteInfoTag(HBE_STREAM stream, const char* path) {
    if (!path)
        return BE_ERR_INVALID_ARGUMENT;
    auto s = Find(stream);
    if (!s)
        return BE_ERR_INVALID_HANDLE;
    std::vector<uint8_t> tag;
    {
        std::lock_guard lock(s->mutex);
        if (s->phase != Phase::Closed)
            Finish(*s);
        tag = std::move(s->tag);
        s->tag.clear();
    }
    // The stream ends here, whatever happens to the file.
    Forget(stream);
    if (t_lastClosed == stream)
        t_lastClosed = 0;
    if (tag.empty())
        return BE_ERR_NO_TAG;
    return WriteTagFrame(path, tag);
}

BE_ERR WriteVBRHeader(const char* path) {
    if (!path)
        return BE_ERR_INVALID_ARGUMENT;
    const HBE_STREAM stream = t_lastClosed;
    if (stream == 0)
        return BE_ERR_INVALID_HANDLE;
    return WriteInfoTag(stream, path);
}

}  // namespace lame_enc
