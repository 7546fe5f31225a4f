// Runs the built quillon-convert on generated files and checks its MP3s with libmpg123.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/fixtures/Mp3Check.h"
#include "tests/fixtures/OggFixtures.h"
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

    // The MP3 decodes with the format asked for, at constant bit rate, and about the source's
    // length (the encoder may add up to a frame of padding at either end).
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
        EXPECT_NEAR(static_cast<double>(info.frames), seconds * rate, 2 * 1152.0);
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

TEST_F(ConvertCommand, InterruptFinishesTheCurrentFile) {
    // Long enough that the conversion is still running when the signal comes.
    fixtures::WriteOgg(Path("long.ogg"), Tone440(44100, 2, 44100ull * 600));
    fixtures::WriteOgg(Path("next.ogg"), Tone440(44100, 2, 44100));
    const pid_t pid = Start({"-j", "1", "-o", Path("out"), Path("long.ogg"), Path("next.ogg")});
    ASSERT_GT(pid, 0);
    // Wait until the MP3 exists and has grown, then interrupt as Ctrl-C does.
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
        if (::waitpid(pid, &status, WNOHANG) == pid)
            FAIL() << "ended before the interrupt";
    }
    ASSERT_TRUE(growing);
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    EXPECT_EQ(Wait(pid), 130) << m_stderr;
    EXPECT_NE(m_stderr.find("interrupted"), std::string::npos);
    EXPECT_FALSE(Exists(Path("out/next.mp3")));
    // The cut-short file is still a well-formed, tagged MP3 of part of the source.
    fixtures::Mp3Info info;
    ASSERT_NO_THROW(info = fixtures::DecodeMp3(mp3));
    EXPECT_EQ(info.rate, 44100);
    EXPECT_EQ(info.channels, 2);
    EXPECT_TRUE(info.IsConstantBitrate(128));
    EXPECT_GT(info.frames, 0u);
    EXPECT_LT(info.frames, 44100ull * 600);
}

}  // namespace
