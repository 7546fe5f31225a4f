#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QLocalServer;

// One Quillon per user: the first start listens on a local socket named after the executable
// and the user; a later start hands its files to it (the first one raises its window and
// adds them) and ends.
class CSingleInstance : public QObject {
    Q_OBJECT

public:
    // key names the socket; DefaultKey() for the program.
    explicit CSingleInstance(const QString& key, QObject* parent = nullptr);
    ~CSingleInstance() override;

    // The executable's name and the user's id.
    static QString DefaultKey();
    // Where the socket lives: the user's runtime folder, else the temporary folder.
    QString ServerName() const { return m_serverName; }

    // Gives the files (absolute paths, possibly none) to a running instance; true when it
    // took them, and this process then ends. Otherwise this process becomes the running
    // instance and listens; from then on later starts arrive as Activated.
    bool HandOverOrListen(const QStringList& files);
    bool IsListening() const;

    // Asks a running instance to take the files; true when it confirmed.
    static bool HandOver(const QString& serverName, const QStringList& files, int timeoutMs);

Q_SIGNALS:
    // A later start: raise the window and add the files (none: only raise).
    void Activated(const QStringList& files);

private:
    void OnConnection();

    QString m_serverName;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};
