#include "platform/Thread.h"

#include <chrono>
#include <thread>

#include "platform/Message.h"

std::shared_ptr<CThread> CThread::Create(Body body) {
    return std::shared_ptr<CThread>(new CThread(std::move(body)));
}

void CThread::Resume() {
    {
        std::lock_guard lock(m_mutex);
        if (m_started)
            return;
        m_started = true;
    }
    std::thread([self = shared_from_this()] {
        int code = -1;
        try {
            code = self->m_body();
        } catch (...) {
            code = -1;
        }
        // The body may hold references (tasks, state) that must go before we report the end.
        self->m_body = nullptr;
        std::lock_guard lock(self->m_mutex);
        self->m_exitCode = code;
        self->m_done = true;
        self->m_ended.notify_all();
    }).detach();
}

bool CThread::WaitFor(unsigned ms) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(ms);
    CMessageQueue* queue = CMessageQueue::Current();
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_done)
            return true;
        const auto now = steady_clock::now();
        if (now >= deadline)
            return false;
        if (!queue) {
            m_ended.wait_until(lock, deadline);
            continue;
        }
        // Short slices, delivering sent messages in between.
        m_ended.wait_until(lock, std::min(deadline, now + milliseconds(2)));
        if (m_done)
            return true;
        lock.unlock();
        queue->ProcessSent();
        lock.lock();
    }
}

bool CThread::HasEnded() const {
    std::lock_guard lock(m_mutex);
    return m_done;
}

int CThread::ExitCode() const {
    std::lock_guard lock(m_mutex);
    return m_exitCode;
}
