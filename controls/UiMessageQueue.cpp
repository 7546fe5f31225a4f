#include "controls/UiMessageQueue.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <memory>

namespace {

class CQueuePump : public QObject {
public:
    explicit CQueuePump(QObject* parent) : QObject(parent) {
        // One wake-up per burst: the flag is cleared before delivering, so a message that
        // arrives during delivery asks for a new round.
        m_queue = std::make_unique<CMessageQueue>([this] {
            if (!m_wakePending.exchange(true))
                QMetaObject::invokeMethod(this, &CQueuePump::Deliver, Qt::QueuedConnection);
        });
    }
    ~CQueuePump() override {
        // Senders still waiting get 0, undelivered payloads are freed, and no worker wakes a
        // deleted object.
        m_queue.reset();
    }

    CMessageQueue& Queue() { return *m_queue; }

private:
    void Deliver() {
        m_wakePending.store(false);
        if (m_queue)
            m_queue->ProcessAll();
    }

    std::unique_ptr<CMessageQueue> m_queue;
    std::atomic<bool> m_wakePending{false};
};

QPointer<CQueuePump> g_pump;

}  // namespace

CMessageQueue& UiMessageQueue() {
    if (!g_pump)
        g_pump = new CQueuePump(QCoreApplication::instance());
    return g_pump->Queue();
}
