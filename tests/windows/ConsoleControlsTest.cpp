#include "ConsoleFixture.h"

#include "platform/Clock.h"

class ConsoleControls : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        Module().settings.ZELLimit = 540;
        Module().settings.AutoReverse = 1;
    }

    // The controller answers, standing at 0 with its cable wrapped by `wrap`, and the link's
    // record holds its answer.
    void rotatorAt(int32_t wrap)
    {
        sim.setSilent(false);
        sim.setRotatorPosition(0);
        sim.setRotatorWrap(wrap);
        Module().rotator.LastWrap = wrap; // shown as it is: no limit crossing to stop
        ASSERT_TRUE(RotatorStatus::Ask(*Module().link.SharedSerial));
        sent();
    }

    // The focuser's status answer, its motor forced off or not, in the link's record.
    void focuserAt(bool forcedOff)
    {
        sim.setMotorForcedOff(forcedOff);
        answered(sim, QStringLiteral(" Q "));
        sent();
    }
};

TEST_F(ConsoleControls, HoldingRotateCcwRepeatsAt300msThenEvery50ms)
{
    Module().settings.RotateStep = 1; // 1 degree
    open();
    rotatorAt(0);
    QPushButton *ccw = form->cmdMove[2];
    EXPECT_EQ(ccw->toolTip(), QStringLiteral("Rotate CCW"));
    EXPECT_EQ(form->cmdMove[3]->toolTip(), QStringLiteral("Rotate CW"));

    QList<int64_t> repeats;
    const int64_t start = Clock::Now();
    QObject::connect(&sim, &ControllerSimulator::commandReceived, &sim, [&](const QString &command) {
        if (command == QLatin1String("q200"))
            repeats << Clock::Now() - start;
    });
    press(ccw);
    ASSERT_TRUE(Wait::Until(3000, [&] { return repeats.size() >= 8; }));
    release(ccw);
    EXPECT_FALSE(form->Timer1.Enabled());
    EXPECT_TRUE(sent().startsWith(QStringLiteral("j200 q200 q200 ")));

    // Ticks at 300, 600, 900 and 1200 ms, then every 50 ms (arrivals are a little late).
    const int64_t expected[] = {300, 600, 900, 1200, 1250, 1300, 1350, 1400};
    for (int i = 0; i < 8; ++i) {
        EXPECT_GE(repeats[i], expected[i]) << i;
        EXPECT_LT(repeats[i], expected[i] + 60) << i;
    }
}

TEST_F(ConsoleControls, JogStepsAtThePressAndOnRepeat)
{
    // meanwhile: another sender's, while the press waits for the controller's answer.
    struct Case { int16_t focusStep; int16_t rotateStep; const char *option; int button; const char *press; const char *repeat; const char *meanwhile = nullptr; };
    const Case cases[] = {
        {2, 0, "0", 1, "m-25 ", "m-25 "},
        {3, 0, "0", 0, "m100 ", "m100 "},
        {0, 4, "180", 3, "j-36000 ", "q36000 "}, // half a turn: the repeat folds it, the press does not
        {0, 4, "180", 2, "j36000 ", "q36000 "},
        {0, 4, "270", 2, "j-18000 ", "q-18000 "},
        {0, 3, "0", 3, "j-9000 ", "q-9000 "},
        {0, 0, "0", 2, "j100 ", "q100 "},
        {0, 4, "-45", 2, "j100 ", "q100 "}, // a refused custom step is not taken: no turn the other way
        {0, 0, "0", 2, " R q0  R ", "", "q0 "}, // halted meanwhile: no step after it, no repeat
    };
    for (const Case &c : cases) {
        Module().settings.FocusStep = c.focusStep;
        Module().settings.RotateStep = c.rotateStep;
        Module().settings.RotateStepOption = QString::fromLatin1(c.option);
        open();
        rotatorAt(0);
        focuserAt(false);
        const QMetaObject::Connection hook = c.meanwhile ? whileRotatorAsked(sim, c.meanwhile) : QMetaObject::Connection();
        press(form->cmdMove[c.button]);
        QObject::disconnect(hook);
        sim.setAnswer('R', {});
        EXPECT_EQ(form->Timer1.Enabled(), !c.meanwhile) << c.press;
        if (!c.meanwhile) {
            form->Timer1_Timer();
            form->Timer1_Timer();
        }
        release(form->cmdMove[c.button]);
        EXPECT_EQ(sent(), QString::fromLatin1(c.press) + c.repeat + c.repeat) << c.press;
        closeWindows();
    }
}

