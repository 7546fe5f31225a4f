// Opening sources and settings files: only regular files, and never a wait.
#include "platform/FileSystem.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>

#include "platform/IniFile.h"

namespace fs = std::filesystem;

namespace {

// A folder of its own for one test.
struct Scratch {
    Scratch() {
        char pattern[] = "/tmp/quillon-fs-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~Scratch() { fs::remove_all(path); }
    std::string File(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

// Runs open and gives up after a while instead of hanging the suite: a reader blocked on a
// named pipe is released by a writer opening it.
template <typename T>
T WithoutHanging(const std::string& maybePipe, std::function<T()> open) {
    auto result = std::async(std::launch::async, open);
    if (result.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
        ADD_FAILURE() << "opening " << maybePipe << " blocked";
        const int writer = ::open(maybePipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
    }
    return result.get();
}

struct OpenCase {
    const char* name;
    std::function<std::string(const Scratch&)> make;  // returns the path to open
    std::string reason;                               // empty: opens
};

class OpenRegularFileTest : public testing::TestWithParam<OpenCase> {};

TEST_P(OpenRegularFileTest, OpensOnlyRegularFilesAndNeverWaits) {
    Scratch scratch;
    const std::string path = GetParam().make(scratch);
    std::string reason;
    const int fd = WithoutHanging<int>(path, [&] { return OpenRegularFile(path, &reason); });
    if (GetParam().reason.empty()) {
        ASSERT_GE(fd, 0) << reason;
        char c = 0;
        EXPECT_EQ(::read(fd, &c, 1), 1);
        EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
        EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
        ::close(fd);
    } else {
        EXPECT_EQ(fd, -1);
        EXPECT_EQ(reason, GetParam().reason);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, OpenRegularFileTest,
    testing::Values(OpenCase{"RegularFile",
                             [](const Scratch& s) {
                                 std::ofstream(s.File("a.ogg")) << "x";
                                 return s.File("a.ogg");
                             },
                             ""},
                    OpenCase{"LinkToARegularFile",
                             [](const Scratch& s) {
                                 std::ofstream(s.File("a.ogg")) << "x";
                                 fs::create_symlink(s.File("a.ogg"), s.File("link.ogg"));
                                 return s.File("link.ogg");
                             },
                             ""},
                    OpenCase{"Missing", [](const Scratch& s) { return s.File("gone.ogg"); },
                             "No such file or directory"},
                    OpenCase{"Folder",
                             [](const Scratch& s) {
                                 fs::create_directory(s.File("dir.ogg"));
                                 return s.File("dir.ogg");
                             },
                             "Is a directory"},
                    OpenCase{"NamedPipe",
                             [](const Scratch& s) {
                                 EXPECT_EQ(::mkfifo(s.File("pipe.ogg").c_str(), 0644), 0);
                                 return s.File("pipe.ogg");
                             },
                             "Not a regular file"},
                    OpenCase{"LinkToAnEndlessDevice",
                             [](const Scratch& s) {
                                 fs::create_symlink("/dev/zero", s.File("zero.ogg"));
                                 return s.File("zero.ogg");
                             },
                             "Not a regular file"},
                    OpenCase{"FileStandingInAFolderPath",
                             [](const Scratch& s) {
                                 std::ofstream(s.File("file")) << "x";
                                 return s.File("file/a.ogg");
                             },
                             "Not a directory"}),
    [](const testing::TestParamInfo<OpenCase>& info) { return info.param.name; });

TEST(IniFileLoad, ANamedPipeOrADeviceIsNoSettingsFile) {
    Scratch scratch;
    const std::string pipe = scratch.File("Config.ini");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    CIniFile ini;
    EXPECT_FALSE(WithoutHanging<bool>(pipe, [&] { return ini.Load(pipe); }));
    EXPECT_EQ(ini.Text(), "");

    const std::string zero = scratch.File("Zero.ini");
    fs::create_symlink("/dev/zero", zero);
    EXPECT_FALSE(ini.Load(zero));
    EXPECT_EQ(ini.Text(), "");
}

TEST(IniFileLoad, ReadsNoMoreThanItsCap) {
    Scratch scratch;
    const std::string path = scratch.File("Config.ini");
    {
        std::ofstream out(path, std::ios::binary);
        out << "[MP3]\nLameBits=5\n";
        out << std::string(INI_READ_CAP, ';') << "\n";  // one long comment line
        out << "[OUTPUT]\nDesDir=/far/away/\n";
    }
    ASSERT_GT(fs::file_size(path), INI_READ_CAP);
    CIniFile ini;
    ASSERT_TRUE(ini.Load(path));
    EXPECT_EQ(ini.GetInt("MP3", "LameBits", 11), 5);
    EXPECT_FALSE(ini.Find("OUTPUT", "DesDir").has_value());
    EXPECT_LE(ini.Text().size(), INI_READ_CAP + 2);
}

}  // namespace
