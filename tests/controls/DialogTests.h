#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

int RunDialogTemplateTests(int argc, char** argv);
int RunResizeDlgTests(int argc, char** argv);
int RunPlacementStoreTests(int argc, char** argv);

// A fresh per-user settings home for one test; nothing reaches the user's own files.
class TempProfile {
public:
    TempProfile() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Path()); }
    QString Path() const { return m_dir.path(); }
    // The profile exactly where the program is meant to keep it.
    std::unique_ptr<QSettings> Open() const {
        return std::make_unique<QSettings>(Path() + QStringLiteral("/Quillon/") +
                                               QCoreApplication::applicationName() +
                                               QStringLiteral(".conf"),
                                           QSettings::IniFormat);
    }

private:
    QTemporaryDir m_dir;
};