TEST_F(ConsoleControls, TheWrapGuardRefusesOrTurnsTheOtherWay)
{
    ModuleState &m = Module();
    m.settings.RotateStep = 2; // 5 degrees, 1000 steps
    open();
    rotatorAt(107500);

    // AutoReverse: one step the other way round, no repeat.
    press(form->cmdMove[2]);
    release(form->cmdMove[2]);
    EXPECT_EQ(sent(), QStringLiteral("j-71000 "));
    EXPECT_TRUE(prompts.boxes.isEmpty());

    rotatorAt(-107500);
    press(form->cmdMove[3]);
    EXPECT_FALSE(form->Timer1.Enabled());
    release(form->cmdMove[3]);
    EXPECT_EQ(sent(), QStringLiteral("j71000 "));

    // Without it: the warning, nothing sent.
    m.settings.AutoReverse = 0;
    rotatorAt(-107500);
    press(form->cmdMove[3]);
    EXPECT_FALSE(form->Timer1.Enabled());
    release(form->cmdMove[3]);
    ASSERT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(prompts.boxes[0].prompt, QStringLiteral("Warning:  Can not slew past wrap limit."));
    EXPECT_EQ(prompts.boxes[0].buttons, vbconst::vbExclamation);
    EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("VKM"));
    EXPECT_EQ(sent(), QString());

    // The repeat at the limit stops before its warning opens, whatever AutoReverse says: the
    // press's step counts before any report shows it.
    m.settings.AutoReverse = 1;
    rotatorAt(106500);
    press(form->cmdMove[2]);
    EXPECT_TRUE(form->Timer1.Enabled());
    bool timerOnWhileShown = true;
    prompts.answer = [&](const MessageBoxRequest &) {
        timerOnWhileShown = form->Timer1.Enabled();
        return int(vbconst::vbOK);
    };
    form->Timer1_Timer();
    EXPECT_FALSE(timerOnWhileShown);
    EXPECT_EQ(prompts.boxes.size(), 2);
    release(form->cmdMove[2]);
    EXPECT_EQ(sent(), QStringLiteral("j1000 "));
}

TEST_F(ConsoleControls, TheForcedOffQuestionComesBeforeAnyStepOrRepeat)
{
    // meanwhile: another client's command while the box is open.
    struct Case { int answer; bool stillHeld; const char *sent; bool repeats; const char *meanwhile = nullptr; };
    const Case cases[] = {
        {vbconst::vbOK, true, "U0 m10 ", true},
        {vbconst::vbOK, false, "U0 m10 ", false}, // let go while the box was open
        {vbconst::vbCancel, true, "", false},
        {vbconst::vbOK, true, "S ", false, "S "}, // the focuser halted meanwhile: no step after it
    };
    Module().settings.FocusStep = 1;
    open();
    for (const Case &c : cases) {
        focuserAt(true);
        WindowRules::PointerButtons = [&] { return c.stillHeld ? Qt::MouseButtons(Qt::LeftButton) : Qt::MouseButtons(); };
        bool timerOnWhileAsked = true;
        prompts.answer = [&](const MessageBoxRequest &) {
            timerOnWhileAsked = form->Timer1.Enabled();
            if (c.meanwhile)
                Module().link.SharedSerial->Transmit(QString::fromLatin1(c.meanwhile));
            return c.answer;
        };
        prompts.boxes.clear();
        press(form->cmdMove[0]);
        ASSERT_EQ(prompts.boxes.size(), 1);
        EXPECT_EQ(prompts.boxes[0].prompt,
                  QStringLiteral("The focus motor is in a 'Forced Off' state.  Would you like to enable?"));
        EXPECT_EQ(prompts.boxes[0].buttons, vbconst::vbOKCancel | vbconst::vbQuestion);
        EXPECT_FALSE(timerOnWhileAsked);
        EXPECT_EQ(form->Timer1.Enabled(), c.repeats) << c.sent;
        EXPECT_EQ(Module().focuser.ForceMotorOff, c.answer == vbconst::vbCancel || c.meanwhile);
        release(form->cmdMove[0]);
        EXPECT_EQ(sent(), QString::fromLatin1(c.sent));
    }

    // A release lost to the box: the next tick finds the pointer up and ends the repeat.
    focuserAt(false);
    prompts.answer = nullptr;
    WindowRules::PointerButtons = [] { return Qt::MouseButtons(Qt::LeftButton); };
    press(form->cmdMove[1]);
    ASSERT_TRUE(form->Timer1.Enabled());
    WindowRules::PointerButtons = [] { return Qt::MouseButtons(); };
    form->Timer1_Timer();
    EXPECT_FALSE(form->Timer1.Enabled());
    EXPECT_EQ(sent(), QStringLiteral("m-10 "));
}

