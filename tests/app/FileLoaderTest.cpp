// The loading thread without the window: the folder walk, the batches it posts, stopping and
// failing. Qt-free, so it also runs under the sanitizers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/FileLoader.h"
#include "app/FolderWalk.h"
#include "platform/Thread.h"
#include "tests/fixtures/OggFixtures.h"
#include "tests/fixtures/TempDir.h"

namespace fs = std::filesystem;

namespace {

fixtures::OggStream Second() {
    fixtures::OggStream stream;
    stream.rate = 8000;
    stream.channels = 1;
    stream.frames = 8000;
    return stream;
}

// One load run to its end on a thread of its own, with this thread as the window.
struct LoadRun {
    std::vector<CLoadedFile> rows;
    std::vector<size_t> batchSizes;
    int ends = 0;
    CLoadEnd end;

    void Run(std::vector<std::string> paths, bool walk,
             std::function<void(CLoadJob&)> prepare = {}) {
        CMessageQueue queue;
        auto port = CWindowPort::Create(queue, [this](Message& m) -> intptr_t {
            if (m.id == WM_LIST_ADD_ROW) {
                auto& batch = std::any_cast<CLoadBatch&>(m.payload);
                EXPECT_EQ(batch.m_serial, 7u);
                batchSizes.push_back(batch.m_files.size());
                for (auto& f : batch.m_files)
                    rows.push_back(std::move(f));
            } else if (m.id == WM_LIST_LOAD_DONE) {
                end = std::any_cast<CLoadEnd>(m.payload);
                ++ends;
            }
            return 0;
        });
        auto job = std::make_shared<CLoadJob>(std::move(paths), walk, port, 7);
        if (prepare)
            prepare(*job);
        auto thread = CThread::Create([job] { return job->Run(); });
        thread->Resume();
        for (int i = 0; i < 3000 && ends == 0; ++i)
            queue.WaitAndProcess(10);
        ASSERT_TRUE(thread->WaitFor(5000));
        queue.ProcessAll();
        port->Close();
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& r : rows)
            names.push_back(r.m_name);
        return names;
    }
};

class FileLoaderTest : public testing::Test {
protected:
    void SetUp() override { fixtures::WriteOgg(m_dir.File("a.ogg"), Second()); }
    std::string Copy(const std::string& relative) {
        const std::string target = m_dir.File(relative);
        fs::create_directories(fs::path(target).parent_path());
        fs::copy_file(m_dir.File("a.ogg"), target);
        return target;
    }
    fixtures::TempDir m_dir;
};

}  // namespace

TEST(FolderWalk, OggExtensionInAnyCase) {
    for (const char* name : {"x.ogg", "x.OGG", "x.oGg", ".ogg"})
        EXPECT_TRUE(HasOggExtension(name)) << name;
    for (const char* name : {"x.og", "xogg", "x.ogg.txt", "ogg", "x.mp3", ""})
        EXPECT_FALSE(HasOggExtension(name)) << name;
}

TEST_F(FileLoaderTest, WalkSkipsHiddenEntriesAndLinkedFolders) {
    Copy("sub/b.OGG");
    Copy("sub/deep/c.Ogg");
    Copy("sub/.hidden.ogg");
    Copy(".hid/d.ogg");
    Copy("notes.txt");
    fs::create_directory_symlink(m_dir.Path(), m_dir.File("sub/loop"));
    fs::create_symlink(m_dir.File("a.ogg"), m_dir.File("link.ogg"));
    fs::create_symlink(m_dir.File("gone.ogg"), m_dir.File("dangling.ogg"));

    std::vector<std::string> seen;
    EXPECT_TRUE(WalkAudioFolder(m_dir.Path(), [&](const std::string& p) {
        seen.push_back(p.substr(m_dir.Path().size()));
        return true;
    }));
    // Files of a folder first, in byte order, then its subfolders.
    EXPECT_EQ(seen,
              (std::vector<std::string>{"/a.ogg", "/link.ogg", "/sub/b.OGG", "/sub/deep/c.Ogg"}));

    seen.clear();
    EXPECT_FALSE(WalkAudioFolder(m_dir.Path(), [&](const std::string& p) {
        seen.push_back(p);
        return seen.size() < 2;
    }));
    EXPECT_EQ(seen.size(), 2u);
    // A stop is seen before each folder is read, also where there is nothing to visit.
    int folders = 0;
    EXPECT_FALSE(WalkAudioFolder(
        m_dir.File("sub"), [](const std::string&) { return true; },
        [&folders] { return ++folders < 2; }));
    EXPECT_EQ(folders, 2);
    EXPECT_TRUE(WalkAudioFolder(m_dir.File("no such folder"), [](const std::string&) {
        ADD_FAILURE();
        return true;
    }));
}

