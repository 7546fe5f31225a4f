#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// A worker thread created suspended. Its creator records the object (a shared pointer) before
// calling Resume, so nobody can see the thread run without the object being known. The thread
// keeps its own reference while it runs: a waiter that gives up may drop the object, and the
// thread then finishes on its own. There is no forced termination.
class CThread : public std::enable_shared_from_this<CThread> {
public:
    using Body = std::function<int()>;

    static std::shared_ptr<CThread> Create(Body body);

    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Starts the body; later calls do nothing.
    void Resume();

    // Waits up to ms milliseconds for the body to end; true when it has ended. On a thread that
    // owns a message queue, sent messages keep being delivered while waiting, so a worker's
    // synchronous report to that thread cannot deadlock the wait.
    bool WaitFor(unsigned ms);

    bool HasEnded() const;
    int ExitCode() const;  // the body's result; -1 while it runs or when it threw

private:
    explicit CThread(Body body) : m_body(std::move(body)) {}

    Body m_body;
    mutable std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_started = false;
    bool m_done = false;
    int m_exitCode = -1;
};

// A thread reference that one thread stores and others read: the object stays valid for every
// reader that took a copy, even after the thread has ended.
class CThreadRef {
public:
    void Set(std::shared_ptr<CThread> thread) {
        std::lock_guard lock(m_mutex);
        m_thread = std::move(thread);
    }
    std::shared_ptr<CThread> Get() const {
        std::lock_guard lock(m_mutex);
        return m_thread;
    }

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<CThread> m_thread;
};