TEST_F(ConsoleControls, PortClosedShowsEachHandlersMessageAndSendsNothing)
{
    open(false);
    feed({":d1 50 :fm 2 "}); // dew heater 1 runs at 50
    struct Case { std::function<void()> act; const char *message; };
    const Case cases[] = {
        {[&] { form->cmdFocusHome->click(); }, "Port not open."},
        {[&] { form->cmdRotateStop->click(); }, "Port not open."},
        {[&] { press(form->cmdMove[1]); }, "Error:  The communications port is not open."},
        {[&] { click(form->UpDown2); }, "Error:  The communications port is not open."},
        {[&] { click(form->chkDew1); }, "Error:  The communications port is not open."},
        {[&] { click(form->optFan[0]); }, "Error:  The communications port is not open."},
    };
    for (const Case &c : cases) {
        prompts.boxes.clear();
        c.act();
        ASSERT_EQ(prompts.boxes.size(), 1) << c.message;
        EXPECT_EQ(prompts.boxes[0].prompt, QString::fromLatin1(c.message));
        EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("ORVA"));
        EXPECT_EQ(prompts.boxes[0].buttons, vbconst::vbExclamation);
        EXPECT_TRUE(form->chkDew1->isChecked() && form->UpDown5->value() == 50 && form->UpDown5->isEnabled() // no control changes
                    && form->UpDown2->value() == 0 && form->optFan[2]->isChecked()) << c.message;
    }
    EXPECT_FALSE(form->Timer1.Enabled());
}

TEST_F(ConsoleControls, HomeAndStopButtons)
{
    open();
    // meanwhile: another client's command while the question is open.
    struct Case { QPushButton *button; int answer; const char *question; const char *sent; bool upload = false; const char *meanwhile = nullptr; };
    const Case cases[] = {
        {form->cmdFocusHome, vbconst::vbOK, "Confirm move focus HOME?", "h"},
        {form->cmdFocusHome, vbconst::vbOK, "Confirm move focus HOME?", "", true},
        {form->cmdRotateStop, vbconst::vbOK, nullptr, "", true},
        {form->cmdFocusHome, vbconst::vbCancel, "Confirm move focus HOME?", ""},
        {form->cmdRotateHome, vbconst::vbOK, "Confirm Rotate HOME", "r "},
        {form->cmdRotateHome, vbconst::vbCancel, "Confirm Rotate HOME", ""},
        {form->cmdFocusStop, vbconst::vbOK, nullptr, "S "},
        {form->cmdRotateStop, vbconst::vbOK, nullptr, "q0 "},
        {form->cmdRotateHome, vbconst::vbOK, "Confirm Rotate HOME", "q0 ", false, "q0 "}, // halted meanwhile
        {form->cmdFocusHome, vbconst::vbOK, "Confirm move focus HOME?", "S ", false, "S "},
        {form->cmdRotateHome, vbconst::vbOK, "Confirm Rotate HOME", "S r ", false, "S "}, // the other device's halt
    };
    for (const Case &c : cases) {
        prompts.boxes.clear();
        prompts.answer = [&](const MessageBoxRequest &) {
            if (c.meanwhile)
                Module().link.SharedSerial->Transmit(QString::fromLatin1(c.meanwhile));
            return c.answer;
        };
        Module().tools.FlashInProgress = c.upload;
        c.button->click();
        Module().tools.FlashInProgress = false;
        EXPECT_EQ(prompts.boxes.size(), (c.question ? 1 : 0) + (c.upload ? 1 : 0)) << c.sent;
        if (c.question) {
            EXPECT_EQ(prompts.boxes[0].prompt, QString::fromLatin1(c.question));
            EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("VKM"));
        }
        if (c.upload) {
            EXPECT_EQ(prompts.boxes.last().prompt, QStringLiteral("Error:  A firmware upload is in progress."));
        }
        EXPECT_EQ(sent(), QString::fromLatin1(c.sent));
    }
}

