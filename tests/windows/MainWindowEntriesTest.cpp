#include "MainWindowCommandsFixture.h"
#include "drivers/Focuser.h"

#include "support/WidgetInput.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

using namespace OperatorInput;

using MainWindowEntries = MainWindowCommands;

TEST_F(MainWindowEntries, SpinnersSendOnlyWhatTheOperatorSets)
{
    struct Case { const char *spinner; int start; Qt::Key key; const char *sent; const char *label; const char *caption; };
    const Case cases[] = {
        {"UpDown3", 3, Qt::Key_Up, " g40 ", "lblFanGain", "4"},
        {"UpDown1", 24, Qt::Key_Up, " O25 ", "lblFanSet", "2.5"},
        {"UpDown1", 11, Qt::Key_Down, " O10 ", "lblFanSet", "1"},
        {"UpDown6", -14, Qt::Key_Down, " P-15 ", "lblSecSet", "-1.5"},
        {"UpDown2", 40, Qt::Key_Up, " y45 ", nullptr, nullptr},
        {"UpDown5", 40, Qt::Key_Down, " s35 ", nullptr, nullptr},
        {"udDew1_0", 10, Qt::Key_Up, " c15 ", nullptr, nullptr},
        {"udDew1_1", 10, Qt::Key_Up, " k15 ", nullptr, nullptr},
    };
    form->optFan[0]->setChecked(true);
    form->optSec[0]->setChecked(true);
    for (const Case &c : cases) {
        auto *spin = control<QSpinBox>(QString::fromLatin1(c.spinner));
        form->Holds->clearAll();
        EXPECT_EQ(sentBy([&] { spin->setValue(c.start); }), QString()) << c.spinner;
        EXPECT_EQ(sentBy([&] { key(spin, c.key); }), QString::fromLatin1(c.sent)) << c.spinner;
        if (c.label) {
            EXPECT_EQ(control<QLabel>(QString::fromLatin1(c.label))->text(), QString::fromLatin1(c.caption));
        }
    }
    EXPECT_TRUE(prompts.boxes.isEmpty());

    // A report moves the spinner and its caption, and nothing echoes back.
    form->Holds->clearAll();
    EXPECT_EQ(sentBy([&] { form->Handle_Received(QStringLiteral(":fg 40 ")); }), QString());
    EXPECT_EQ(form->UpDown3->value(), 4);
    EXPECT_EQ(form->lblFanGain->text(), QStringLiteral("4"));
}

TEST_F(MainWindowEntries, ModeOptionsSendWhenPressed)
{
    form->UpDown2->setValue(35);
    form->UpDown5->setValue(20);
    struct Case { const char *option; const char *sent; };
    const Case cases[] = {{"optFan_1", "n1 "}, {"optFan_0", "y35 "}, {"optSec_1", "w1 "}, {"optSec_0", "s20 "}};
    for (const Case &c : cases) {
        form->Holds->clearAll();
        form->FanSpeedHold = true;
        EXPECT_EQ(sentBy([&] { click(control(QString::fromLatin1(c.option))); }), QString::fromLatin1(c.sent));
        // Any fan mode click lets the reports set the fan power again.
        EXPECT_EQ(form->FanSpeedHold, QByteArray(c.option).startsWith("optSec")) << c.option;
    }
    form->Holds->clearAll();
    EXPECT_EQ(sentBy([&] { form->Handle_Received(QStringLiteral(":fm 1 :sm 1 ")); }), QString());
    EXPECT_TRUE(form->optFan[1]->isChecked());

    // A key that cannot step a power spinner leaves the mode alone.
    form->Holds->clearAll();
    EXPECT_EQ(sentBy([&] { key(form->UpDown2, Qt::Key_Tab); }), QString());
    EXPECT_EQ(sentBy([&] { key(form->UpDown5, Qt::Key_Tab); }), QString());
    EXPECT_TRUE(form->optFan[1]->isChecked());
    EXPECT_TRUE(form->optSec[1]->isChecked());

    // Working a power spinner in Auto selects Manual. The heater's power command is its
    // manual one; the fan sends the mode, then the new power.
    form->Holds->clearAll();
    EXPECT_EQ(sentBy([&] { key(form->UpDown5, Qt::Key_Up); }), QStringLiteral(" s25 "));
    EXPECT_TRUE(form->optSec[0]->isChecked());
    form->Holds->clearAll();
    EXPECT_EQ(sentBy([&] { key(form->UpDown2, Qt::Key_Up); }), QStringLiteral("y35  y40 "));
    EXPECT_TRUE(form->optFan[0]->isChecked());
    // A report of the old mode does not flip the option back while the operator works it.
    EXPECT_EQ(sentBy([&] { form->Handle_Received(QStringLiteral(":fm 1 :fs 35 ")); }), QString());
    EXPECT_TRUE(form->optFan[0]->isChecked());
    EXPECT_EQ(form->UpDown2->value(), 40);
}

