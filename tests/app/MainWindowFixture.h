#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/KestoDlg.h"

// Answers the message boxes the window opens, one after the other, with a chosen button,
// and keeps their texts.
class BoxAnswerer : public QObject {
public:
    explicit BoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok) : m_answer(answer) {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || box == m_lastBox)
                return;
            m_lastBox = box;
            m_texts << box->text();
            m_icons << box->icon();
            QAbstractButton* button = box->button(m_answer);
            if (!button)
                button = box->buttons().value(0);
            QTimer::singleShot(0, button, &QAbstractButton::click);
        });
        m_timer.start();
    }
    QStringList m_texts;
    QList<QMessageBox::Icon> m_icons;

private:
    QMessageBox::StandardButton m_answer;
    QTimer m_timer;
    QPointer<QMessageBox> m_lastBox;
};

// A fresh configuration home and profile for one test: nothing reaches the user's files.
class IsolatedHome {
public:
    IsolatedHome() {
        m_config = m_dir.path() + QStringLiteral("/config");
        setenv("XDG_CONFIG_HOME", m_config.toLocal8Bit().constData(), 1);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_config);
    }
    QString ConfigFolder() const { return m_config + QStringLiteral("/Quillon"); }
    QString ConfigFile() const { return ConfigFolder() + QStringLiteral("/Config.ini"); }
    QString Path() const { return m_dir.path(); }
    std::unique_ptr<QSettings> Profile() const {
        return std::make_unique<QSettings>(ConfigFolder() + QStringLiteral("/") +
                                               QCoreApplication::applicationName() +
                                               QStringLiteral(".conf"),
                                           QSettings::IniFormat);
    }

private:
    QTemporaryDir m_dir;
    QString m_config;
};

// The real main window, shown, with its process exit caught.
struct OpenWindow {
    OpenWindow() : window(std::make_unique<CKestoDlg>()) {
        window->m_exitProcess = [this](int code) {
            ++exits;
            exitCode = code;
        };
        window->m_openUrl = [this](const QUrl& url) {
            opened << url;
            return openResult;
        };
        window->m_showProperties = [this](const QString& path) {
            properties << path;
            return true;
        };
        window->show();
        window->activateWindow();
        // Keys reach the window's shortcuts only while it is the active window.
        active = QTest::qWaitForWindowActive(window.get());
    }
    CKestoDlg* operator->() const { return window.get(); }

    // Add Files with these paths in place of the dialog's choice; waits for the load's end.
    bool Load(const QStringList& paths, int timeoutMs = 20000) {
        window->m_chooseFiles = [paths] { return paths; };
        window->OnAddFiles();
        return WaitIdle(timeoutMs);
    }
    bool WaitIdle(int timeoutMs = 20000) {
        return QTest::qWaitFor([this] { return !window->IsLoading(); }, timeoutMs);
    }
    int Row(const QString& name) const {
        for (int r = 0; r < window->List()->GetItemCount(); ++r)
            if (window->List()->GetItemText(r, COL_NAME) == name)
                return r;
        return -1;
    }

    std::unique_ptr<CKestoDlg> window;
    bool active = false;
    int exits = 0;
    int exitCode = 0;
    bool openResult = true;
    QList<QUrl> opened;
    QStringList properties;
};

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
