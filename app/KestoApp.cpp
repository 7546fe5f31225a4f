#include "app/KestoApp.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>

#include "app/KestoDlg.h"
#include "app/SingleInstance.h"
#include "platform/MessageBox.h"

namespace {

void ShowBoxOnUiThread(const std::string& text, MessageBoxIcon icon) {
    const QMessageBox::Icon qtIcon = icon == MessageBoxIcon::Error ? QMessageBox::Critical
                                     : icon == MessageBoxIcon::Exclamation
                                         ? QMessageBox::Warning
                                         : QMessageBox::Information;
    const auto show = [text, qtIcon] {
        QMessageBox box(qtIcon, QStringLiteral("Quillon"), QString::fromStdString(text),
                        QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    };
    if (QThread::currentThread() == qApp->thread())
        show();
    else
        QMetaObject::invokeMethod(qApp, show, Qt::BlockingQueuedConnection);
}

}  // namespace

int RunQuillon(int argc, char** argv) {
    QApplication app(argc, argv);
    // The installed desktop entry, so that the desktop shows the window with its name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quillon.Quillon"));

    QStringList files;
    for (const QString& arg : QCoreApplication::arguments().mid(1))
        files << QFileInfo(arg).absoluteFilePath();

    CSingleInstance instance(CSingleInstance::DefaultKey());
    if (instance.HandOverOrListen(files))
        return 0;

    SetMessageBoxHook(ShowBoxOnUiThread);
    CKestoDlg window;
    QObject::connect(&instance, &CSingleInstance::Activated, &window,
                     [&window](const QStringList& handed) {
                         window.Activate();
                         window.LoadFiles(handed, true);
                     });
    window.show();
    window.LoadFiles(files, true);
    return app.exec();
}
