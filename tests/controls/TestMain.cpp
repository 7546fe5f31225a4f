#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>

#include "DialogTests.h"

int main(int argc, char** argv) {
    // Before the application exists, so nothing it sets up looks at the real home.
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
    failures += RunDialogTemplateTests(argc, argv);
    failures += RunResizeDlgTests(argc, argv);
    failures += RunPlacementStoreTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
