#include "app/core/AudioScan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <limits>

// Our own callbacks below; the header's static sets would be unused copies in this file.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include "platform/FileSystem.h"

const std::map<std::string, uint8_t> g_typeByExtension = {
    {"OGG", AUDIO_TYPE_OGG},
    {"MP3", AUDIO_TYPE_MP3},
};

namespace {

size_t ReadStream(void* ptr, size_t size, size_t count, void* source) {
    return std::fread(ptr, size, count, static_cast<FILE*>(source));
}

int SeekStream(void* source, ogg_int64_t offset, int whence) {
    if (!source)
        return -1;
    return ::fseeko(static_cast<FILE*>(source), static_cast<off_t>(offset), whence);
}

int CloseStream(void* source) {
    return std::fclose(static_cast<FILE*>(source));
}

long TellStream(void* source) {
    return static_cast<long>(::ftello(static_cast<FILE*>(source)));
}

// Read, 64-bit seek that fails without a file, close, tell: the library's default set.
const ov_callbacks kStdioCallbacks = {ReadStream, SeekStream, CloseStream, TellStream};

void ClearFormat(CAudioFileItem& item) {
    item.m_channels = 0;
    item.m_sampleRate = 0;
    item.m_totalSamples = 0;
    item.m_duration = 0;
}

}  // namespace

std::string UpperExtension(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    std::string ext = dot == std::string::npos ? fileName : fileName.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return ext;
}

uint8_t TypeFromExtension(const std::string& upperExtension) {
    const auto it = g_typeByExtension.find(upperExtension);
    return it == g_typeByExtension.end() ? AUDIO_TYPE_OTHER : it->second;
}

bool ReadFileFacts(const std::string& path, CAudioFileItem& item, CFileFacts& facts) {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return false;
    facts.m_path = path;
    const size_t sep = path.rfind(PATH_SEPARATOR);
    facts.m_name = sep == std::string::npos ? path : path.substr(sep + 1);
    facts.m_folder = sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
    facts.m_extension = UpperExtension(facts.m_name);
    facts.m_sizeBytes = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    facts.m_lastWrite = st.st_mtime;
    item.m_sizeMB = static_cast<double>(facts.m_sizeBytes) / 1048576.0;
    item.m_type = TypeFromExtension(facts.m_extension);
    return true;
}

const char* ScanVerdictText(ScanVerdict verdict) {
    switch (verdict) {
        case ScanVerdict::Good:
            return "good";
        case ScanVerdict::Locked:
            return "not a readable file";
        case ScanVerdict::NotOggVorbis:
            return "not an Ogg Vorbis file (.ogg)";
        case ScanVerdict::InvalidStream:
            return "not a valid Ogg Vorbis stream";
        case ScanVerdict::NoAudio:
            return "holds no audio";
        case ScanVerdict::MixedLinks:
            return "chained stream whose parts differ in channels or sampling rate";
        case ScanVerdict::UnusualRate:
            return "sampling rate outside 1000 to 768000 Hz";
    }
    return "unknown";
}

bool IsFileLocked(const std::string& path) {
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return true;
    ::close(fd);
    return false;
}

ScanVerdict ReadOggInfo(const std::string& path, CAudioFileItem& item) {
    ClearFormat(item);
    const int fd = OpenRegularFile(path);
    FILE* file = fd < 0 ? nullptr : ::fdopen(fd, "rb");
    if (!file) {
        if (fd >= 0)
            ::close(fd);
        item.m_error = 1;
        return ScanVerdict::Locked;
    }

    OggVorbis_File vf;
    std::memset(&vf, 0, sizeof vf);  // so ov_clear is safe whatever the open did
    if (ov_open_callbacks(file, &vf, nullptr, 0, kStdioCallbacks) < 0) {
        // A failed open leaves the file to us.
        ov_clear(&vf);
        item.m_error = 1;
        std::fclose(file);
        return ScanVerdict::InvalidStream;
    }

    ScanVerdict verdict = ScanVerdict::Good;
    const vorbis_info* info = ov_info(&vf, -1);
    if (!info || info->channels <= 0 || info->rate <= 0 ||
        static_cast<unsigned long>(info->rate) > std::numeric_limits<uint32_t>::max()) {
        verdict = ScanVerdict::NoAudio;
    } else if (info->rate < static_cast<long>(SCAN_MIN_RATE) ||
               info->rate > static_cast<long>(SCAN_MAX_RATE)) {
        verdict = ScanVerdict::UnusualRate;
    } else {
        // The decode stage interleaves with one channel count for the whole file, so a chained
        // stream is usable only when every part has the first part's format.
        const long links = ov_streams(&vf);
        for (long i = 1; i < links && verdict == ScanVerdict::Good; ++i) {
            const vorbis_info* link = ov_info(&vf, static_cast<int>(i));
            if (!link || link->channels != info->channels || link->rate != info->rate)
                verdict = ScanVerdict::MixedLinks;
        }
    }

    if (verdict == ScanVerdict::Good) {
        const uint32_t channels = static_cast<uint32_t>(info->channels);
        const ogg_int64_t frames = ov_pcm_total(&vf, -1);
        if (frames < 0 ||
            static_cast<uint64_t>(frames) > std::numeric_limits<uint64_t>::max() / channels) {
            verdict = ScanVerdict::InvalidStream;
        } else {
            item.m_channels = channels;
            item.m_sampleRate = static_cast<uint32_t>(info->rate);
            item.m_totalSamples = static_cast<uint64_t>(frames) * channels;
            item.m_duration =
                static_cast<double>(item.m_totalSamples) / item.m_sampleRate / item.m_channels;
        }
    }
    if (verdict != ScanVerdict::Good) {
        ClearFormat(item);
        item.m_error = 1;
    }
    ov_clear(&vf);  // closes the file through the callbacks
    return verdict;
}

ScanVerdict ScanFile(const std::string& path, CAudioFileItem& item) {
    item.m_error = 0;
    ClearFormat(item);
    ScanVerdict verdict = ScanVerdict::Good;
    if (IsFileLocked(path)) {
        verdict = ScanVerdict::Locked;
    } else if (item.m_type == AUDIO_TYPE_OGG) {
        verdict = ReadOggInfo(path, item);
    } else {
        verdict = ScanVerdict::NotOggVorbis;  // other types are not read
    }
    if (verdict == ScanVerdict::Good &&
        (item.m_channels == 0 || item.m_sampleRate == 0 || item.m_totalSamples == 0))
        verdict = ScanVerdict::NoAudio;
    if (verdict != ScanVerdict::Good) {
        item.m_error = 1;
        ClearFormat(item);
    }
    return verdict;
}