// Those that test the port first and those whose send cannot leave say so alike.
TEST_F(MainWindowEntries, ClosedPortRefusesEveryEntryWithABox)
{
    form->mnuDisconnect_Click();
    struct Case { const char *control; bool refused; };
    const Case cases[] = {{"UpDown1", true}, {"UpDown2", true},  {"UpDown3", true},  {"UpDown5", true},
                          {"UpDown6", true}, {"udDew1_0", true}, {"optFan_1", true}, {"optSec_1", true}};
    for (const Case &c : cases) {
        QWidget *w = control(QString::fromLatin1(c.control));
        if (qobject_cast<QSpinBox *>(w))
            key(w, Qt::Key_Up);
        else
            click(w);
        ASSERT_EQ(prompts.boxes.size(), c.refused ? 1 : 0) << c.control;
        if (c.refused) {
            EXPECT_EQ(prompts.boxes[0].prompt, QStringLiteral("Error:  The communications port is not open."));
            EXPECT_EQ(prompts.boxes[0].buttons, int(vbconst::vbExclamation));
            EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("ORVA"));
        }
        prompts.boxes.clear();
    }
}

TEST_F(MainWindowEntries, JogStepChoosersAndTheCustomRotatorStep)
{
    ModuleState::Settings &s = Module().settings;
    const int32_t focusSteps[] = {1, 10, 25, 100};
    for (int i : {3, 0, 2, 1}) {
        click(form->optFocus[i]);
        Focuser client; // reads the settings afresh: each choice is stored at once
        EXPECT_EQ(form->FocusJogSteps, focusSteps[i]);
        EXPECT_EQ(s.FocusStep, i);
    }
    const int32_t rotSteps[] = {100, 200, 1000, 9000, 0};
    for (int i : {3, 0, 4, 1, 2}) {
        click(form->optRot[i]);
        Focuser client;
        EXPECT_EQ(form->RotJogSteps, rotSteps[i]);
        EXPECT_EQ(s.RotateStep, i);
    }

    // Clicking the step box chooses "Other"; leaving it takes the step and stores it, or
    // refuses it with a box and keeps the step stored before.
    const char *outside = "Step size must be less than 360 degrees and positive.";
    struct Case { const char *text; int32_t steps; const char *message; const char *stored; };
    const Case cases[] = {
        {"12.25", 2450, nullptr, "12.25"},
        {"-45", 7, outside, "12.25"},
        {"360", 7, outside, "12.25"},
        {"0.001", 7, outside, "12.25"}, // no whole step
        {"1e9", 7, outside, "12.25"},
        {"abc", 7, "Invalid value for rotator step size.", "12.25"},
        {"1e1", 2000, nullptr, "1e1"},
    };
    for (const Case &c : cases) {
        click(form->txtRot);
        EXPECT_TRUE(form->optRot[4]->isChecked());
        form->txtRot->clear();
        WidgetInput::type(form->txtRot, QString::fromLatin1(c.text));
        EXPECT_EQ(s.RotateStep, 4);
        EXPECT_EQ(form->RotJogSteps, 0) << "changing the text drops the step";
        form->RotJogSteps = 7;
        leave(form->txtRot);
        Focuser client;
        EXPECT_EQ(form->RotJogSteps, c.steps) << c.text;
        EXPECT_EQ(takeBoxes(), c.message ? QStringList{QString::fromLatin1(c.message)} : QStringList()) << c.text;
        EXPECT_EQ(s.RotateStepOption, QString::fromLatin1(c.stored)) << c.text;
        EXPECT_EQ(readSetting(QStringLiteral("RotateStepOption")).toString(), QString::fromLatin1(c.stored)) << c.text;
    }
    click(form->chkCelcius); // so is the temperature unit
    Focuser client;
    sim.sendRaw(":t1 6800 ");
    EXPECT_TRUE(Wait::Until(2000, [&] { return form->lblTemp[0]->text() == QLatin1String("20.0"); })) << form->lblTemp[0]->text().toStdString();
}

TEST_F(MainWindowEntries, WrapLimitTakesEffectAtOnceAndReachesTheRegistryOnLeaving)
{
    closeMain();
    writeSetting(QStringLiteral("ZELLimit"), REG_DWORD, 540);
    frmMain *reopened = open();
    EXPECT_EQ(reopened->udLimits->value(), 540);
    key(reopened->udLimits, Qt::Key_Up);
    EXPECT_EQ(Module().settings.ZELLimit, 550);
    EXPECT_EQ(readSetting(QStringLiteral("ZELLimit")).toInt(), 540);
    leave(reopened->udLimits);
    EXPECT_EQ(readSetting(QStringLiteral("ZELLimit")).toInt(), 550);
}

TEST_F(MainWindowEntries, GotoBoxesTakeOnlyNumbers)
{
    struct Case { const char *before; const char *typed; const char *after; };
    const Case cases[] = {
        {"", "-", "-"},   {"5", "-", "5-"},       {"12", "-", "12"},     {"", "x1a.5", "1.5"},
        {"", "12\b3", "13"}, {"", "+1e5,", "15"}, {"-", "9 ", "-9"},
    };
    for (QLineEdit *box : {form->txtPosition, form->txtRotGOTO}) {
        for (const Case &c : cases) {
            box->setText(QString::fromLatin1(c.before));
            WidgetInput::type(box, QString::fromLatin1(c.typed));
            EXPECT_EQ(box->text(), QString::fromLatin1(c.after)) << box->objectName().toStdString() << " " << c.typed;
        }
    }
}
