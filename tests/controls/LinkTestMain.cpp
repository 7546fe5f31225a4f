#include "tests/fixtures/GuiTestMain.h"

int RunFolderDialogTests(int argc, char** argv);
int RunHyperLinkTests(int argc, char** argv);

int main(int argc, char** argv) {
    return RunGuiTestSuites(argc, argv, {RunFolderDialogTests, RunHyperLinkTests});
}
