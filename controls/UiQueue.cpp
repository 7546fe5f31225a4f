#include "controls/UiQueue.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>

#include <atomic>
#include <cassert>

namespace {

std::atomic<bool> g_deliveryScheduled{false};

}  // namespace

CMessageQueue& UiMessageQueue() {
    // Never deleted: a worker may still wake the queue while the process ends.
    static QObject* const pump = new QObject;
    static CMessageQueue queue([] {
        // One pending delivery is enough; it takes everything that arrived until it runs.
        if (g_deliveryScheduled.exchange(true, std::memory_order_acq_rel))
            return;
        QMetaObject::invokeMethod(
            pump,
            [] {
                g_deliveryScheduled.store(false, std::memory_order_release);
                queue.ProcessAll();
            },
            Qt::QueuedConnection);
    });
    assert(QThread::currentThread() == pump->thread());
    return queue;
}
