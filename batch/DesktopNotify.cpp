#include "batch/DesktopNotify.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>

void NotifyDesktop(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("quillon"));
    call << QStringLiteral("Quillon") << 0u << QStringLiteral("quillon") << summary << body
         << QStringList() << hints << -1;
    // The answer (or the error of a bus without the service) is of no interest.
    bus.asyncCall(call);
}
