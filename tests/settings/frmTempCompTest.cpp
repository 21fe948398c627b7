#include "link/ModuleState.h"
#include "link/Serial.h"
#include "settings/frmTempComp.h"
#include "support/ControllerSimulator.h"
#include "support/OperatorInput.h"
#include "support/RecordingPrompts.h"
#include "support/SentText.h"
#include "support/TestClock.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <gtest/gtest.h>

using namespace OperatorInput;

namespace {

class TempCompDialog : public ::testing::Test
{
protected:
    ControllerSimulator sim;
    RecordingPrompts prompts;
    TestClock clock;
    std::shared_ptr<Serial> link = std::make_shared<Serial>();

    void SetUp() override
    {
        qputenv("VKM_COM1", sim.devicePath().toLocal8Bit());
        sim.setSilent(true);
        link->setPort(1);
        link->setConnected(true);
        Module().focuser = ModuleState::Focuser{};
        Module().focuser.TempCompSlope = 1.0f;
    }

    void TearDown() override { link->setConnected(false); }

    frmTempComp::LinkSource source()
    {
        return [this] { return link; };
    }

    // Everything the dialog sent since the last call.
    QString sent() { return SentText(*link, sim); }

    static void known(float coefficient, int32_t threshold)
    {
        Module().focuser.TempCompCoefficientKnown = true;
        Module().focuser.TempCompCoefficient = coefficient;
        Module().focuser.TempCompThreshold = threshold;
    }
};

} // namespace

TEST_F(TempCompDialog, OpensOnTheKnownValuesAndAsksForThemAgain)
{
    struct Case { float coefficient; int32_t threshold; bool celsius; int spinner; const char *shown; };
    const Case cases[] = {
        {2.5f, 7, false, 25, "2.5"},
        {-2.5f, 0, false, -25, "-2.5"},
        {150.0f, 100, false, 0, "0"}, // beyond the spinner, which stays as it was
        {100.0f, 3, false, 1000, "100.0"},
        {2.5f, 7, true, 25, "4.50"},
    };
    for (const Case &c : cases) {
        known(c.coefficient, c.threshold);
        frmTempComp dialog(source());
        if (c.celsius)
            dialog.optC->setChecked(true);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Temperature Compensation"));
        EXPECT_EQ(dialog.UpDown2->value(), c.spinner) << c.coefficient;
        EXPECT_EQ(dialog.lblVKMoef->text(), QString::fromLatin1(c.shown)) << c.coefficient;
        EXPECT_EQ(dialog.UpDown1->value(), c.threshold);
        EXPECT_EQ(dialog.lblTCMin->text(), QString::number(c.threshold));
        EXPECT_FALSE(dialog.ValuesChanged);
        EXPECT_FALSE(dialog.Timer1.Enabled());
        EXPECT_EQ(sent(), QStringLiteral(" l "));
    }
    EXPECT_TRUE(prompts.boxes.isEmpty());
}

// The late look takes the values by the rules of the load: nothing in range is clipped.
TEST_F(TempCompDialog, LateValuesFollowTheLoadRules)
{
    struct Case { float coefficient; int32_t threshold; int spinner; float kept; };
    const Case cases[] = {{12.0f, 50, 120, 12.0f}, {250.0f, 8, 0, 250.0f}, {-3.5f, 100, -35, -3.5f}};
    for (const Case &c : cases) {
        Module().focuser.TempCompCoefficientKnown = false;
        Module().focuser.TempCompMode = 9;
        frmTempComp dialog(source());
        EXPECT_EQ(Module().focuser.TempCompMode, 0);
        EXPECT_TRUE(dialog.optTempComp[0]->isChecked());
        EXPECT_TRUE(dialog.Timer1.Enabled());
        EXPECT_EQ(dialog.Timer1.Interval(), 2000);
        EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
        known(c.coefficient, c.threshold);
        dialog.Timer1_Timer();
        EXPECT_FALSE(dialog.Timer1.Enabled());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(dialog.UpDown2->value(), c.spinner) << c.coefficient;
        EXPECT_EQ(dialog.UpDown1->value(), c.threshold);
        EXPECT_FLOAT_EQ(Module().focuser.TempCompCoefficient, c.kept);
        EXPECT_EQ(Module().focuser.TempCompThreshold, c.threshold);
    }

    Module().focuser.TempCompCoefficientKnown = false;
    frmTempComp dialog(source());
    dialog.Timer1_Timer();
    ASSERT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(prompts.boxes[0].prompt, QStringLiteral("Failed to recieve Temperature Compensation Coefficient from VKM."));
    EXPECT_EQ(prompts.boxes[0].buttons, int(vbconst::vbExclamation));
    EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("VKM"));
}

