#include "UtilitiesBench.h"
#include "alignment/frmSynchTS.h"
#include "alignment/frmTheSkyDialog.h"
#include "alignment/frmTheSkyMove.h"
#include "alignment/frmZELEastWest.h"
#include "alignment/frmZELPromptFlip.h"
#include "support/WindowLook.h"

namespace {
class WindowLook : public UtilitiesBench
{
};
} // namespace

TEST_F(WindowLook, AlignmentWindowsShowWholeTexts)
{
    Look::expectWholeTexts({{"alignment", [] { return new frmZELUtilities; }},
                            {"synchts", [] { return new frmSynchTS; }},
                            {"theskydialog", [] { return new frmTheSkyDialog; }},
                            {"theskymove", [] { return new frmTheSkyMove; }},
                            {"zeleastwest", [] { return new frmZELEastWest; }},
                            {"zelpromptflip", [] { return new frmZELPromptFlip; }}});
}
