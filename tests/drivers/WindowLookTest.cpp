#include "drivers/frmDialog.h"
#include "drivers/frmRotatorSetup.h"
#include "support/ControllerBench.h"
#include "support/RecordingPrompts.h"
#include "support/WindowLook.h"

namespace {
class WindowLook : public ControllerBench
{
};
} // namespace

TEST_F(WindowLook, SetupDialogsShowWholeTexts)
{
    RecordingPrompts prompts;
    CheckRegistry();
    Look::expectWholeTexts({{"focussetup", [] { return new frmDialog; }}, {"rotatorsetup", [] { return new frmRotatorSetup; }}});
}
