// Runs the built quillon-convert on generated files and checks its MP3s with libmpg123.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/fixtures/Mp3Check.h"
#include "tests/fixtures/OggFixtures.h"
#include "tests/fixtures/TagTable.h"
#include "tests/fixtures/TempDir.h"

extern char** environ;

namespace {

using fixtures::OggStream;

OggStream Tone440(uint32_t rate, uint32_t channels, uint64_t frames) {
    OggStream stream;
    stream.rate = rate;
    stream.channels = channels;
    stream.frames = frames;
    stream.tones = {fixtures::Tone{440.0, -12.0}};
    return stream;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The title TagLib reads from the MP3's tags; empty without one.
std::string TitleOf(const std::string& path) {
    TagLib::MPEG::File file(path.c_str(), false);
    return file.isValid() && file.tag() ? file.tag()->title().to8Bit(true) : std::string();
}

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

off_t SizeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// A throw-away home: settings, outputs and the program's own files all live in it.
class ConvertCommand : public testing::Test {
protected:
    std::string Home() const { return m_dir.Path(); }
    std::string Path(const std::string& name) const { return m_dir.File(name); }

    void MakeFolder(const std::string& name) { ASSERT_EQ(::mkdir(Path(name).c_str(), 0755), 0); }

    // Starts the program with stdout and stderr going to files; returns its pid.
    pid_t Start(const std::vector<std::string>& args) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.rfind("HOME=", 0) != 0 && entry.rfind("XDG_CONFIG_HOME=", 0) != 0)
                env.push_back(entry);
        }
        env.push_back("HOME=" + Home());
        env.push_back("XDG_CONFIG_HOME=" + Home() + "/config");
        std::vector<std::string> argv = {QUILLON_CONVERT};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> argvp, envp;
        for (auto& a : argv)
            argvp.push_back(a.data());
        argvp.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, Path("stdout.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, Path("stderr.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        const int error =
            posix_spawn(&pid, QUILLON_CONVERT, &actions, nullptr, argvp.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(error, 0);
        return pid;
    }

    // The exit status; -signal when a signal ended the program.
    int Wait(pid_t pid) {
        int status = 0;
        if (::waitpid(pid, &status, 0) != pid)
            return -1000;
        m_stdout = ReadAll(Path("stdout.txt"));
        m_stderr = ReadAll(Path("stderr.txt"));
        if (WIFSIGNALED(status))
            return -WTERMSIG(status);
        return WEXITSTATUS(status);
    }

    int Run(const std::vector<std::string>& args) { return Wait(Start(args)); }

    // The MP3 decodes with the format asked for, at constant bit rate, and with the source's
    // length.
    // libmp3lame leaves out the information tag when it does not fit in one frame (low bit
    // rates at low sampling rates).
    void ExpectMp3(const std::string& path, long rate, int channels, double seconds, int kbps,
                   bool tagged = true) {
        SCOPED_TRACE(path);
        fixtures::Mp3Info info;
        ASSERT_NO_THROW(info = fixtures::DecodeMp3(path));
        EXPECT_EQ(info.rate, rate);
        EXPECT_EQ(info.channels, channels);
        EXPECT_TRUE(info.IsConstantBitrate(kbps));
        // Exact to a frame when the tag lets the decoder trim the encoder's delay and padding.
        EXPECT_NEAR(static_cast<double>(info.frames), seconds * rate, tagged ? 1.0 : 2 * 1152.0);
        EXPECT_EQ(info.infoTag, tagged ? "Info" : "");
    }

    fixtures::TempDir m_dir;
    std::string m_stdout;
    std::string m_stderr;
};

TEST_F(ConvertCommand, ConvertsEveryFileWithTheOptions) {
    fixtures::WriteOgg(Path("a.ogg"), Tone440(44100, 2, 44100));
    fixtures::WriteOgg(Path("b.ogg"), Tone440(48000, 1, 72000));
    fixtures::WriteOgg(Path("c.ogg"), Tone440(44100, 6, 22050));
    ASSERT_EQ(
        Run({"-o", Path("out/deeper"), "-b", "64", Path("a.ogg"), Path("b.ogg"), Path("c.ogg")}), 0)
        << m_stderr;
    ExpectMp3(Path("out/deeper/a.mp3"), 44100, 2, 1.0, 64);
    ExpectMp3(Path("out/deeper/b.mp3"), 44100, 1, 1.5, 64);  // 48000 Hz goes to 44100 Hz
    ExpectMp3(Path("out/deeper/c.mp3"), 44100, 2, 0.5, 64);  // six channels go to two
    EXPECT_NE(m_stdout.find("3 file(s)   "), std::string::npos);
    EXPECT_NE(m_stdout.find("Source:  " + Path("b.ogg") + "."), std::string::npos);
    EXPECT_NE(m_stdout.find("Destination: " + Path("out/deeper/b.mp3") + "."), std::string::npos);
    EXPECT_NE(m_stdout.find("Finished converting, all done."), std::string::npos);
    EXPECT_EQ(m_stdout.find("error: "), std::string::npos);
    // Nothing writes the settings file.
    EXPECT_FALSE(Exists(Home() + "/config/Quillon/Config.ini"));
}

// A batch that succeeds logs the same lines whatever runs at once, and as it always has: each
// file's block whole, in command-line order. Clock times and figures vary, so they are masked.
class ConvertLog : public ConvertCommand, public testing::WithParamInterface<const char*> {};

TEST_P(ConvertLog, ASucceedingBatchLogsItsLinesInTheirOrder) {
    fixtures::WriteOgg(Path("a.ogg"), Tone440(44100, 2, 44100 * 3));
    fixtures::WriteOgg(Path("b.ogg"), Tone440(22050, 1, 22050));
    fixtures::WriteOgg(Path("c.ogg"), Tone440(48000, 2, 48000));
    ASSERT_EQ(
        Run({"-j", GetParam(), "-o", Path("out"), Path("a.ogg"), Path("b.ogg"), Path("c.ogg")}), 0)
        << m_stderr;
    const std::string separator(99, '-');
    std::vector<std::string> expected;
    for (const char* name : {"a", "b", "c"}) {
        expected.insert(expected.end(),
                        {separator, "Start a new converting task.",
                         "Source:  " + Path(std::string(name) + ".ogg") + ".",
                         "Destination: " + Path("out/" + std::string(name) + ".mp3") + ".",
                         "Time elapsed # secs, speed #x.", "Converting status: OK."});
    }
    expected.insert(expected.end(), {separator, "Total time elapsed # secs, overall speed #x.",
                                     "Finished converting, all done."});
    // "NNN hh:mm:ss  text" lines after the batch's first line; figures become '#'.
    std::vector<std::string> lines;
    std::istringstream in(m_stdout);
    std::string line;
    std::getline(in, line);
    const std::regex prefix(R"(^\d{3} \d\d:\d\d:\d\d  )");
    const std::regex figure(R"(\d+\.\d+)");
    while (std::getline(in, line)) {
        EXPECT_TRUE(std::regex_search(line, prefix)) << line;
        lines.push_back(std::regex_replace(std::regex_replace(line, prefix, ""), figure, "#"));
    }
    EXPECT_EQ(lines, expected) << m_stdout;
}

INSTANTIATE_TEST_SUITE_P(FilesAtOnce, ConvertLog, testing::Values("1", "2"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string("j") + info.param;
                         });

TEST_F(ConvertCommand, ForcedChannelsAndRate) {
    fixtures::WriteOgg(Path("a.ogg"), Tone440(44100, 2, 44100));
    fixtures::WriteOgg(Path("m.ogg"), Tone440(16000, 1, 16000));
    ASSERT_EQ(Run({"-o", Path("out"), "-c", "mono", "-r", "22050", "-b", "32", Path("a.ogg")}), 0)
        << m_stderr;
    ExpectMp3(Path("out/a.mp3"), 22050, 1, 1.0, 32, false);
    ASSERT_EQ(Run({"-o", Path("out2"), "--channels=stereo", "--rate=auto", Path("m.ogg")}), 0)
        << m_stderr;
    ExpectMp3(Path("out2/m.mp3"), 16000, 2, 1.0, 128);
}

TEST_F(ConvertCommand, SavedSettingsAreTheDefaults) {
    ASSERT_EQ(std::system(("mkdir -p '" + Home() + "/config/Quillon'").c_str()), 0);
    const std::string config =
        "[OUTPUT]\nDesDir=" + Path("saved") + "/\n[MP3]\nLameBits=7\nLameChannel=1\nFreq=5\n";
    std::ofstream(Home() + "/config/Quillon/Config.ini") << config;
    fixtures::WriteOgg(Path("a.ogg"), Tone440(44100, 2, 44100));
    ASSERT_EQ(Run({Path("a.ogg")}), 0) << m_stderr;
    ExpectMp3(Path("saved/a.mp3"), 22050, 1, 1.0, 64);
    EXPECT_EQ(ReadAll(Home() + "/config/Quillon/Config.ini"), config);
}

TEST_F(ConvertCommand, SameNamesFromTwoFoldersAndAnExistingFile) {
    MakeFolder("one");
    MakeFolder("two");
    MakeFolder("out");
    fixtures::WriteOgg(Path("one/song.ogg"), Tone440(22050, 1, 22050));
    fixtures::WriteOgg(Path("two/song.ogg"), Tone440(22050, 2, 11025));
    fixtures::WriteOgg(Path("keep.ogg"), Tone440(22050, 1, 22050));
    const std::string kept = "not an mp3, and it stays so";
    std::ofstream(Path("out/keep.mp3")) << kept;
    ASSERT_EQ(
        Run({"-o", Path("out"), Path("one/song.ogg"), Path("two/song.ogg"), Path("keep.ogg")}), 0)
        << m_stderr;
    ExpectMp3(Path("out/song.mp3"), 22050, 1, 1.0, 128);
    ExpectMp3(Path("out/song (2).mp3"), 22050, 2, 0.5, 128);
    EXPECT_EQ(ReadAll(Path("out/keep.mp3")), kept);
    ExpectMp3(Path("out/keep (2).mp3"), 22050, 1, 1.0, 128);
}

TEST_F(ConvertCommand, UnusableFilesAreSkippedAndTheRestConverted) {
    fixtures::WriteOgg(Path("good.ogg"), Tone440(44100, 1, 44100));
    fixtures::WriteTextFile(Path("text.ogg"), "hello");
    fixtures::WriteOgg(Path("named.MP3"), Tone440(44100, 1, 44100));
    MakeFolder("folder.ogg");
    ASSERT_EQ(Run({"-o", Path("out"), Path("text.ogg"), Path("good.ogg"), Path("missing.ogg"),
                   Path("named.MP3"), Path("folder.ogg")}),
              1);
    ExpectMp3(Path("out/good.mp3"), 44100, 1, 1.0, 128);
    EXPECT_FALSE(Exists(Path("out/text.mp3")));
    EXPECT_FALSE(Exists(Path("out/named.mp3")));
    EXPECT_NE(m_stderr.find("skipped " + Path("text.ogg") + ": not a valid Ogg Vorbis stream\n"),
              std::string::npos);
    EXPECT_NE(m_stderr.find("skipped " + Path("missing.ogg") + ": no such file\n"),
              std::string::npos);
    EXPECT_NE(m_stderr.find("skipped " + Path("named.MP3") + ": not an Ogg Vorbis file"),
              std::string::npos);
    EXPECT_NE(m_stderr.find("skipped " + Path("folder.ogg") + ": not a readable file\n"),
              std::string::npos);
    EXPECT_NE(m_stdout.find("Finished converting, all done."), std::string::npos);
}

// In both: gone.ogg scans well and is deleted while the first file converts, so it fails when
// its turn comes.
TEST_F(ConvertCommand, AFailedFileDoesNotStopTheOthersAndIsSummedUp) {
    fixtures::WriteOgg(Path("long1.ogg"), Tone440(44100, 2, 44100 * 30));
    fixtures::WriteOgg(Path("long2.ogg"), Tone440(44100, 2, 44100 * 30));
    fixtures::WriteOgg(Path("gone.ogg"), Tone440(44100, 2, 44100));
    fixtures::WriteOgg(Path("b.ogg"), Tone440(22050, 1, 22050));
    const pid_t pid = Start({"-j", "2", "-o", Path("out"), Path("long1.ogg"), Path("long2.ogg"),
                             Path("gone.ogg"), Path("b.ogg")});
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 6000 && !Exists(Path("out/long1.mp3")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(::unlink(Path("gone.ogg").c_str()), 0);
    EXPECT_EQ(Wait(pid), 1) << m_stderr;
    ExpectMp3(Path("out/long1.mp3"), 44100, 2, 30.0, 128);
    ExpectMp3(Path("out/long2.mp3"), 44100, 2, 30.0, 128);
    ExpectMp3(Path("out/b.mp3"), 22050, 1, 1.0, 128);
    EXPECT_NE(m_stdout.find("error: 3 of 4 files converted, 1 failed.\n"), std::string::npos)
        << m_stdout;
    EXPECT_NE(m_stdout.find("error: Failed: " + Path("gone.ogg") + ": "), std::string::npos)
        << m_stdout;
    EXPECT_NE(m_stdout.find("Finished converting, all done."), std::string::npos);
}

TEST_F(ConvertCommand, StopOnErrorFromTheSettingsStopsAtTheFailedFile) {
    ASSERT_EQ(std::system(("mkdir -p '" + Home() + "/config/Quillon'").c_str()), 0);
    std::ofstream(Home() + "/config/Quillon/Config.ini") << "[CONVERT]\nStopOnError=1\n";
    fixtures::WriteOgg(Path("long.ogg"), Tone440(44100, 2, 44100 * 30));
    fixtures::WriteOgg(Path("gone.ogg"), Tone440(44100, 2, 44100));
    fixtures::WriteOgg(Path("a.ogg"), Tone440(44100, 2, 44100));
    const pid_t pid =
        Start({"-j", "1", "-o", Path("out"), Path("long.ogg"), Path("gone.ogg"), Path("a.ogg")});
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 6000 && !Exists(Path("out/long.mp3")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(::unlink(Path("gone.ogg").c_str()), 0);
    EXPECT_EQ(Wait(pid), 1) << m_stderr;
    ExpectMp3(Path("out/long.mp3"), 44100, 2, 30.0, 128);
    EXPECT_FALSE(Exists(Path("out/gone.mp3")));
    EXPECT_FALSE(Exists(Path("out/a.mp3")));
    EXPECT_NE(m_stdout.find("error: 1 of 3 files converted, 1 failed, 1 not started.\n"),
              std::string::npos)
        << m_stdout;
    EXPECT_EQ(m_stdout.find("Finished converting"), std::string::npos);
}

TEST_F(ConvertCommand, NothingUsableConvertsNothing) {
    fixtures::WriteTextFile(Path("text.ogg"), "hello");
    EXPECT_EQ(Run({"-o", Path("out"), Path("text.ogg")}), 1);
    EXPECT_FALSE(Exists(Path("out")));
    EXPECT_NE(m_stderr.find("nothing to convert"), std::string::npos);
}

TEST_F(ConvertCommand, WrongCommandLinesConvertNothing) {
    fixtures::WriteOgg(Path("a.ogg"), Tone440(8000, 1, 800));
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"-o", Path("out")},
        {"-o", Path("out"), "-b", "100", Path("a.ogg")},
        {"-o", Path("out"), "-c", "surround", Path("a.ogg")},
        {"-o", Path("out"), "-r", "48000", Path("a.ogg")},
        {"-o", Path("out"), "--frobnicate", Path("a.ogg")},
        {Path("a.ogg"), "-o"},
    };
    for (const auto& args : cases) {
        EXPECT_EQ(Run(args), 2) << (args.empty() ? "" : args.back());
        EXPECT_NE(m_stderr.find("quillon-convert: "), std::string::npos);
        EXPECT_NE(m_stderr.find("\nusage: quillon-convert "), std::string::npos);
        EXPECT_EQ(m_stdout, "");
        EXPECT_FALSE(Exists(Path("out")));
    }
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_EQ(m_stdout.rfind("usage: quillon-convert ", 0), 0u);
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_EQ(m_stdout, std::string("quillon-convert ") + QUILLON_VERSION + "\n");
}

// A three-minute source, written once for the tests that stop a conversion in the middle.
const std::string& LongSource() {
    static fixtures::TempDir dir;
    static const std::string path = [] {
        const std::string p = dir.File("long.ogg");
        OggStream source = Tone440(44100, 2, 44100ull * 180);
        source.comments = {{"TITLE", "Long"}};
        fixtures::WriteOgg(p, source);
        return p;
    }();
    return path;
}

class StopSignal : public ConvertCommand, public testing::WithParamInterface<int> {
protected:
    // Starts converting the long source (and a short one after it) and returns once its MP3
    // exists and grows.
    pid_t StartLongConversion() {
        fixtures::WriteOgg(Path("next.ogg"), Tone440(44100, 2, 44100));
        const pid_t pid = Start({"-j", "1", "-o", Path("out"), LongSource(), Path("next.ogg")});
        EXPECT_GT(pid, 0);
        const std::string mp3 = Path("out/long.mp3");
        off_t seen = -1;
        bool growing = false;
        for (int i = 0; i < 6000 && !growing; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const off_t size = SizeOf(mp3);
            growing = seen > 0 && size > seen;
            if (size > 0 && seen <= 0)
                seen = size;
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                ADD_FAILURE() << "ended before the signal";
                return -1;
            }
        }
        EXPECT_TRUE(growing);
        return pid;
    }
};

