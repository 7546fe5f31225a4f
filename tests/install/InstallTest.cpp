// Installs the build into a throw-away prefix and checks what a desktop and a user get from it:
// the installed quillon-convert converts with the build folder hidden, the manual page says what
// --help says, and the desktop files pass the freedesktop and AppStream validators.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/fixtures/Mp3Check.h"
#include "tests/fixtures/OggFixtures.h"
#include "tests/fixtures/TempDir.h"

namespace {

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct Result {
    int status = -1;
    std::string output;  // stdout and stderr together
};

// Runs argv through the shell with stderr joined to stdout; env entries go before it.
Result RunCommand(const std::vector<std::string>& argv, const std::string& env = {}) {
    std::string command = env.empty() ? std::string() : "env " + env + " ";
    for (const auto& arg : argv)
        command += Quote(arg) + " ";
    command += "2>&1";
    Result result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

bool IsFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsExecutable(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0111) == 0111;
}

// Runs of white space as one blank, so that filled and adjusted text compares with the help.
std::string Collapse(const std::string& text) {
    std::string collapsed;
    for (char c : text) {
        const bool blank = std::isspace(static_cast<unsigned char>(c)) != 0;
        if (!blank)
            collapsed += c;
        else if (collapsed.empty() || collapsed.back() != ' ')
            collapsed += ' ';
    }
    return collapsed;
}

// "  -o, --output DIR    what it does": the option and its text; an option alone when the text
// is on the next line; nothing for other lines.
std::vector<std::string> OptionPieces(const std::string& line) {
    const size_t start = line.find_first_not_of(' ');
    if (start == 0 || start == std::string::npos || line[start] != '-')
        return {};
    const size_t gap = line.find("  ", start);
    if (gap == std::string::npos)
        return {line.substr(start)};
    return {line.substr(start, gap - start), line.substr(line.find_first_not_of(' ', gap))};
}

// The installed tree, made once for all the tests.
class InstallTree : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_prefix = std::make_unique<fixtures::TempDir>();
        const Result install = RunCommand(
            {CMAKE_COMMAND, "--install", QUILLON_BUILD_DIR, "--prefix", s_prefix->Path()});
        s_installed = install.status == 0;
        s_installLog = install.output;
    }
    static void TearDownTestSuite() { s_prefix.reset(); }

    void SetUp() override { ASSERT_TRUE(s_installed) << s_installLog; }

    static std::string Installed(const std::string& relative) {
        return s_prefix->Path() + "/" + relative;
    }

    static std::unique_ptr<fixtures::TempDir> s_prefix;
    static bool s_installed;
    static std::string s_installLog;
};

std::unique_ptr<fixtures::TempDir> InstallTree::s_prefix;
bool InstallTree::s_installed = false;
std::string InstallTree::s_installLog;

TEST_F(InstallTree, ConverterRunsWithTheBuildFolderHidden) {
    fixtures::TempDir work;
    fixtures::OggStream stream;
    stream.rate = 44100;
    stream.channels = 2;
    stream.frames = 3 * 44100;
    stream.tones = {fixtures::Tone{440.0, -12.0}};
    fixtures::WriteOgg(work.File("song.ogg"), stream);

    // A mount namespace of its own with empty folders over the build and source trees: the
    // installed program can only use the prefix.
    const std::string script =
        "mount -t tmpfs quillon-hidden \"$0\" && mount -t tmpfs quillon-hidden \"$1\" && "
        "[ ! -e \"$0/bin\" ] && exec \"$2\" -o \"$3\" -b 96 \"$4\"";
    const Result run =
        RunCommand({"unshare", "--mount", "--propagation", "private", "sh", "-c", script,
                    QUILLON_BUILD_DIR, QUILLON_SOURCE_DIR, Installed("bin/quillon-convert"),
                    work.File("out"), work.File("song.ogg")},
                   "-u LD_LIBRARY_PATH HOME=" + Quote(work.Path()) +
                       " XDG_CONFIG_HOME=" + Quote(work.File("config")));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Finished converting, all done."), std::string::npos) << run.output;

    fixtures::Mp3Info info;
    ASSERT_NO_THROW(info = fixtures::DecodeMp3(work.File("out/song.mp3")));
    EXPECT_EQ(info.rate, 44100);
    EXPECT_EQ(info.channels, 2);
    EXPECT_TRUE(info.IsConstantBitrate(96));
    EXPECT_NEAR(static_cast<double>(info.frames), 3.0 * 44100, 2 * 1152.0);
    EXPECT_EQ(info.infoTag, "Info");
}

