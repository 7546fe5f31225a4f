// What carrying the tags over costs: a generated 10-minute source with a full set of comments
// and a 500 KiB cover, converted through the batch with tags and with --no-tags, alternately,
// in one run. Prints the medians of wall and processor time, their ratios (target: at most
// 1.01) and the tag step alone. On a shared, loaded machine the processor time is the steadier
// measure.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "batch/ConversionState.h"
#include "engine/ConversionTask.h"
#include "engine/Engine.h"
#include "engine/Id3Tag.h"
#include "tests/fixtures/OggFixtures.h"
#include "tests/fixtures/TagTable.h"
#include "tests/fixtures/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// Processor time of the whole process (every thread), user and system.
double ProcessCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double ThreadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

struct Cost {
    double wall = 0;
    double cpu = 0;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One batch of one file, as the progress window runs it, from start to done.
Cost Convert(const std::string& source, const fixtures::OggStream& spec, const std::string& dest,
             int id3Version) {
    CMessageQueue queue;
    auto state = std::make_shared<CConversionState>();
    bool failed = false;
    state->m_window = CWindowPort::Create(queue, [&failed](Message& m) -> intptr_t {
        if (m.id == WM_CONV_LOG && m.lParam == LOG_ERROR)
            failed = true;
        return 1;
    });
    CConversionTask task;
    task.m_sourcePath = source;
    task.m_sourceType = 1;
    task.m_sourceRate = spec.rate;
    task.m_sourceChannels = spec.channels;
    task.m_destPath = dest;
    task.m_destType = 2;
    task.m_destRate = spec.rate;
    task.m_destChannels = spec.channels;
    task.m_totalSamples = spec.frames * spec.channels;
    task.m_ratio = 1.0;
    task.m_needsProcessing = 1;
    task.m_bitrate = 128;
    task.m_id3Version = id3Version;
    state->m_batchSamplesTotal = task.m_totalSamples;
    state->m_tasks = {task};
    state->ResetCounters();
    state->m_running = 1;

    const auto start = Clock::now();
    const double cpuStart = ProcessCpuSeconds();
    auto worker = CThread::Create([state] {
        state->RunBatch();
        return 0;
    });
    state->m_workerThread.Set(worker);
    worker->Resume();
    while (!worker->WaitFor(5))
        queue.ProcessAll();
    const Cost cost{Seconds(start), ProcessCpuSeconds() - cpuStart};
    queue.ProcessAll();
    if (failed)
        std::fprintf(stderr, "the conversion reported an error\n");
    return cost;
}

}  // namespace

int main() {
    InitializeEngine();
    fixtures::TempDir dir;
    fixtures::OggStream spec;
    spec.frames = 44100ull * 60 * 10;
    spec.tones = {{440, -10, 1u}, {1000, -12, 2u}, {3000, -20, 3u}};
    spec.comments = fixtures::TaggedComments();
    const std::vector<uint8_t> cover = fixtures::FakeImage("jpeg", 500 * 1024, 5);
    spec.comments.emplace_back("METADATA_BLOCK_PICTURE",
                               fixtures::PictureComment({3, "image/jpeg", "Front", cover}));
    std::printf("Writing a 10-minute source with tags and a 500 KiB cover...\n");
    const std::string source = dir.File("tagged.ogg");
    fixtures::WriteOgg(source, spec);

    // Alternating runs, so that a change in the machine's load falls on both alike.
    constexpr int RUNS = 3;
    std::vector<double> wallWith, wallWithout, cpuWith, cpuWithout;
    for (int i = 0; i < RUNS; ++i) {
        const Cost with = Convert(source, spec, dir.File("with" + std::to_string(i) + ".mp3"), 3);
        const Cost without =
            Convert(source, spec, dir.File("without" + std::to_string(i) + ".mp3"), 0);
        wallWith.push_back(with.wall);
        cpuWith.push_back(with.cpu);
        wallWithout.push_back(without.wall);
        cpuWithout.push_back(without.cpu);
        std::printf("  run %d: with tags %.3f s (processor %.3f s), without %.3f s (%.3f s)\n",
                    i + 1, with.wall, with.cpu, without.wall, without.cpu);
    }

    // The tag step alone: reading the comment header and building the tag.
    std::vector<double> stepWall, stepCpu;
    size_t tagBytes = 0;
    for (int i = 0; i < 20; ++i) {
        const auto start = Clock::now();
        const double cpu = ThreadCpuSeconds();
        tagBytes = BuildId3Tag(source, 3).m_bytes.size();
        stepCpu.push_back(ThreadCpuSeconds() - cpu);
        stepWall.push_back(Seconds(start));
    }

    const double ww = Median(wallWith), wo = Median(wallWithout);
    const double cw = Median(cpuWith), co = Median(cpuWithout);
    std::printf("median of %d           with tags   without   ratio (target <= 1.01)\n", RUNS);
    std::printf("wall time            %9.3f s %9.3f s   %.4f\n", ww, wo, ww / wo);
    std::printf("processor time       %9.3f s %9.3f s   %.4f\n", cw, co, cw / co);
    const double sw = Median(stepWall), sc = Median(stepCpu);
    std::printf("tag step alone (median of 20, %zu bytes of tag):\n", tagBytes);
    std::printf("  wall %.2f ms = %.3f %% of the conversion's wall time\n", sw * 1000,
                sw / wo * 100);
    std::printf("  processor %.2f ms = %.3f %% of the conversion's processor time\n", sc * 1000,
                sc / co * 100);
    return 0;
}
