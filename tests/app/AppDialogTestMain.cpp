#include "tests/fixtures/GuiTestMain.h"

int RunOptionDlgTests(int argc, char** argv);
int RunAboutDlgTests(int argc, char** argv);

int main(int argc, char** argv) {
    return RunGuiTestSuites(argc, argv, {RunOptionDlgTests, RunAboutDlgTests});
}