TEST_F(TempCompDialog, OkUploadsTheOperatorsChangesThenTheMode)
{
    known(-2.4f, 6);
    frmTempComp dialog(source());
    sent();
    key(dialog.UpDown2, Qt::Key_Down);
    key(dialog.UpDown1, Qt::Key_Up);
    EXPECT_TRUE(dialog.ValuesChanged);
    dialog.optTempComp[2]->setChecked(true);

    prompts.answer = [](const MessageBoxRequest &) { return int(vbconst::vbCancel); };
    dialog.cmdOK->click();
    EXPECT_EQ(sent(), QString());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(Module().focuser.TempCompMode, 0);

    prompts.answer = nullptr;
    dialog.cmdOK->click();
    EXPECT_EQ(sent(), QStringLiteral(" =-2500  F7  +2 "));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FLOAT_EQ(Module().focuser.TempCompCoefficient, -2.5f);
    EXPECT_EQ(Module().focuser.TempCompMode, 2);
    ASSERT_EQ(prompts.boxes.size(), 2);
    EXPECT_EQ(prompts.boxes[1].prompt, QStringLiteral("Upload changes to VKM?"));
    EXPECT_EQ(prompts.boxes[1].buttons, vbconst::vbOKCancel | vbconst::vbQuestion);
    EXPECT_EQ(prompts.boxes[1].title, QStringLiteral("VKM"));
}

TEST_F(TempCompDialog, OkWithoutChangesOnlyStoresTheMode)
{
    known(2.5f, 7);
    Module().focuser.TempCompMode = 2;
    frmTempComp dialog(source());
    sent();
    dialog.optTempComp[1]->setChecked(true);
    dialog.cmdOK->click();
    EXPECT_EQ(sent(), QStringLiteral(" +1 "));
    EXPECT_EQ(Module().focuser.TempCompMode, 1);
    EXPECT_TRUE(prompts.boxes.isEmpty());
}

// Only what the operator changed goes, and only as shown; a closed port or a value that would
// go out otherwise sends and changes nothing. 150 counts per degree shows as 0: never sent.
TEST_F(TempCompDialog, OkSendsOnlyWhatChangedAndRefusesWhatCannotGoAsShown)
{
    struct Case { float slope; bool portOpen; QSpinBox *frmTempComp::*spinner; const char *sent; const char *box; };
    const Case cases[] = {
        {1.0f, true, &frmTempComp::UpDown1, " F8  +1 ", "Upload changes to VKM?"},
        {0.0f, true, &frmTempComp::UpDown2, "", "The coefficient 0.1 can not be sent as shown: the VKM would not hold it (sensor scale 0). Nothing was sent."},
        {1.0f, false, &frmTempComp::UpDown1, "", "Error:  The communications port is not open."},
    };
    for (const Case &c : cases) {
        known(150.0f, 7);
        Module().focuser.TempCompMode = 0;
        Module().focuser.TempCompSlope = c.slope;
        frmTempComp dialog(source());
        sent();
        key(dialog.*c.spinner, Qt::Key_Up);
        dialog.optTempComp[1]->setChecked(true);
        if (!c.portOpen)
            link->setConnected(false);
        dialog.cmdOK->click();
        if (!c.portOpen)
            link->setConnected(true);
        EXPECT_EQ(sent(), QString::fromLatin1(c.sent));
        EXPECT_EQ(prompts.takePrompts().last(), QString::fromLatin1(c.box));
        EXPECT_EQ(Module().focuser.TempCompThreshold + Module().focuser.TempCompMode, *c.sent ? 9 : 7);
    }
}

TEST_F(TempCompDialog, CancelSendsNothingAndKeepsTheMode)
{
    known(2.5f, 7);
    Module().focuser.TempCompMode = 1;
    struct Case { bool titleBar; int answer; bool closes; };
    const Case cases[] = {{false, vbconst::vbCancel, false}, {false, vbconst::vbOK, true}, {true, vbconst::vbOK, true}};
    for (const Case &c : cases) {
        frmTempComp dialog(source());
        sent();
        dialog.optTempComp[0]->setChecked(true);
        dialog.UpDown1->setValue(4);
        key(dialog.UpDown1, Qt::Key_Up);
        prompts.answer = [&](const MessageBoxRequest &) { return c.answer; };
        if (c.titleBar)
            dialog.reject();
        else
            dialog.cmdCancel->click();
        ASSERT_EQ(prompts.boxes.size(), 1);
        EXPECT_EQ(prompts.boxes[0].prompt, QStringLiteral("Discard changes?"));
        prompts.boxes.clear();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(sent(), QString());
        EXPECT_EQ(Module().focuser.TempCompMode, 1);
        EXPECT_EQ(Module().focuser.TempCompThreshold, 7); // what the dialog found
        EXPECT_FLOAT_EQ(Module().focuser.TempCompCoefficient, 2.5f);
    }
    // The discarded threshold is not uploaded by a later OK.
    frmTempComp dialog(source());
    dialog.cmdOK->click();
    EXPECT_EQ(sent(), QStringLiteral(" l  +1 "));
}
