#include "MainWindowFixture.h"

#include <QLineEdit>
#include <QRadioButton>

class MainWindowTimers : public MainWindowFixture
{
protected:
    // Only the ticks a test runs itself send anything.
    void quiet(frmMain *form)
    {
        form->Timer4.setEnabled(false);
        form->Timer6.setEnabled(false);
        ASSERT_TRUE(flushTo(QStringLiteral("START ")));
    }
};

TEST_F(MainWindowTimers, JogRepeatSendsTheStepAndStopsAtTheWrapLimit)
{
    frmMain *form = openQuiet();
    ModuleState &m = Module();
    m.settings.ZELLimit = 540;
    quiet(form);
    // A repeat decides on the link's record of the controller and every step sent since.
    sim.setSilent(false);
    ASSERT_TRUE(RotatorStatus::Ask(*Module().link.SharedSerial));
    struct Case { int16_t button; int32_t focusSteps; int32_t rotSteps; const char *rotText; bool other; const char *sent; };
    const Case cases[] = {
        {0, 25, 100, "", false, "m25 "},
        {1, 25, 100, "", false, "m-25 "},
        {3, 1, 50000, "", false, "q-22000 "}, // 250 degrees go the short way
        {2, 1, 50000, "", false, "q22000 "},
        {3, 1, 100, "12.25", true, "q2450 "},   // "Other" reads the text
    };
    for (const Case &c : cases) {
        form->JogButton = c.button;
        form->FocusJogSteps = c.focusSteps;
        form->RotJogSteps = c.rotSteps;
        form->txtRot->setText(QString::fromLatin1(c.rotText));
        form->optRot[c.other ? 4 : 0]->setChecked(true);
        sim.clearReceived();
        form->Timer1_Timer();
        ASSERT_TRUE(flushTo(QStringLiteral("MARK ")));
        EXPECT_EQ(sim.received(), QString::fromLatin1(c.sent) + QStringLiteral("MARK ")) << c.sent;
    }

    // Turning further into the wrap: the timer is off before the warning opens.
    form->optRot[0]->setChecked(true);
    form->RotJogSteps = 200;
    sim.setRotatorPosition(0);
    sim.setRotatorWrap(108000);
    m.rotator.LastWrap = 108000; // shown as it is: no limit crossing to stop
    ASSERT_TRUE(RotatorStatus::Ask(*Module().link.SharedSerial));
    form->JogButton = 3;
    form->Timer1.setEnabled(true);
    bool timerOnWhileShown = true;
    prompts.answer = [&](const MessageBoxRequest &) {
        timerOnWhileShown = form->Timer1.Enabled();
        return int(vbconst::vbOK);
    };
    sim.clearReceived();
    form->Timer1_Timer();
    ASSERT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(prompts.boxes[0].prompt, QStringLiteral("Warning:  Can not slew past wrap limit."));
    EXPECT_FALSE(timerOnWhileShown);
    ASSERT_TRUE(flushTo(QStringLiteral("MARK ")));
    EXPECT_EQ(sim.received(), QStringLiteral("MARK "));
}

TEST_F(MainWindowTimers, JogRepeatSpeedsUpAtTheFourthTick)
{
    frmMain *form = openQuiet();
    form->JogTicks = 0;
    form->Timer1.setInterval(300);
    for (int tick = 1; tick <= 4; ++tick) {
        form->Timer1_Timer();
        EXPECT_EQ(form->Timer1.Interval(), tick < 4 ? 300 : 50) << tick;
    }
}

TEST_F(MainWindowTimers, ReleaseTickWaitsForTheRotatorAndRepeatsPendingGotos)
{
    frmMain *form = openQuiet();
    ModuleState &m = Module();
    int focusGotos = 0;
    form->cmdGoto_Click = [&] { ++focusGotos; };
    form->FanModeHold = true;
    form->WrapLimitStopped = true;
    m.rotator.RotatorMovePending = true;
    m.rotator.RotatorMoving = true;
    form->FocusGotoPending = true;
    form->Timer3_Timer();
    EXPECT_FALSE(form->FanModeHold);
    EXPECT_FALSE(form->WrapLimitStopped);
    EXPECT_TRUE(form->Timer3.Enabled()); // re-armed while the rotator moves
    EXPECT_TRUE(form->FocusGotoPending);

    m.rotator.RotatorMoving = false;
    sim.setSilent(false); // the controller reports its home when asked
    form->Timer3_Timer();
    EXPECT_FALSE(m.rotator.RotatorMovePending);
    EXPECT_EQ(focusGotos, 1);
    EXPECT_TRUE(form->SkipSlewConfirm);

    sim.setRotatorHomed(false);
    form->RotGotoPending = true; // the rotator reports no home
    form->Timer3_Timer();
    ASSERT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("ORVA"));
    EXPECT_TRUE(prompts.boxes[0].prompt.startsWith(QStringLiteral("Warning:  You must first find the home position")));
}

TEST_F(MainWindowTimers, TemperaturePollYieldsOnlyToFasterConsumers)
{
    frmMain *form = openQuiet();
    quiet(form);
    form->SSTab1->setCurrentIndex(1);
    ModuleState::Tools &t = Module().tools;
    struct Case { bool logging; int32_t logInterval; bool graph; int32_t graphPeriod; bool sends; };
    const Case cases[] = {{false, 0, false, 0, true}, {true, 5, false, 0, true}, {true, 0, false, 0, false},
                          {true, 0, true, 1, true},    {false, 0, true, 0, false}};
    for (const Case &c : cases) {
        t.LoggingActive = c.logging;
        t.LogInterval = c.logInterval;
        t.GraphRunning = c.graph;
        t.GraphPeriod = c.graphPeriod;
        sim.clearReceived();
        form->Timer4_Timer();
        ASSERT_TRUE(flushTo(QStringLiteral("MARK ")));
        EXPECT_EQ(sim.received(), c.sends ? QStringLiteral(" T MARK ") : QStringLiteral("MARK ")) << c.logInterval;
    }
    t.LoggingActive = false;
    t.GraphRunning = false;
}