TEST_P(StopSignal, FinishesTheCurrentFile) {
    const pid_t pid = StartLongConversion();
    ASSERT_GT(pid, 0);
    const std::string mp3 = Path("out/long.mp3");
    ASSERT_EQ(::kill(pid, GetParam()), 0);
    EXPECT_EQ(Wait(pid), 130) << m_stderr;
    EXPECT_NE(m_stderr.find("interrupted"), std::string::npos);
    EXPECT_FALSE(Exists(Path("out/next.mp3")));
    // The log's last line about the file says that it is cut short, and where.
    const size_t line = m_stdout.find(mp3 + " is incomplete: it holds only the first ");
    ASSERT_NE(line, std::string::npos) << m_stdout;
    EXPECT_NE(m_stdout.find(" of 03:00.", line), std::string::npos) << m_stdout;
    // The cut-short file is still a well-formed, tagged MP3 of part of the source.
    fixtures::Mp3Info info;
    ASSERT_NO_THROW(info = fixtures::DecodeMp3(mp3));
    EXPECT_EQ(info.rate, 44100);
    EXPECT_EQ(info.channels, 2);
    EXPECT_TRUE(info.IsConstantBitrate(128));
    EXPECT_EQ(info.infoTag, "Info");
    EXPECT_GT(info.frames, 0u);
    EXPECT_LT(info.frames, 44100ull * 180);
    // The source's tags went in first.
    EXPECT_GT(fixtures::Id3v2Size(mp3), 0u);
    EXPECT_EQ(TitleOf(mp3), "Long");
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(sigabbrev_np(info.param));
                         });

