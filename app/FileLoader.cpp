#include "app/FileLoader.h"

#include "app/FolderWalk.h"
#include "app/core/AudioScan.h"
#include "platform/FileSystem.h"
#include "platform/Tick.h"

namespace {

// A batch goes to the window when it is this large or this old, whichever comes first: large
// enough that the window is not woken per file, small enough that the caption keeps moving.
constexpr size_t BATCH_FILES = 256;
constexpr uint32_t BATCH_MS = 40;

}  // namespace

CLoadJob::CLoadJob(std::vector<std::string> paths, bool walkFolders,
                   std::shared_ptr<CWindowPort> window, unsigned serial)
    : m_paths(std::move(paths)),
      m_walkFolders(walkFolders),
      m_window(std::move(window)),
      m_serial(serial) {}

int CLoadJob::Run() {
    CLoadEnd end;
    end.m_serial = m_serial;
    // The first file goes out at once, so the loading window names it from the start.
    m_lastFlush = GetTickCount() - BATCH_MS;
    try {
        for (const std::string& path : m_paths) {
            if (StopRequested())
                break;
            const bool more =
                m_walkFolders && IsDirectory(path)
                    ? WalkAudioFolder(path,
                                      [this](const std::string& file) { return AddFile(file); })
                    : AddFile(path);
            if (!more)
                break;
        }
    } catch (...) {
        end.m_failed = true;
    }
    // Rows scanned before a failure still reach the list.
    try {
        Flush(true);
    } catch (...) {
        end.m_failed = true;
    }
    m_window->Post(Message{WM_LIST_LOAD_DONE, 0, 0, end});
    return 0;
}

bool CLoadJob::AddFile(const std::string& path) {
    if (StopRequested())
        return false;
    CLoadedFile file;
    CFileFacts facts;
    // A path that is not there (any more) gets no row.
    if (ReadFileFacts(path, file.m_item, facts)) {
        file.m_path = facts.m_path;
        file.m_folder = facts.m_folder;
        file.m_name = facts.m_name;
        file.m_extension = facts.m_extension;
        file.m_lastWrite = facts.m_lastWrite;
        ScanFile(path, file.m_item);
        m_batch.push_back(std::move(file));
        ++m_done;
        if (m_afterFile)
            m_afterFile(m_done);
        Flush(false);
    }
    return !StopRequested();
}

void CLoadJob::Flush(bool force) {
    if (m_batch.empty())
        return;
    const uint32_t now = GetTickCount();
    if (!force && m_batch.size() < BATCH_FILES && now - m_lastFlush < BATCH_MS)
        return;
    m_lastFlush = now;
    CLoadBatch batch;
    batch.m_serial = m_serial;
    batch.m_files.swap(m_batch);
    m_window->Post(Message{WM_LIST_ADD_ROW, 0, 0, std::move(batch)});
}
