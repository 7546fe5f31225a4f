// Opens the options dialog or the about box on a throw-away configuration, to look at them by
// hand:  dialog_preview [options|about] [dark]
#include <QApplication>
#include <QIcon>
#include <QTemporaryDir>

#include <cstring>

#include "app/AboutDlg.h"
#include "app/OptionDlg.h"
#include "app/core/Settings.h"
#include "tests/controls/LookPalettes.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Quillon"));
    QApplication::setWindowIcon(
        QIcon(QStringLiteral(QUILLON_SOURCE_DIR "/resources/icons/quillon.svg")));
    if (QApplication::arguments().contains(QStringLiteral("dark"))) {
        QApplication::setPalette(DarkPalette());
    }
    QTemporaryDir config;
    g_configFolder = config.path().toStdString();
    ResetSettings();
    if (argc > 1 && std::strcmp(argv[1], "about") == 0) {
        CAboutDlg dlg;
        return dlg.exec();
    }
    COption dlg;
    return dlg.exec();
}
