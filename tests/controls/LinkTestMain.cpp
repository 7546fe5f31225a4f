#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>

int RunFolderDialogTests(int argc, char** argv);
int RunHyperLinkTests(int argc, char** argv);

int main(int argc, char** argv) {
    // The file chooser keeps its history in the user's configuration: keep it in a throw-away
    // home.
    QTemporaryDir home;
    if (!home.isValid()) {
        return 2;
    }
    setenv("HOME", home.path().toLocal8Bit().constData(), 1);
    setenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit().constData(),
           1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    int failures = 0;
    failures += RunFolderDialogTests(argc, argv);
    failures += RunHyperLinkTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
