#include "app/SingleInstance.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

namespace {

constexpr int HANDOVER_TIMEOUT_MS = 3000;
constexpr char ACK = 'K';

QString RuntimeFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(QString::fromLocal8Bit(runtime)).isDir())
        return QString::fromLocal8Bit(runtime);
    return QDir::tempPath();
}

// A request is a 32-bit length followed by the serialised list of paths.
QByteArray Encode(const QStringList& files) {
    QByteArray body;
    QDataStream out(&body, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << files;
    QByteArray frame;
    QDataStream head(&frame, QIODevice::WriteOnly);
    head << static_cast<quint32>(body.size());
    return frame + body;
}

}  // namespace

CSingleInstance::CSingleInstance(const QString& key, QObject* parent)
    : QObject(parent), m_serverName(QDir(RuntimeFolder()).filePath(key)) {}

CSingleInstance::~CSingleInstance() = default;

QString CSingleInstance::DefaultKey() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() +
           QStringLiteral("-") + QString::number(::getuid());
}

bool CSingleInstance::HandOver(const QString& serverName, const QStringList& files, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(Encode(files));
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    char ack = 0;
    return socket.getChar(&ack) && ack == ACK;
}

bool CSingleInstance::HandOverOrListen(const QStringList& files) {
    // Two starts at the same moment must not both decide to listen.
    m_lock = std::make_unique<QLockFile>(m_serverName + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0);
    m_lock->tryLock(HANDOVER_TIMEOUT_MS);
    if (HandOver(m_serverName, files, HANDOVER_TIMEOUT_MS)) {
        m_lock.reset();
        return true;
    }
    // Nobody answered: a socket left behind by an instance that crashed is in the way.
    QLocalServer::removeServer(m_serverName);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnConnection);
    m_server->listen(m_serverName);
    m_lock->unlock();
    return false;
}

bool CSingleInstance::IsListening() const {
    return m_server && m_server->isListening();
}

void CSingleInstance::OnConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // Reads until the whole request is in; a client that never finishes only costs its
        // socket.
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->property("done").toBool())
                return;
            const QByteArray data = socket->peek(socket->bytesAvailable());
            if (data.size() < 4)
                return;
            QDataStream head(data.left(4));
            quint32 length = 0;
            head >> length;
            if (length > 64u * 1024 * 1024) {
                socket->abort();
                return;
            }
            if (static_cast<quint64>(data.size()) < 4 + static_cast<quint64>(length))
                return;
            socket->setProperty("done", true);
            QDataStream in(data.mid(4, static_cast<qsizetype>(length)));
            in.setVersion(QDataStream::Qt_6_0);
            QStringList files;
            in >> files;
            if (in.status() != QDataStream::Ok) {
                socket->abort();
                return;
            }
            socket->putChar(ACK);
            socket->flush();
            Q_EMIT Activated(files);
        });
    }
}