TEST_F(InstallTree, HoldsTheProgramsModuleAndDocuments) {
    EXPECT_TRUE(IsExecutable(Installed("bin/quillon-convert")));
    EXPECT_TRUE(IsFile(Installed(QUILLON_MODULE_DIR "/lame_enc.so")));
    EXPECT_TRUE(IsFile(Installed("share/man/man1/quillon-convert.1.gz")));
    EXPECT_EQ(ReadAll(Installed("share/doc/quillon/README.md")),
              ReadAll(QUILLON_SOURCE_DIR "/README.md"));
    EXPECT_TRUE(IsFile(Installed("share/doc/quillon/copyright")));
    EXPECT_EQ(IsExecutable(Installed("bin/quillon")), QUILLON_HAS_WINDOW != 0);
    // The version the installed program reports is this build's.
    const Result version = RunCommand({Installed("bin/quillon-convert"), "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "quillon-convert " QUILLON_VERSION "\n");
}

TEST_F(InstallTree, ManualPageSaysWhatTheHelpSays) {
    const Result help = RunCommand({Installed("bin/quillon-convert"), "--help"});
    ASSERT_EQ(help.status, 0);
    // Long lines and no hyphenation, so that every help line comes out whole.
    const Result page = RunCommand({"sh", "-c",
                                    "gzip -dc \"$0\" | groff -man -Tutf8 -ww -rLL=300n -rHY=0 "
                                    "-P-cbou",
                                    Installed("share/man/man1/quillon-convert.1.gz")});
    ASSERT_EQ(page.status, 0) << page.output;
    EXPECT_EQ(page.output.find("warning"), std::string::npos) << page.output;
    const std::string text = Collapse(page.output);

    std::istringstream lines(help.output);
    std::string line;
    int checked = 0;
    while (std::getline(lines, line)) {
        if (line.find_first_not_of(' ') == std::string::npos)
            continue;
        std::vector<std::string> pieces = OptionPieces(line);
        if (line.rfind("usage: ", 0) == 0)
            pieces = {line.substr(7)};
        else if (line.rfind("Exit status: ", 0) == 0)
            pieces = {line.substr(13)};
        else if (pieces.empty())
            pieces = {line};
        for (const auto& piece : pieces) {
            const std::string wanted = Collapse(" " + piece + " ");
            EXPECT_NE(text.find(wanted), std::string::npos)
                << "help text missing from the manual page: \"" << piece << "\"";
            ++checked;
        }
    }
    EXPECT_GE(checked, 10);
    EXPECT_NE(text.find("Quillon " QUILLON_VERSION), std::string::npos);
}

#if QUILLON_GUI_BUILD

// Every text between `before` and the next `after`.
std::vector<std::string> Between(const std::string& text, const std::string& before,
                                 const std::string& after) {
    std::vector<std::string> found;
    for (size_t at = text.find(before); at != std::string::npos; at = text.find(before, at)) {
        at += before.size();
        const size_t end = text.find(after, at);
        if (end == std::string::npos)
            break;
        found.push_back(text.substr(at, end - at));
    }
    return found;
}

// Width and height from a PNG's header; 0 × 0 when it is no PNG.
std::pair<uint32_t, uint32_t> PngSize(const std::string& path) {
    const std::string data = ReadAll(path);
    if (data.size() < 24 || data.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        data.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto be32 = [&](size_t at) {
        uint32_t v = 0;
        for (size_t i = 0; i < 4; ++i)
            v = (v << 8) | static_cast<unsigned char>(data[at + i]);
        return v;
    };
    return {be32(16), be32(20)};
}

TEST_F(InstallTree, IconThemeHasTheDrawingAndEverySize) {
    const std::string theme = "share/icons/hicolor/";
    EXPECT_EQ(ReadAll(Installed(theme + "scalable/apps/" QUILLON_APP_ID ".svg")),
              ReadAll(QUILLON_SOURCE_DIR "/resources/icons/quillon.svg"));
    for (uint32_t size : {16u, 32u, 48u, 64u, 128u, 256u}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        const auto [width, height] =
            PngSize(Installed(theme + folder + "/apps/" QUILLON_APP_ID ".png"));
        EXPECT_EQ(width, size) << folder;
        EXPECT_EQ(height, size) << folder;
    }
}

TEST_F(InstallTree, DesktopEntryValidatesAndOpensOggFiles) {
    const std::string entry = Installed("share/applications/" QUILLON_APP_ID ".desktop");
    const Result check = RunCommand({DESKTOP_FILE_VALIDATE, entry});
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_EQ(check.output, "");

    const std::string text = ReadAll(entry);
    for (const char* line :
         {"Name=Quillon\n", "Exec=quillon %F\n", "Categories=AudioVideo;Audio;\n",
          "MimeType=audio/ogg;audio/x-vorbis+ogg;audio/vorbis;\n", "Icon=" QUILLON_APP_ID "\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    EXPECT_NE(text.find("\nGenericName="), std::string::npos);
    EXPECT_NE(text.find("\nComment="), std::string::npos);

    // What a file manager offers for Ogg files, asked the way GNOME's does, with only the
    // installed tree for data. The entry's TryExec needs quillon on the path; a build without
    // the window gets a stand-in.
    fixtures::TempDir empty;
    std::string path = Installed("bin");
    if (!QUILLON_HAS_WINDOW) {
        ASSERT_EQ(::mkdir(empty.File("bin").c_str(), 0755), 0);
        fixtures::WriteTextFile(empty.File("bin/quillon"), "#!/bin/sh\n");
        ASSERT_EQ(::chmod(empty.File("bin/quillon").c_str(), 0755), 0);
        path = empty.File("bin");
    }
    const std::string env =
        "PATH=" + Quote(path) + ":\"$PATH\" XDG_DATA_DIRS=" + Quote(Installed("share")) +
        " XDG_DATA_HOME=" + Quote(empty.Path()) + " XDG_CONFIG_HOME=" + Quote(empty.Path()) +
        " XDG_CONFIG_DIRS=" + Quote(empty.Path());
    for (const char* type : {"audio/ogg", "audio/x-vorbis+ogg", "audio/vorbis"}) {
        const Result mime = RunCommand({"gio", "mime", type}, env);
        EXPECT_EQ(mime.status, 0) << mime.output;
        EXPECT_NE(mime.output.find("Registered applications:\n\t" QUILLON_APP_ID ".desktop\n"),
                  std::string::npos)
            << type << ": " << mime.output;
    }
}

TEST_F(InstallTree, MetainfoValidates) {
    const std::string metainfo = Installed("share/metainfo/" QUILLON_APP_ID ".metainfo.xml");
    const Result check = RunCommand({APPSTREAMCLI, "validate", "--no-net", metainfo});
    EXPECT_EQ(check.status, 0) << check.output;

    const std::string text = ReadAll(metainfo);
    EXPECT_NE(text.find("<launchable type=\"desktop-id\">" QUILLON_APP_ID ".desktop<"),
              std::string::npos);
    EXPECT_TRUE(IsFile(Installed("share/applications/" QUILLON_APP_ID ".desktop")));
    EXPECT_NE(text.find("<project_license>"), std::string::npos);
    // The newest release, listed first, is the version being installed.
    const auto releases = Between(text, "<release version=\"", "\"");
    ASSERT_FALSE(releases.empty());
    EXPECT_EQ(releases.front(), QUILLON_VERSION);
}

// With a web folder for the screenshots, the README's pictures are listed in its order with
// its descriptions as captions, the first as the default; a picture missing from the folder or
// shown twice is listed once at most; the file still validates.
TEST(Metainfo, ListsTheReadmesScreenshotsWhenTheirWebFolderIsKnown) {
    fixtures::TempDir dir;
    ASSERT_EQ(::mkdir(dir.File("docs").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(dir.File("docs/screenshots").c_str(), 0755), 0);
    for (const char* name : {"main.png", "progress.png", "about.png", "unused.png"})
        fixtures::WriteTextFile(dir.File("docs/screenshots/") + name, "");
    fixtures::WriteTextFile(dir.File("README.md"),
                            "# Quillon\n\n![The list & its files](docs/screenshots/main.png)\n\n"
                            "![Gone](docs/screenshots/missing.png)\n"
                            "Text ![A batch under way](docs/screenshots/progress.png) text.\n"
                            "![Again](docs/screenshots/main.png)\n"
                            "![](docs/screenshots/about.png)\n");
    const std::string out = dir.File("m.metainfo.xml");
    const Result make = RunCommand(
        {CMAKE_COMMAND,
         "-DTEMPLATE=" QUILLON_SOURCE_DIR "/packaging/" QUILLON_APP_ID ".metainfo.xml.in",
         "-DOUTPUT=" + out, "-DLICENSE=GPL-3.0-or-later", "-DHOMEPAGE=https://quillon.invalid/?a&b",
         "-DREADME=" + dir.File("README.md"), "-DSCREENSHOT_URL=https://quillon.invalid/shots/",
         "-P", QUILLON_SOURCE_DIR "/packaging/Metainfo.cmake"});
    ASSERT_EQ(make.status, 0) << make.output;
    const Result check = RunCommand({APPSTREAMCLI, "validate", "--no-net", out});
    EXPECT_EQ(check.status, 0) << check.output;

    const std::string text = ReadAll(out);
    EXPECT_NE(text.find("<url type=\"homepage\">https://quillon.invalid/?a&amp;b</url>"),
              std::string::npos);
    EXPECT_EQ(Between(text, "<image>https://quillon.invalid/shots/", "</image>"),
              (std::vector<std::string>{"main.png", "progress.png", "about.png"}));
    EXPECT_EQ(Between(text, "<caption>", "</caption>"),
              (std::vector<std::string>{"The list &amp; its files", "A batch under way"}));
    EXPECT_NE(text.find("<screenshot type=\"default\">\n      <caption>The list &amp;"),
              std::string::npos)
        << text;
    EXPECT_EQ(Between(text, "<screenshot type=", ">").size(), 1u);
}

#endif

}  // namespace
