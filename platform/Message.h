#pragma once

#include <any>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

constexpr uint32_t WM_USER = 0x0400;
constexpr uint32_t WM_APP = 0x8000;
// Sets a window's caption (control 0) or a child control's text (wParam = control id).
constexpr uint32_t WM_SETTEXT = 0x000C;

// A window message. The payload travels by value: whoever holds the message owns it, and a
// message that is never delivered frees its payload with it.
struct Message {
    uint32_t id = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    std::any payload;
};

class CWindowPort;

// The message queue of one thread that owns windows. Other threads post into it or send
// through it; the owner thread delivers. A front end supplies the wake-up (a Qt event, a
// condition variable) and calls ProcessAll on the owner thread when woken.
class CMessageQueue {
public:
    using Wake = std::function<void()>;

    // Registers the queue as the calling thread's. wake may be empty when the owner thread
    // delivers with WaitAndProcess.
    explicit CMessageQueue(Wake wake = {});
    ~CMessageQueue();  // undelivered messages are freed; senders waiting get 0

    CMessageQueue(const CMessageQueue&) = delete;
    CMessageQueue& operator=(const CMessageQueue&) = delete;

    static CMessageQueue* Current();  // the calling thread's queue, or null

    void ProcessAll();   // owner thread: delivers sent, then posted messages
    void ProcessSent();  // owner thread: delivers sent messages only
    // Owner thread: waits up to ms for a message and delivers what has arrived; true when
    // something was delivered.
    bool WaitAndProcess(unsigned ms);

    struct Core;

private:
    friend class CWindowPort;
    std::shared_ptr<Core> m_core;
};

// The handle of one window: what other threads hold to reach it. Posting to or sending to a
// window that has closed frees the payload and does nothing else.
class CWindowPort {
public:
    using Handler = std::function<intptr_t(Message&)>;

    // Called on the queue's owner thread.
    static std::shared_ptr<CWindowPort> Create(CMessageQueue& queue, Handler handler);

    // Queues the message for the window's thread and returns at once. False when the window
    // has closed.
    bool Post(Message message);
    // Runs the handler on the window's thread and waits for its result; a direct call on that
    // thread itself. 0 when the window has closed or closes before handling it.
    intptr_t Send(Message message);
    // Owner thread: no more deliveries; messages still queued for the window are freed.
    void Close();
    bool IsOpen() const;

    struct Core;

private:
    explicit CWindowPort(std::shared_ptr<Core> core) : m_core(std::move(core)) {}
    std::shared_ptr<Core> m_core;
};