TEST_F(StopSignal, ASecondInterruptEndsAtOnceWithAWellFormedFile) {
    const pid_t pid = StartLongConversion();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    const int status = Wait(pid);
    EXPECT_TRUE(status == -SIGINT || status == 130) << status;
    // Whatever the moment, the file ends on a whole frame and decodes.
    fixtures::Mp3Info info;
    ASSERT_NO_THROW(info = fixtures::DecodeMp3(Path("out/long.mp3")));
    EXPECT_TRUE(info.IsConstantBitrate(128));
    EXPECT_GT(info.frames, 0u);
}

TEST_F(ConvertCommand, AFileSizeLimitIsAReportedWriteError) {
    fixtures::WriteOgg(Path("a.ogg"), Tone440(44100, 2, 44100 * 10));
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limited = old;
    limited.rlim_cur = 50000;  // inherited by the program; about 3 s at 128 kbit/s
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const pid_t pid = Start({"-o", Path("out"), Path("a.ogg")});
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(Wait(pid), 1) << m_stderr;
    EXPECT_NE(m_stdout.find("Output file write error (File too large)"), std::string::npos)
        << m_stdout;
    EXPECT_NE(m_stdout.find("Converting status: ERROR."), std::string::npos);
    fixtures::Mp3Info info;
    ASSERT_NO_THROW(info = fixtures::DecodeMp3(Path("out/a.mp3")));
    EXPECT_GT(info.frames, 0u);
}