// The console closes while its question is up: the confirmed command goes nowhere.
TEST_F(ConsoleControls, ACommandConfirmedAfterTheConsoleClosedSendsNothing)
{
    const std::function<void(frmConsole *)> presses[] = {
        [](frmConsole *f) { f->cmdFocusHome->click(); },
        [this](frmConsole *f) {
            focuserAt(true); // the focus jog asks first
            ConsoleFixture::press(f->cmdMove[0]);
        },
    };
    for (const auto &pressOn : presses) {
        open();
        QPointer<frmConsole> console = form;
        prompts.boxes.clear();
        prompts.answer = [&](const MessageBoxRequest &) {
            console->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return int(vbconst::vbOK);
        };
        pressOn(form);
        EXPECT_TRUE(console.isNull() || console->isUnloaded());
        EXPECT_EQ(prompts.boxes.size(), 1);
        prompts.answer = nullptr;
        EXPECT_EQ(sent(), QString());
    }
}

TEST_F(ConsoleControls, SpinnersAndModeButtonsSendOnlyWhenWorked)
{
    open();
    // Reports, and another sender's manual 90 % among them, send nothing, before and after the operator worked a control.
    const auto reportsSendNothing = [&] {
        for (const char *r : {":fs 40 :ss 30 ", ":fm 1 :sm 1 ", ":fm 0 :sm 0 ", ":fm 0 :fs 90 ", ":fm 2 :sm 2 :fs 0 :ss 0 "})
            EXPECT_EQ((feed({QString::fromLatin1(r)}), sent()), QString()) << r;
    };
    reportsSendNothing();

    // On a page the reports filled, the operator's first click on a mode sends it.
    struct First { int tab; const char *reports; QRadioButton *button; const char *sends; };
    const First firsts[] = {{2, ":fm 0 :fs 40 ", form->optFan[2], "n2 "}, {3, ":sm 0 :ss 30 ", form->optSec[2], "w2 "},
                            {2, ":fm 1 :fs 0 ", form->optFan[2], "n2 "}};
    for (const First &f : firsts) {
        form->TabStrip1->setCurrentIndex(f.tab);
        feed({QString::fromLatin1(f.reports)});
        EXPECT_EQ((click(f.button), sent()), QString::fromLatin1(f.sends)) << f.reports;
        form->Timer3_Timer(); // the hold ends
    }

    // Moving the fan spinner sends with a leading blank.
    form->TabStrip1->setCurrentIndex(2);
    press(form->UpDown2);
    form->UpDown2->setValue(40);
    form->UpDown2->setValue(50);
    release(form->UpDown2);
    EXPECT_EQ(sent(), QStringLiteral(" y40  y50 "));
    EXPECT_EQ(form->lblFanPower->text(), QStringLiteral("50"));
    form->Timer3_Timer(); // the hold ends

    click(form->optFan[1]);
    click(form->optFan[2]);
    form->Timer3_Timer();
    form->UpDown2->setValue(40); // not held: no command
    click(form->optFan[0]);
    EXPECT_EQ(sent(), QStringLiteral("n1 n2 y40 "));
    form->Timer3_Timer();
    reportsSendNothing();

    form->TabStrip1->setCurrentIndex(3);
    press(form->UpDown4);
    form->UpDown4->setValue(30);
    release(form->UpDown4);
    form->Timer3_Timer();
    click(form->optSec[0]);
    click(form->optSec[1]);
    click(form->optSec[2]);
    EXPECT_EQ(sent(), QStringLiteral(" s30 s30 w1 w2 "));

    // Unticking dew heater 1 with the mouse sends its power of 0 and locks its spinner.
    form->TabStrip1->setCurrentIndex(4);
    feed({":d1 30 :d2 60 "});
    ASSERT_TRUE(form->chkDew1->isChecked());
    press(form->chkDew1);
    release(form->chkDew1);
    EXPECT_FALSE(form->chkDew1->isChecked());
    EXPECT_EQ(form->UpDown5->value(), 0);
    EXPECT_FALSE(form->UpDown5->isEnabled());
    press(form->chkDew2);
    release(form->chkDew2);
    EXPECT_EQ(sent(), QStringLiteral(" c0  k0 "));
    // The spinners' release lets the reports in again one second later.
    ASSERT_TRUE(Wait::Until(3000, [&] { return !form->Dew1Hold && !form->FanHold; }));
}

