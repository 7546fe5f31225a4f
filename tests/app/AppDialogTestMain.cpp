#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>

int RunOptionDlgTests(int argc, char** argv);
int RunAboutDlgTests(int argc, char** argv);

int main(int argc, char** argv) {
    // Before the application exists, so nothing looks at the real home.
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
    failures += RunOptionDlgTests(argc, argv);
    failures += RunAboutDlgTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
