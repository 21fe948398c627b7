#include "UtilitiesBench.h"
#include "alignment/frmSynchTS.h"
#include "alignment/frmTheSkyDialog.h"
#include "alignment/frmTheSkyMove.h"
#include "alignment/frmZELEastWest.h"
#include "alignment/frmZELPromptFlip.h"
#include "support/WindowLook.h"

#include <QLineEdit>
#include <QSpinBox>

namespace {

class WindowLook : public UtilitiesBench
{
};

} // namespace

TEST_F(WindowLook, AlignmentWindowsShowWholeTextsAndArrowsWithoutNumbers)
{
    open();
    Look::show(window.get());
    Look::screenshot(window.get(), QStringLiteral("alignment"));
    EXPECT_EQ(Look::cutTexts(window.get()).join(QLatin1Char('\n')).toStdString(), "");
    for (QSpinBox *arrows : {window->UpDown1, window->UpDown2, window->UpDown3, window->UpDown4, window->UpDown5})
        EXPECT_EQ(arrows->text(), QString()) << arrows->objectName().toStdString();
    window->hide();

    Look::expectWholeTexts({
        {"synchts", [] { return new frmSynchTS; }},
        {"theskydialog", [] { return new frmTheSkyDialog; }},
        {"theskymove", [] { return new frmTheSkyMove; }},
        {"zeleastwest", [] { return new frmZELEastWest; }},
        {"zelpromptflip", [] { return new frmZELPromptFlip; }},
    });
}
