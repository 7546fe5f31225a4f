// Converts generated 10-minute files through the three-stage pipeline and compares the time
// with libmp3lame alone encoding the same decoded samples with the same settings, in one run.
// Prints ratios; the pipeline should take at most 1.10 times the encoder alone.
#include <sys/resource.h>
#include <vorbis/vorbisfile.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "batch/ConversionState.h"
#include "engine/ConversionTask.h"
#include "engine/DecodeStage.h"
#include "engine/EncoderModule.h"
#include "engine/Engine.h"
#include "tests/fixtures/OggFixtures.h"
#include "tests/fixtures/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

long PeakMemoryMiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// One file through the pipeline as the batch worker runs it; returns the wall time.
double ConvertWithPipeline(const std::string& source, const fixtures::OggStream& spec,
                           const std::string& dest) {
    CMessageQueue queue;
    auto state = std::make_shared<CConversionState>();
    state->m_window = CWindowPort::Create(queue, [](Message&) -> intptr_t { return 1; });
    CConversionTask task;
    task.m_sourcePath = source;
    task.m_sourceType = 1;
    task.m_sourceRate = spec.rate;
    task.m_sourceChannels = spec.channels;
    task.m_destPath = dest;
    task.m_destType = 2;
    task.m_destRate = 44100;
    task.m_destChannels = 2;
    task.m_totalSamples = spec.frames * 44100 / spec.rate * 2;
    task.m_needsProcessing = 1;
    task.m_bitrate = 128;
    state->m_batchSamplesTotal = task.m_totalSamples;
    state->m_running = 1;
    auto pipeline = CPipeline::Create(task, 0, state);

    const auto start = Clock::now();
    auto worker = CThread::Create([pipeline] {
        pipeline->Run(600000);
        return 0;
    });
    worker->Resume();
    while (!worker->WaitFor(5))
        queue.ProcessAll();
    const double elapsed = Seconds(start);
    if (pipeline->HasFailed())
        std::fprintf(stderr, "the pipeline reported an error\n");
    return elapsed;
}

// The samples exactly as the encode stage receives them for a source that needs no change of
// format: decoded, masked, scaled to the encoder's range, split by channel.
struct Planar {
    std::vector<float> left, right;
};

Planar DecodeForEncoder(const std::string& source) {
    Planar out;
    FILE* file = std::fopen(source.c_str(), "rb");
    OggVorbis_File vf;
    if (!file || ov_open_callbacks(file, &vf, nullptr, 0, OV_CALLBACKS_NOCLOSE) < 0)
        return out;
    float** pcm;
    int section;
    long n;
    while ((n = ov_read_float(&vf, &pcm, DECODE_FRAMES, &section)) > 0) {
        for (long i = 0; i < n; ++i) {
            for (int ch = 0; ch < 2; ++ch) {
                const int32_t s = static_cast<int32_t>(
                    static_cast<uint32_t>(FloatToSample32(pcm[ch][i])) & SAMPLE_MASK);
                (ch ? out.right : out.left).push_back(static_cast<float>(s) / 65536.0f);
            }
        }
    }
    ov_clear(&vf);
    std::fclose(file);
    return out;
}

// The encoder alone on samples already in memory, writing the same file the stage would.
double EncodeAlone(const Planar& samples, const std::string& dest) {
    CEncoderModule lame;
    if (LoadEncoderModule(lame) != EncoderLoadResult::Loaded)
        return -1;
    BE_CONFIG config;
    FillEncoderConfig(config, 44100, 2, 128);
    const auto start = Clock::now();
    BE_DWORD chunk = 0, bufferSize = 0;
    HBE_STREAM stream = 0;
    if (lame.beInitStream(&config, &chunk, &bufferSize, &stream) != 0)
        return -1;
    std::vector<uint8_t> buffer(bufferSize);
    FILE* file = std::fopen(dest.c_str(), "wb");
    const size_t frames = samples.left.size();
    const size_t perChunk = chunk / 2;
    for (size_t at = 0; at < frames; at += perChunk) {
        const BE_DWORD n = static_cast<BE_DWORD>(std::min(perChunk, frames - at));
        BE_DWORD produced = 0;
        lame.beEncodeChunkFloatS16NI(stream, n, const_cast<float*>(samples.left.data() + at),
                                     const_cast<float*>(samples.right.data() + at), buffer.data(),
                                     &produced);
        std::fwrite(buffer.data(), 1, produced, file);
    }
    BE_DWORD produced = 0;
    lame.beDeinitStream(stream, buffer.data(), &produced);
    std::fwrite(buffer.data(), 1, produced, file);
    lame.beCloseStream(stream);
    std::fclose(file);
    if (lame.beWriteInfoTag)
        lame.beWriteInfoTag(stream, dest.c_str());
    return Seconds(start);
}

}  // namespace

int main() {
    InitializeEngine();
    fixtures::TempDir dir;
    const uint64_t minutes = 10;
    fixtures::OggStream cd, dat;
    cd.frames = 44100 * 60 * minutes;
    cd.tones = {{440, -10, 1u}, {1000, -12, 2u}, {3000, -20, 3u}};
    dat = cd;
    dat.rate = 48000;
    dat.frames = 48000 * 60 * minutes;
    std::printf("Writing two %llu-minute sources...\n", static_cast<unsigned long long>(minutes));
    fixtures::WriteOgg(dir.File("cd.ogg"), cd);
    fixtures::WriteOgg(dir.File("dat.ogg"), dat);

    const double pipeline = ConvertWithPipeline(dir.File("cd.ogg"), cd, dir.File("cd.mp3"));
    const double resampled = ConvertWithPipeline(dir.File("dat.ogg"), dat, dir.File("dat.mp3"));
    const long peak = PeakMemoryMiB();

    const Planar samples = DecodeForEncoder(dir.File("cd.ogg"));
    const double alone = EncodeAlone(samples, dir.File("alone.mp3"));
    if (alone <= 0) {
        std::fprintf(stderr, "the encoder module could not be used\n");
        return 1;
    }

    std::printf("encoder alone, 44100 Hz stereo, 128 kbit/s : %7.2f s\n", alone);
    std::printf(
        "pipeline, 44100 Hz source                  : %7.2f s  ratio %.3f (target <= 1.10)\n",
        pipeline, pipeline / alone);
    std::printf("pipeline, 48000 Hz source (resampled)      : %7.2f s  ratio %.3f\n", resampled,
                resampled / alone);
    std::printf("peak memory while converting               : %7ld MiB\n", peak);
    return 0;
}
