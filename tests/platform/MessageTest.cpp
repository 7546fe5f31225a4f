#include "platform/Message.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/Thread.h"

namespace {

// A payload that counts how many instances are alive, to prove nothing leaks or dies twice.
struct Counted {
    static std::atomic<int> alive;
    int value;
    explicit Counted(int v) : value(v) { ++alive; }
    Counted(const Counted& o) : value(o.value) { ++alive; }
    ~Counted() { --alive; }
};
std::atomic<int> Counted::alive{0};

TEST(Message, PostedMessagesArriveInOrderOnTheOwnerThread) {
    CMessageQueue queue;
    std::vector<int> seen;
    const auto owner = std::this_thread::get_id();
    bool onOwner = true;
    auto port = CWindowPort::Create(queue, [&](Message& m) -> intptr_t {
        onOwner = onOwner && std::this_thread::get_id() == owner;
        seen.push_back(std::any_cast<int>(m.payload));
        return 0;
    });
    std::thread poster([port] {
        for (int i = 0; i < 100; ++i)
            port->Post(Message{WM_USER, 0, 0, i});
    });
    poster.join();
    while (queue.WaitAndProcess(0)) {
    }
    ASSERT_EQ(seen.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(seen[i], i);
    EXPECT_TRUE(onOwner);
}

TEST(Message, SendWaitsForTheHandlersResult) {
    CMessageQueue queue;
    auto port = CWindowPort::Create(
        queue, [](Message& m) -> intptr_t { return static_cast<intptr_t>(m.wParam) * 2; });
    EXPECT_EQ(port->Send(Message{WM_USER, 21, 0, {}}), 42);  // same thread: direct call
    std::atomic<intptr_t> result{0};
    std::thread sender([&] { result = port->Send(Message{WM_USER, 50, 0, {}}); });
    while (result.load() == 0)
        queue.WaitAndProcess(10);
    sender.join();
    EXPECT_EQ(result.load(), 100);
}

TEST(Message, WaitingForAThreadKeepsDeliveringSentMessages) {
    CMessageQueue queue;
    int handled = 0;
    auto port = CWindowPort::Create(queue, [&](Message&) -> intptr_t { return ++handled; });
    auto worker = CThread::Create([port] { return static_cast<int>(port->Send(Message{})); });
    worker->Resume();
    // The worker blocks in Send until this thread handles it; the wait must not deadlock.
    EXPECT_TRUE(worker->WaitFor(10000));
    EXPECT_EQ(worker->ExitCode(), 1);
    EXPECT_EQ(handled, 1);
}

TEST(Message, PostsToAClosedWindowFreeTheirPayloads) {
    {
        CMessageQueue queue;
        int handled = 0;
        auto port = CWindowPort::Create(queue, [&](Message&) -> intptr_t { return ++handled; });
        port->Post(Message{WM_USER, 0, 0, Counted(1)});
        port->Close();  // the queued message goes with the window
        EXPECT_FALSE(port->Post(Message{WM_USER, 0, 0, Counted(2)}));
        EXPECT_EQ(port->Send(Message{WM_USER, 0, 0, Counted(3)}), 0);
        queue.ProcessAll();
        EXPECT_EQ(handled, 0);
        EXPECT_EQ(Counted::alive.load(), 0);
    }
    EXPECT_EQ(Counted::alive.load(), 0);
}

// Several threads post and send while the window closes and its queue goes away: every payload
// is freed exactly once (the sanitizer builds check the rest), and no sender hangs.
TEST(Message, PostingWhileTheWindowIsDestroyedLosesNothingTwice) {
    for (int round = 0; round < 20; ++round) {
        std::shared_ptr<CWindowPort> port;
        std::atomic<int> handled{0};
        std::vector<std::thread> senders;
        {
            CMessageQueue queue;
            port = CWindowPort::Create(queue, [&](Message& m) -> intptr_t {
                handled += std::any_cast<Counted&>(m.payload).value;
                return 1;
            });
            for (int t = 0; t < 4; ++t) {
                senders.emplace_back([port, t] {
                    for (int i = 0; i < 500; ++i) {
                        if (t == 0 && i % 50 == 0)
                            port->Send(Message{WM_USER, 0, 0, Counted(1)});
                        else
                            port->Post(Message{WM_USER, 0, 0, Counted(1)});
                    }
                });
            }
            for (int i = 0; i < round; ++i)
                queue.WaitAndProcess(1);
            if (round % 2)
                port->Close();
        }  // the queue dies with messages still coming
        for (auto& s : senders)
            s.join();
        EXPECT_EQ(Counted::alive.load(), 0);
        EXPECT_FALSE(port->Post(Message{WM_USER, 0, 0, Counted(1)}));
        EXPECT_EQ(Counted::alive.load(), 0);
    }
}

TEST(Thread, BoundedWaitGivesUpAndTheThreadFinishesAlone) {
    std::atomic<bool> release{false};
    auto shared = std::make_shared<int>(7);
    std::weak_ptr<int> watch = shared;
    auto thread = CThread::Create([shared, &release] {
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return *shared;
    });
    shared.reset();
    EXPECT_FALSE(thread->HasEnded());  // created suspended
    thread->Resume();
    EXPECT_FALSE(thread->WaitFor(20));
    EXPECT_EQ(thread->ExitCode(), -1);
    std::weak_ptr<CThread> watchThread = thread;
    thread.reset();  // the waiter gives up; the thread keeps itself alive
    release = true;
    while (!watchThread.expired())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(watch.expired());  // what the body held went with it
}

TEST(Thread, ExitCodeAndExceptions) {
    auto ok = CThread::Create([] { return 5; });
    auto bad = CThread::Create([]() -> int { throw std::runtime_error("x"); });
    ok->Resume();
    bad->Resume();
    ASSERT_TRUE(ok->WaitFor(10000));
    ASSERT_TRUE(bad->WaitFor(10000));
    EXPECT_EQ(ok->ExitCode(), 5);
    EXPECT_EQ(bad->ExitCode(), -1);
}

}  // namespace