TEST_F(FileLoaderTest, EveryFoundFileBecomesOneScannedRow) {
    fixtures::WriteTextFile(m_dir.File("text.ogg"), "no audio");
    fs::create_directory(m_dir.File("folder.ogg"));
    LoadRun run;
    run.Run({m_dir.File("a.ogg"), m_dir.File("missing.ogg"), m_dir.File("text.ogg"),
             m_dir.File("folder.ogg")},
            false);
    ASSERT_EQ(run.ends, 1);
    EXPECT_FALSE(run.end.m_failed);
    EXPECT_EQ(run.end.m_serial, 7u);
    // The missing path gets no row; a folder chosen as a file is a bad row.
    ASSERT_EQ(run.Names(), (std::vector<std::string>{"a.ogg", "text.ogg", "folder.ogg"}));
    EXPECT_EQ(run.rows[0].m_item.m_error, 0);
    EXPECT_EQ(run.rows[0].m_item.m_sampleRate, 8000u);
    EXPECT_EQ(run.rows[0].m_folder, m_dir.Path() + "/");
    EXPECT_EQ(run.rows[0].m_extension, "OGG");
    EXPECT_EQ(run.rows[1].m_item.m_error, 1);
    EXPECT_EQ(run.rows[2].m_item.m_error, 1);
}

TEST_F(FileLoaderTest, FoldersAreWalkedOnlyWhenAsked) {
    Copy("album/one.ogg");
    Copy("album/two.ogg");
    LoadRun walked;
    walked.Run({m_dir.File("album"), m_dir.File("a.ogg")}, true);
    EXPECT_EQ(walked.Names(), (std::vector<std::string>{"one.ogg", "two.ogg", "a.ogg"}));
}

TEST_F(FileLoaderTest, ManyFilesArriveInFewBatches) {
    std::vector<std::string> paths;
    for (int i = 0; i < 600; ++i)
        paths.push_back(m_dir.File("a.ogg"));
    LoadRun run;
    run.Run(paths, false);
    EXPECT_EQ(run.rows.size(), 600u);
    EXPECT_LT(run.batchSizes.size(), 600u / 4);
    EXPECT_EQ(run.batchSizes.front(), 1u);  // the first file is named at once
}

TEST_F(FileLoaderTest, StopEndsAfterTheCurrentFile) {
    std::vector<std::string> paths(10, m_dir.File("a.ogg"));
    LoadRun run;
    run.Run(paths, false, [](CLoadJob& job) {
        job.m_afterFile = [&job](size_t done) {
            if (done == 2)
                job.RequestStop();
        };
    });
    EXPECT_EQ(run.rows.size(), 2u);
    EXPECT_EQ(run.ends, 1);
    EXPECT_FALSE(run.end.m_failed);
}

TEST_F(FileLoaderTest, FailureKeepsTheRowsSoFar) {
    std::vector<std::string> paths(5, m_dir.File("a.ogg"));
    LoadRun run;
    run.Run(paths, false, [](CLoadJob& job) {
        job.m_afterFile = [](size_t done) {
            if (done == 3)
                throw std::runtime_error("gone");
        };
    });
    EXPECT_EQ(run.rows.size(), 3u);
    EXPECT_EQ(run.ends, 1);
    EXPECT_TRUE(run.end.m_failed);
}