// The source's comments and pictures carried into the MP3, which still plays gaplessly.
class ConvertTags : public ConvertCommand, public testing::WithParamInterface<int> {};

TEST_P(ConvertTags, EveryTagAndPictureGoesInAndTheAudioStaysGapless) {
    const int version = GetParam();
    OggStream source = Tone440(44100, 2, 66150);
    source.comments = fixtures::TaggedComments();
    fixtures::WriteOgg(Path("song.ogg"), source);
    std::vector<std::string> args = {"-o", Path("out")};
    if (version == 4)
        args.insert(args.end(), {"--id3", "4"});  // 3 is the default
    args.push_back(Path("song.ogg"));
    ASSERT_EQ(Run(args), 0) << m_stdout << m_stderr;

    const std::string mp3 = Path("out/song.mp3");
    EXPECT_EQ(fixtures::CheckCarriedTags(mp3, version), "");
    fixtures::Mp3Info info;
    ASSERT_NO_THROW(info = fixtures::DecodeMp3(mp3));
    EXPECT_EQ(info.infoTag, "Info");
    EXPECT_EQ(info.frames, 66150u);  // libmpg123 trims what the Info frame says
    const size_t tagSize = fixtures::Id3v2Size(mp3);
    ASSERT_GT(tagSize, 5000u);  // the pictures are in it
    const fixtures::InfoSizes sizes = fixtures::ReadInfoSizes(mp3);
    EXPECT_EQ(sizes.xingBytes, static_cast<long>(SizeOf(mp3)) - static_cast<long>(tagSize));
    EXPECT_EQ(sizes.lameMusicLength, sizes.xingBytes);
}

