#include "platform/Message.h"

#include <chrono>

struct CWindowPort::Core {
    std::shared_ptr<CMessageQueue::Core> queue;
    Handler handler;
    bool open = true;  // guarded by the queue's mutex
};

namespace {

struct Pending {
    std::shared_ptr<CWindowPort::Core> port;
    Message message;
    std::unique_ptr<std::promise<intptr_t>> reply;  // set for sent messages
};

thread_local CMessageQueue* t_currentQueue = nullptr;

}  // namespace

struct CMessageQueue::Core {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Pending> posted;
    std::deque<Pending> sent;
    Wake wake;
    std::thread::id owner;
    bool alive = true;

    // Delivers one message on the owner thread, outside the lock.
    static void Deliver(Pending& item) {
        intptr_t result = 0;
        if (item.port->open)  // only the owner thread clears it, and we are on it
            result = item.port->handler(item.message);
        if (item.reply)
            item.reply->set_value(result);
    }

    bool Take(std::deque<Pending>& from, Pending& out) {
        std::lock_guard lock(mutex);
        if (from.empty())
            return false;
        out = std::move(from.front());
        from.pop_front();
        return true;
    }

    void Enqueue(bool isSent, Pending item) {
        {
            std::lock_guard lock(mutex);
            if (!alive)
                return;  // item (payload, promise) freed on return
            (isSent ? sent : posted).push_back(std::move(item));
        }
        arrived.notify_all();
        if (wake)
            wake();
    }
};

CMessageQueue::CMessageQueue(Wake wake) : m_core(std::make_shared<Core>()) {
    m_core->wake = std::move(wake);
    m_core->owner = std::this_thread::get_id();
    t_currentQueue = this;
}

CMessageQueue::~CMessageQueue() {
    std::deque<Pending> posted, sent;
    {
        std::lock_guard lock(m_core->mutex);
        m_core->alive = false;
        posted.swap(m_core->posted);
        sent.swap(m_core->sent);
    }
    for (auto& item : sent)
        item.reply->set_value(0);
    if (t_currentQueue == this)
        t_currentQueue = nullptr;
}

CMessageQueue* CMessageQueue::Current() {
    return t_currentQueue;
}

void CMessageQueue::ProcessSent() {
    Pending item;
    while (m_core->Take(m_core->sent, item))
        Core::Deliver(item);
}

void CMessageQueue::ProcessAll() {
    Pending item;
    for (;;) {
        ProcessSent();
        if (!m_core->Take(m_core->posted, item))
            break;
        Core::Deliver(item);
    }
}

bool CMessageQueue::WaitAndProcess(unsigned ms) {
    {
        std::unique_lock lock(m_core->mutex);
        m_core->arrived.wait_for(lock, std::chrono::milliseconds(ms), [this] {
            return !m_core->posted.empty() || !m_core->sent.empty();
        });
        if (m_core->posted.empty() && m_core->sent.empty())
            return false;
    }
    ProcessAll();
    return true;
}

std::shared_ptr<CWindowPort> CWindowPort::Create(CMessageQueue& queue, Handler handler) {
    auto core = std::make_shared<Core>();
    core->queue = queue.m_core;
    core->handler = std::move(handler);
    return std::shared_ptr<CWindowPort>(new CWindowPort(std::move(core)));
}

bool CWindowPort::Post(Message message) {
    auto& queue = *m_core->queue;
    {
        std::lock_guard lock(queue.mutex);
        if (!m_core->open || !queue.alive)
            return false;
    }
    queue.Enqueue(false, Pending{m_core, std::move(message), nullptr});
    return true;
}

intptr_t CWindowPort::Send(Message message) {
    auto& queue = *m_core->queue;
    if (std::this_thread::get_id() == queue.owner) {
        if (!m_core->open)
            return 0;
        return m_core->handler(message);
    }
    auto reply = std::make_unique<std::promise<intptr_t>>();
    auto result = reply->get_future();
    {
        std::lock_guard lock(queue.mutex);
        if (!m_core->open || !queue.alive)
            return 0;
    }
    queue.Enqueue(true, Pending{m_core, std::move(message), std::move(reply)});
    try {
        return result.get();
    } catch (const std::future_error&) {
        return 0;  // the queue went away with the message
    }
}

void CWindowPort::Close() {
    auto& queue = *m_core->queue;
    std::deque<Pending> dropped;
    {
        std::lock_guard lock(queue.mutex);
        m_core->open = false;
        for (auto* list : {&queue.posted, &queue.sent}) {
            for (auto it = list->begin(); it != list->end();) {
                if (it->port == m_core) {
                    dropped.push_back(std::move(*it));
                    it = list->erase(it);
                } else {
                    ++it;
                }
            }
        }
    }
    for (auto& item : dropped)
        if (item.reply)
            item.reply->set_value(0);
}

bool CWindowPort::IsOpen() const {
    std::lock_guard lock(m_core->queue->mutex);
    return m_core->open;
}
