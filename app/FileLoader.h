#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/core/AudioFileItem.h"
#include "platform/Message.h"

// Rows for the main window's list, posted by the loading thread; payload: CLoadBatch. The
// number is the one the list's row addition has always had; it goes to the main window only.
constexpr uint32_t WM_LIST_ADD_ROW = WM_USER + 101;
// The loading thread has ended; payload: CLoadEnd.
constexpr uint32_t WM_LIST_LOAD_DONE = WM_USER + 102;

// One scanned file, ready to become a row.
struct CLoadedFile {
    std::string m_path;
    std::string m_folder;  // ends with a separator
    std::string m_name;
    std::string m_extension;  // upper-cased, the Type cell of a good file
    std::time_t m_lastWrite = 0;
    CAudioFileItem m_item;
};

struct CLoadBatch {
    unsigned m_serial = 0;
    std::vector<CLoadedFile> m_files;
};

struct CLoadEnd {
    unsigned m_serial = 0;
    bool m_failed = false;  // an exception ended the thread
};

// One load: the chosen paths, scanned on a thread of its own and handed to the window in
// batches, so the window adds thousands of rows without waiting on the disk. The job is shared
// by the window and its thread; the thread touches nothing else of the window.
class CLoadJob {
public:
    // walkFolders: a folder among the paths is searched for *.ogg files (dropped folders and
    // folders named on the command line); otherwise every path is taken as a file.
    CLoadJob(std::vector<std::string> paths, bool walkFolders, std::shared_ptr<CWindowPort> window,
             unsigned serial);

    // The thread's body: every batch, then WM_LIST_LOAD_DONE. Returns 0.
    int Run();

    // Asks the thread to stop after the file it is reading; answered at once.
    void RequestStop() { m_stop.store(true, std::memory_order_release); }
    bool StopRequested() const { return m_stop.load(std::memory_order_acquire); }
    unsigned Serial() const { return m_serial; }

    // Runs on the loading thread after each file is scanned, with the number of files so far;
    // lets a test hold the thread at a chosen file. May throw, as any step of the load may.
    std::function<void(size_t)> m_afterFile;

private:
    bool AddFile(const std::string& path);
    void Flush(bool force);

    const std::vector<std::string> m_paths;
    const bool m_walkFolders;
    const std::shared_ptr<CWindowPort> m_window;
    const unsigned m_serial;
    std::atomic<bool> m_stop{false};
    std::vector<CLoadedFile> m_batch;
    uint32_t m_lastFlush = 0;
    size_t m_done = 0;
};