INSTANTIATE_TEST_SUITE_P(Tags, ConvertTags, testing::Values(3, 4),
                         [](const auto& info) { return "v2_" + std::to_string(info.param); });

TEST_F(ConvertCommand, NoTagsWritesNoTag) {
    OggStream source = Tone440(44100, 2, 44100);
    source.comments = fixtures::TaggedComments();
    fixtures::WriteOgg(Path("song.ogg"), source);
    ASSERT_EQ(Run({"--no-tags", "-o", Path("out"), Path("song.ogg")}), 0) << m_stderr;
    const std::string mp3 = ReadAll(Path("out/song.mp3"));
    ASSERT_GT(mp3.size(), 4u);
    EXPECT_EQ(static_cast<unsigned char>(mp3[0]), 0xFF);  // audio from the first byte on
    EXPECT_EQ(fixtures::Id3v2Size(Path("out/song.mp3")), 0u);
    EXPECT_EQ(TitleOf(Path("out/song.mp3")), "");
    fixtures::Mp3Info info;
    ASSERT_NO_THROW(info = fixtures::DecodeMp3(Path("out/song.mp3")));
    EXPECT_EQ(info.infoTag, "Info");
    EXPECT_EQ(info.frames, 44100u);
}

TEST_F(ConvertCommand, BrokenAndHugePicturesAreLeftOutAndTheRestConverts) {
    OggStream corrupt = Tone440(44100, 2, 22050);
    corrupt.comments = {{"TITLE", "Corrupt picture"},
                        {"METADATA_BLOCK_PICTURE", "%%%% not base64 %%%%"}};
    fixtures::WriteOgg(Path("corrupt.ogg"), corrupt);
    OggStream huge = Tone440(44100, 2, 22050);
    huge.comments = {
        {"TITLE", "Huge picture"},
        {"METADATA_BLOCK_PICTURE",
         fixtures::PictureComment({3, "image/jpeg", "", fixtures::FakeImage("jpeg", 20u << 20)})}};
    fixtures::WriteOgg(Path("huge.ogg"), huge);
    ASSERT_EQ(Run({"-o", Path("out"), Path("corrupt.ogg"), Path("huge.ogg")}), 0) << m_stderr;
    EXPECT_EQ(CountOf(m_stdout, "Picture 1 left out: not valid base64"), 1u) << m_stdout;
    EXPECT_EQ(CountOf(m_stdout, "Picture 1 left out: larger than 16 MiB"), 1u) << m_stdout;
    const std::pair<const char*, const char*> outputs[] = {{"corrupt", "Corrupt picture"},
                                                           {"huge", "Huge picture"}};
    for (const auto& [name, title] : outputs) {
        const std::string mp3 = Path(std::string("out/") + name + ".mp3");
        EXPECT_EQ(TitleOf(mp3), title);
        EXPECT_LT(SizeOf(mp3), 200000) << name;  // no picture went in
        fixtures::Mp3Info info;
        ASSERT_NO_THROW(info = fixtures::DecodeMp3(mp3));
        EXPECT_EQ(info.frames, 22050u) << name;
    }
}

}  // namespace
