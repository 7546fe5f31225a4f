// A batch of eight 60-second sources converted one at a time and two at a time, each run in a
// child process of its own so that its processor time and peak memory are its own; and the
// same with the stages waiting on their rings by 1 ms sleeps instead of being woken. Prints
// figures measured in one run.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "batch/ConversionState.h"
#include "engine/Engine.h"
#include "engine/RingBuffer.h"
#include "platform/Tick.h"
#include "tests/fixtures/OggFixtures.h"
#include "tests/fixtures/TempDir.h"

namespace {

constexpr int FILES = 8;
constexpr uint32_t SECONDS = 60;

struct Result {
    double wall = 0;   // s, batch start to end
    double cpu = 0;    // s, user + system of the child
    long peakMiB = 0;  // the child's peak resident memory
    bool ok = false;
};

std::vector<CConversionTask> MakeTasks(const fixtures::TempDir& dir, const std::string& out) {
    std::vector<CConversionTask> tasks;
    for (int i = 0; i < FILES; ++i) {
        CConversionTask task;
        task.m_sourcePath = dir.File("src" + std::to_string(i) + ".ogg");
        task.m_sourceType = 1;
        task.m_sourceRate = 44100;
        task.m_sourceChannels = 2;
        task.m_destPath = out + "/src" + std::to_string(i) + ".mp3";
        task.m_destType = 2;
        task.m_destRate = 44100;
        task.m_destChannels = 2;
        task.m_totalSamples = uint64_t{44100} * SECONDS * 2;
        task.m_ratio = 1.0;
        task.m_needsProcessing = 1;
        task.m_bitrate = 128;
        tasks.push_back(task);
    }
    return tasks;
}

// In the child: runs the batch and writes its wall time to fd.
[[noreturn]] void RunChild(const fixtures::TempDir& dir, int filesAtOnce, bool polls, int fd) {
    g_ringWaitPolls = polls;
    InitializeEngine();
    const std::string out = dir.File("out-" + std::to_string(filesAtOnce) + (polls ? "p" : "w"));
    std::filesystem::create_directories(out);
    CMessageQueue queue;
    bool done = false;
    auto state = std::make_shared<CConversionState>();
    state->m_window = CWindowPort::Create(queue, [&](Message& m) -> intptr_t {
        if (m.id == WM_CONV_DONE)
            done = true;
        return 1;
    });
    state->m_tasks = MakeTasks(dir, out);
    for (const auto& t : state->m_tasks)
        state->m_batchSamplesTotal += t.m_totalSamples;
    state->m_filesAtOnce = filesAtOnce;
    state->ResetCounters();
    state->m_running = 1;
    auto worker = CThread::Create([state] {
        state->RunBatch();
        return 0;
    });
    worker->Resume();
    while (!worker->WaitFor(5))
        queue.ProcessAll();
    queue.ProcessAll();
    const double wall =
        static_cast<double>(GetTickCount() - state->m_batchStartTick.load()) / 1000.0;
    const double result = done && state->m_filesFailed.load() == 0 ? wall : -1.0;
    if (::write(fd, &result, sizeof result) != sizeof result)
        std::_Exit(2);
    std::filesystem::remove_all(out);
    std::_Exit(0);
}

Result Measure(const fixtures::TempDir& dir, int filesAtOnce, bool polls) {
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        RunChild(dir, filesAtOnce, polls, fds[1]);
    }
    ::close(fds[1]);
    Result r;
    double wall = -1;
    const bool got = ::read(fds[0], &wall, sizeof wall) == sizeof wall;
    ::close(fds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    r.wall = wall;
    r.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    r.peakMiB = usage.ru_maxrss / 1024;
    r.ok = got && wall > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

void Print(const char* label, const Result& r) {
    std::printf("%-34s wall %7.2f s   processor %7.2f s   peak memory %4ld MiB%s\n", label, r.wall,
                r.cpu, r.peakMiB, r.ok ? "" : "   (FAILED)");
}

}  // namespace

int main() {
    fixtures::TempDir dir;
    std::printf("Writing %d sources of %u s, 44100 Hz stereo...\n", FILES, SECONDS);
    for (int i = 0; i < FILES; ++i) {
        fixtures::OggStream spec;
        spec.frames = uint64_t{44100} * SECONDS;
        spec.tones = {{440.0 + 50 * i, -10, 1u}, {1000, -12, 2u}, {3000, -20, 3u}};
        fixtures::WriteOgg(dir.File("src" + std::to_string(i) + ".ogg"), spec);
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());

    const Result one = Measure(dir, 1, false);
    const Result two = Measure(dir, 2, false);
    const Result onePolls = Measure(dir, 1, true);
    const Result twoPolls = Measure(dir, 2, true);

    std::printf("\n%d files of %u s, %u cores\n", FILES, SECONDS, cores);
    Print("N = 1, woken on ring progress", one);
    Print("N = 2, woken on ring progress", two);
    Print("N = 1, 1 ms polling", onePolls);
    Print("N = 2, 1 ms polling", twoPolls);
    const double limit = one.cpu / cores;
    std::printf("\nwall N = 1 / wall N = 2                 : %.3f\n", one.wall / two.wall);
    std::printf("machine limit (processor N = 1 / cores) : %.2f s\n", limit);
    std::printf("wall N = 2 / machine limit             : %.3f  (goal <= 1.10)\n",
                two.wall / limit);
    std::printf("wakeup against polling, N = 1          : wall %.3f  processor %.3f\n",
                one.wall / onePolls.wall, one.cpu / onePolls.cpu);
    std::printf("wakeup against polling, N = 2          : wall %.3f  processor %.3f\n",
                two.wall / twoPolls.wall, two.cpu / twoPolls.cpu);
    return one.ok && two.ok && onePolls.ok && twoPolls.ok ? 0 : 1;
}
