#include <QApplication>

#include "LookTests.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int failures = RunTemplateLookTests(argc, argv);
    failures += RunListLookTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