TEST_F(ConsoleControls, StepSpinnersSetIncrementsAndTheStoredIndexes)
{
    Module().settings.RotateStepOption = QStringLiteral("12.5");
    open();
    struct Case { int focus; int rotate; int16_t focusIncrement; const char *focusLabel; int32_t rotateIncrement; const char *rotateLabel; };
    const Case cases[] = {{0, 0, 1, "1", 100, "0.5"}, {1, 1, 10, "10", 200, "1.0"}, {2, 2, 25, "25", 1000, "5.0"},
                          {3, 3, 100, "100", 9000, "45.0"}, {3, 4, 100, "100", 2500, "12.5"}};
    for (const Case &c : cases) {
        form->UpDown1->setValue(c.focus);
        form->UpDown3->setValue(c.rotate);
        EXPECT_EQ(form->FocusIncrement, c.focusIncrement);
        EXPECT_EQ(form->lblfocusIncrement->text(), QString::fromLatin1(c.focusLabel));
        EXPECT_EQ(form->RotateIncrement, c.rotateIncrement);
        EXPECT_EQ(form->lblRotateIncrement->text(), QString::fromLatin1(c.rotateLabel));
        EXPECT_EQ(Module().settings.FocusStep, c.focus);
        EXPECT_EQ(Module().settings.RotateStep, c.rotate);
    }
}

TEST_F(ConsoleControls, ThePollAsksForTheVisibleTab)
{
    open();
    const char *expected[] = {" Q ", " R  d0 ", " T ", " T ", " T "};
    for (int tab = 0; tab < 5; ++tab) {
        form->TabStrip1->setCurrentIndex(tab);
        EXPECT_TRUE(form->conTab[tab]->isVisible());
        EXPECT_EQ(Module().rotator.RotatorTabShown, tab == 1);
        form->Timer2_Timer();
        EXPECT_EQ(sent(), QString::fromLatin1(expected[tab])) << tab;
    }
    Module().link.SharedSerial->setConnected(false);
    form->Timer2_Timer();
    EXPECT_TRUE(prompts.boxes.isEmpty());
}

TEST_F(ConsoleControls, PinAndUnpin)
{
    open();
    EXPECT_TRUE(form->Pinned);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form->cmdPin->toolTip(), QStringLiteral("Unpin Window"));
    EXPECT_EQ(form->cmdShowMain->toolTip(), QStringLiteral("Show full application "));
    form->cmdPin->trigger();
    EXPECT_FALSE(form->Pinned);
    EXPECT_FALSE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form->cmdPin->toolTip(), QStringLiteral("Pin Window"));
    EXPECT_EQ(form->cmdPin->property("Image").toInt(), 3);
    EXPECT_TRUE(form->isVisible());
    form->cmdPin->trigger();
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form->cmdPin->toolTip(), QStringLiteral("Unpin Window"));
    EXPECT_EQ(form->cmdPin->property("Image").toInt(), 2);
}
