#include "DialogTests.h"
#include "tests/fixtures/GuiTestMain.h"

int main(int argc, char** argv) {
    return RunGuiTestSuites(argc, argv,
                            {RunDialogTemplateTests, RunResizeDlgTests, RunPlacementStoreTests});
}
