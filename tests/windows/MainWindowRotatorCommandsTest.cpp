#include "MainWindowCommandsFixture.h"

#include "platform/Clock.h"
#include "support/WidgetInput.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace OperatorInput;

class MainWindowRotatorCommands : public MainWindowCommands
{
protected:
    void SetUp() override
    {
        MainWindowCommands::SetUp();
        ModuleState &m = Module();
        m.settings.ZELLimit = 540;
        m.settings.AutoReverse = 1;
        sim.setSilent(false); // nothing polls: only the windows' own " R " queries are answered
        controllerAt(0);
        answeredFor(); // no compensation
    }

    // The controller at `position` with its cable wrapped by `wrap` (and `toGo` steps still to
    // turn), and the link's record holding its answer.
    void controllerAt(int32_t position, int32_t wrap = 0, int32_t toGo = 0)
    {
        sim.setRotatorPosition(position);
        sim.setRotatorWrap(wrap);
        sim.setRotatorTarget(position + toGo);
        Module().rotator.LastWrap = wrap; // shown as it is: no limit crossing to stop
        ASSERT_TRUE(RotatorStatus::Ask(*Module().link.SharedSerial));
    }

};

TEST_F(MainWindowRotatorCommands, GotoTakesTheShortWayWithinTheWrapLimit)
{
    ModuleState &m = Module();
    // meanwhile: what another sender sends once the goto asked where the rotator is, answered late.
    struct Case { int32_t position; int32_t wrap; float offset; int16_t autoReverse; const char *entry; const char *sent; int32_t limit = 540; const char *meanwhile = nullptr; };
    const Case cases[] = {
        {0, 0, 0, 1, "90", "j18000 "},
        {0, 0, 0, 1, "270", "j-18000 "},
        {0, 0, 0, 1, "180", "j36000 "},        // half a turn keeps its direction
        {71999, 0, 0, 1, "180", "j-35999 "},   // one step more goes the other way
        {18000, 0, 0, 1, "0", "j-18000 "},
        {0, 0, 10, 1, "100", "j18000 "},       // the sky offset comes off first
        {0, 0, 0, 1, "810", "j18000 "},        // whole turns fold away
        {0, 100000, 0, 1, "50", "j-62000 "},   // 110000 is past 108000: the other way round
        {0, -100000, 0, 1, "-50", "j62000 "},
        {0, 108000, 0, 1, "-50", "j-10000 "},  // away from the limit
        {0, 98000, 0, 1, "50", "j10000 "},     // exactly at the limit is within it
        {0, 100000, 0, 0, "50", ""},           // refused
        {0, 0, 0, 1, "150", "", 100},          // past the limit either way round
        {0, 30000, 0, 1, "60", "", 100},       // the other way round would end 50 past the other side
        {0, 100000, 0, 0, "-100", "j-20000 ", 100}, // past it but unwinding
        {0, 0, 0, 1, "90", " R q0  R ", 540, "q0 "}, // halted while it waited: no move after the halt
    };
    for (const Case &c : cases) {
        m.settings.ZELLimit = c.limit;
        controllerAt(c.position, c.wrap);
        m.thesky.ZELOffset = c.offset;
        m.settings.AutoReverse = c.autoReverse;
        form->txtRotGOTO->setText(QString::fromLatin1(c.entry));
        const QMetaObject::Connection hook = c.meanwhile ? whileRotatorAsked(sim, c.meanwhile) : QMetaObject::Connection();
        EXPECT_EQ(sentBy([&] { form->cmdRotGOTO->click(); }), QString::fromLatin1(c.sent)) << c.entry << " " << c.wrap;
        QObject::disconnect(hook);
        sim.setAnswer('R', {});
        QStringList expected{QStringLiteral("Confirm slew?")};
        if (!*c.sent)
            expected << QStringLiteral("Warning:  Can not slew past wrap limit.");
        EXPECT_EQ(takeBoxes(), expected) << c.entry;
    }
}

TEST_F(MainWindowRotatorCommands, GotoRefusalsAndTheDelayedGoto)
{
    form->txtRotGOTO->setText(QStringLiteral("90"));
    prompts.answer = [](const MessageBoxRequest &) { return int(vbconst::vbCancel); };
    EXPECT_EQ(sentBy([&] { form->cmdRotGOTO->click(); }), QString());
    prompts.answer = nullptr;
    form->txtRotGOTO->setText(QStringLiteral("x"));
    EXPECT_EQ(sentBy([&] { form->cmdRotGOTO->click(); }), QString()); // beeps
    takeBoxes();

    // Not homed: home, then the goto runs by itself once the home report is in.
    sim.setRotatorHomed(false);
    controllerAt(0);
    form->txtRotGOTO->setText(QStringLiteral("90"));
    EXPECT_EQ(sentBy([&] { form->cmdRotGOTO->click(); }), QStringLiteral("H "));
    EXPECT_TRUE(form->RotGotoPending);
    EXPECT_EQ(form->Timer3.Interval(), 2000);
    sim.setRotatorHomed(true);
    controllerAt(0);
    EXPECT_EQ(sentBy([&] { form->Timer3_Timer(); }), QStringLiteral("j18000 "));
    EXPECT_EQ(takeBoxes(), QStringList{QStringLiteral("Confirm slew?")});

    form->mnuDisconnect_Click();
    form->SkipSlewConfirm = true;
    form->cmdRotGOTO->click();
    ASSERT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(prompts.boxes[0].prompt, QStringLiteral("Error:  The communications port is not open."));
    EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("ORVA"));
    EXPECT_FALSE(form->SkipSlewConfirm);
}

TEST_F(MainWindowRotatorCommands, StoredRotatorPositionGoesThereUnlessNew)
{
    Module().positions.RotatorPositions[1] = RotatorRecord{QStringLiteral("East"), 90};
    form->RotatorList().AddItem(QStringLiteral("East"));
    EXPECT_EQ(sentBy([&] { OperatorInput::choose(form->cmbRotStore, 1); }), QStringLiteral("j18000 "));
    EXPECT_EQ(form->txtRotGOTO->text(), QStringLiteral("90"));
    // Choosing the entry already shown is a choice too; after the move the goto asks where the
    // rotator is now.
    sim.setRotatorPosition(9000);
    EXPECT_EQ(sentBy([&] { OperatorInput::choose(form->cmbRotStore, 1); }), QStringLiteral(" R j9000 "));
    EXPECT_EQ(sentBy([&] { OperatorInput::choose(form->cmbRotStore, 0); }), QString());
    EXPECT_EQ(form->txtRotGOTO->text(), QStringLiteral("0"));
}

TEST_F(MainWindowRotatorCommands, StoredPositionListsChangeFromCodeWithoutAChoice)
{
    ModuleState::Positions &p = Module().positions;
    p.RotatorPositions[1] = RotatorRecord{QStringLiteral("East"), 90};
    p.RotatorPositions[2] = RotatorRecord{QStringLiteral("West"), 270};
    p.FocusPositions[1] = FocusRecord{QStringLiteral("Cold"), 5000, 0.0f};
    const auto items = [](QComboBox *list) {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->itemText(i);
        return texts;
    };
    const QString sent = sentBy([&] {
        form->RotatorList().AddItem(QStringLiteral("East"));
        form->RotatorList().AddItem(QStringLiteral("West"));
        form->cmbRotStore->setCurrentIndex(2);
        form->RotatorList().setList(2, QStringLiteral("Far west"));
        form->RotatorList().RemoveItem(1);
        form->RotatorList().RemoveItem(1); // the shown entry
        form->FocusList().AddItem(QStringLiteral("Cold"));
        form->Combo1->setCurrentIndex(1);
        form->FocusList().RemoveItem(1);
    });
    EXPECT_EQ(sent, QString());
    EXPECT_TRUE(prompts.boxes.isEmpty());
    EXPECT_EQ(items(form->cmbRotStore), QStringList{QStringLiteral("<new>")});
    EXPECT_EQ(items(form->Combo1), QStringList{QStringLiteral("<new>")});

    // Beyond the list: the list's own errors, nothing changed.
    for (const auto &call : std::initializer_list<std::function<void()>>{
             [&] { form->RotatorList().setList(2, QStringLiteral("x")); },
             [&] { form->FocusList().setList(-1, QStringLiteral("x")); },
             [&] { form->RotatorList().RemoveItem(1); }}) {
        EXPECT_THROW(call(), VbError);
    }
    EXPECT_EQ(form->cmbRotStore->count(), 1);
}

TEST_F(MainWindowRotatorCommands, HomeAsksAccordingToTheSkyFollow)
{
    const QString theSkyWarning = QStringLiteral(
        "Warning:  Homing while connected to TheSky will cause loss of TheSky/ZEL synchronization.  Do you want to "
        "continue?");
    struct Case { bool theSky; int answer; const char *sent; QString question; };
    const Case cases[] = {
        {false, vbconst::vbOK, "r ", QStringLiteral("Confirm Rotate HOME")},
        {true, vbconst::vbOK, "r ", theSkyWarning},
        {true, vbconst::vbCancel, "", theSkyWarning},
    };
    for (const Case &c : cases) {
        form->chkConnectTheSky->setChecked(c.theSky);
        prompts.answer = [&](const MessageBoxRequest &) { return c.answer; };
        EXPECT_EQ(sentBy([&] { form->cmdRotHome->click(); }), QString::fromLatin1(c.sent));
        ASSERT_EQ(prompts.boxes.size(), 1);
        EXPECT_EQ(prompts.boxes[0].prompt, c.question);
        EXPECT_EQ(prompts.boxes[0].buttons, vbconst::vbOKCancel | vbconst::vbQuestion);
        prompts.boxes.clear();
    }
}

TEST_F(MainWindowRotatorCommands, UnwrapFullyOrByOneTurn)
{
    const QString smallWrap = QStringLiteral(
        "The current wrap is less than 180 degrees.  Unwrapping by 360 degrees will result in a greater wrap.  Do you "
        "wish to continue?");
    // clientCommand: sent by another client while the question is open, the wrap then wrapWhileAsked.
    struct Case { int32_t wrap; const char *button; bool full; int answer; const char *sent; bool asked; int32_t limit = 540; int32_t wrapWhileAsked = 0; const char *clientCommand = "j-76000 "; bool closes = false; };
    const Case cases[] = {
        {40000, "cmdOK", true, vbconst::vbOK, " j-40000 ", false},
        {-40000, "cmdOK", true, vbconst::vbOK, " j40000 ", false},
        {36000, "cmdOK", false, vbconst::vbOK, " j-72000 ", true},
        {36000, "cmdOK", false, vbconst::vbCancel, "", true},
        {36001, "cmdOK", false, vbconst::vbOK, " j-72000 ", false},
        {0, "cmdOK", false, vbconst::vbOK, " j72000 ", true},
        {-50000, "cmdOK", false, vbconst::vbOK, " j72000 ", false},
        {40000, "cmdCancel", true, vbconst::vbOK, "", false},
        {0, "cmdOK", false, vbconst::vbOK, "", true, 100}, // a turn would end past the limit
        {36000, "cmdOK", false, vbconst::vbOK, "j-76000  R  j72000 ", true, 540, -40000}, // a client's move meanwhile
        {36000, "cmdOK", false, vbconst::vbOK, "q0  R ", true, 540, 36000, "q0 "}, // a client's halt: no unwrap after it
        {36000, "cmdOK", false, vbconst::vbOK, "", true, 540, 0, "", true}, // the window closed meanwhile (last: it goes)
    };
    for (const Case &c : cases) {
        Module().settings.ZELLimit = c.limit;
        controllerAt(0, c.wrap);
        prompts.answer = [&](const MessageBoxRequest &) {
            if (c.wrapWhileAsked && Module().link.SharedSerial->Transmit(QString::fromLatin1(c.clientCommand)) == Serial::SendResult::Sent)
                controllerAt(0, c.wrapWhileAsked);
            if (c.closes)
                form->close();
            return c.answer;
        };
        WidgetInput::whenModal([&](QWidget *unwrap) {
            unwrap->findChild<QRadioButton *>(QString::fromLatin1(c.full ? "Option1" : "Option2"))->setChecked(true);
            WidgetInput::click(unwrap, c.button);
        });
        EXPECT_EQ(sentBy([&] { form->cmdUnwrap->click(); }), QString::fromLatin1(c.sent)) << c.wrap;
        EXPECT_EQ(takeBoxes(), QStringList(c.asked, smallWrap) + QStringList(c.limit != 540, QStringLiteral("Warning:  Can not slew past wrap limit.")))
            << c.wrap;
    }
}

TEST_F(MainWindowRotatorCommands, JogPressMovesOnceAndStartsTheRepeat)
{
    ModuleState &m = Module();
    // The repeat runs on unless the press was refused or met the wrap limit.
    // target: where the controller is still turning to, in steps from its position.
    // meanwhile: another sender's, while the press waits for the controller's answer.
    struct Case { int button; int32_t rotSteps; const char *custom; int32_t wrap; int32_t target; int16_t autoReverse; const char *sent; bool repeats; const char *message; const char *meanwhile = nullptr; };
    const Case cases[] = {
        {0, 100, nullptr, 0, 0, 1, "m25 ", true, nullptr},
        {1, 100, nullptr, 0, 0, 1, "m-25 ", true, nullptr},
        {3, 1000, nullptr, 0, 0, 1, "j1000 ", true, nullptr},
        {2, 1000, nullptr, 0, 0, 1, "j-1000 ", true, nullptr},
        {3, 0, "200", 0, 0, 1, "j-32000 ", true, nullptr},   // 200 degrees go the short way
        {2, 0, "200", 0, 0, 1, "j32000 ", true, nullptr},
        {3, 0, "12.25", 0, 0, 1, "j2450 ", true, nullptr},
        {3, 200, nullptr, 108000, 0, 1, "j-71800 ", false, nullptr}, // into the limit: the other way round
        {3, 200, nullptr, -108400, 0, 1, "j200 ", true, nullptr},    // past the limit, unwinding
        {2, 200, nullptr, -108000, 0, 1, "j71800 ", false, nullptr},
        {2, 200, nullptr, 108400, 0, 1, "j-200 ", true, nullptr},
        {3, 200, nullptr, 108000, 0, 0, "", false, "Warning:  Can not slew past wrap limit."},
        // 45 degrees on, from 5 degrees short of the limit and still turning half a degree back.
        {3, 9000, nullptr, 104900, -100, 0, "", false, "Warning:  Can not slew past wrap limit."},
        {3, 0, "360", 0, 0, 1, "", false, "Step size must be less than 360 degrees and positive."},
        {2, 0, "0", 0, 0, 1, "", false, "Step size must be less than 360 degrees and positive."},
        {2, 0, "-5", 0, 0, 1, "", false, "Step size must be less than 360 degrees and positive."},
        {3, 0, "abc", 0, 0, 1, "", false, "Invalid value for rotator step size."},
        {3, 1000, nullptr, 0, 0, 1, " R q0  R ", false, nullptr, "q0 "}, // halted meanwhile: no step after it
    };
    form->FocusJogSteps = 25;
    sim.setRotatorSpeed(1); // a turn under way goes on while the press decides
    for (const Case &c : cases) {
        form->optRot[c.custom ? 4 : 0]->setChecked(true);
        form->txtRot->setText(QString::fromLatin1(c.custom ? c.custom : ""));
        form->RotJogSteps = c.rotSteps;
        controllerAt(36000, c.wrap, c.target);
        m.settings.AutoReverse = c.autoReverse;
        form->JogTicks = 9;
        QPushButton *button = form->Command1[c.button];
        const QMetaObject::Connection hook = c.meanwhile ? whileRotatorAsked(sim, c.meanwhile) : QMetaObject::Connection();
        EXPECT_EQ(sentBy([&] { press(button); }), QString::fromLatin1(c.sent)) << c.button << " " << c.sent;
        QObject::disconnect(hook);
        sim.setAnswer('R', {});
        EXPECT_EQ(takeBoxes(), c.message ? QStringList{QString::fromLatin1(c.message)} : QStringList()) << c.sent;
        EXPECT_EQ(form->Timer1.Enabled(), c.repeats) << c.sent;
        if (*c.sent) {
            EXPECT_EQ(form->JogButton, c.button);
            EXPECT_EQ(form->JogTicks, 0);
        }
        release(button);
        EXPECT_FALSE(form->Timer1.Enabled());
    }
}

TEST_F(MainWindowRotatorCommands, JogGuardsShowOnlyTheFirstRefusal)
{
    struct Case { int button; bool forceOff; int16_t mode; bool portOpen; const char *message; };
    const Case cases[] = {
        {2, true, 0, false, "FORCE MOTOR OFF is checked.  Please uncheck to move motor."},
        {0, false, 1, true, "Temperature compensation is active.  Focus movement is disabled."},
        {3, false, 1, false, "Error:  The communications port is not open."},
        {3, false, 1, true, nullptr},
    };
    form->optRot[0]->setChecked(true);
    for (const Case &c : cases) {
        setGuards(c.forceOff, c.mode, c.portOpen);
        press(form->Command1[c.button]);
        EXPECT_EQ(takeBoxes(), c.message ? QStringList{QString::fromLatin1(c.message)} : QStringList());
        EXPECT_EQ(form->Timer1.Enabled(), c.message == nullptr);
        release(form->Command1[c.button]);
    }
}

// Holding a jog button: the press moves, then repeats at 300, 600, 900 and 1200 ms, then
// every 50 ms.
TEST_F(MainWindowRotatorCommands, HeldJogRepeatsSlowlyThenFast)
{
    form->Timer1.setInterval(50); // as a previous long hold leaves it
    form->FocusJogSteps = 1;
    sim.clearReceived();
    press(form->Command1[1]);
    QList<int64_t> arrivals;
    ASSERT_TRUE(Wait::Until(3000, [&] {
        while (sim.received().count(QStringLiteral("m-1 ")) > arrivals.size())
            arrivals << Clock::Now();
        return arrivals.size() >= 7;
    }));
    release(form->Command1[1]);
    for (int i = 1; i <= 4; ++i)
        EXPECT_GE(arrivals[i] - arrivals[i - 1], 250) << i;
    EXPECT_LT(arrivals[6] - arrivals[4], 250);
    EXPECT_EQ(form->Timer1.Interval(), 50);

    // 45 degrees held 2 s on a slow rotator: the repeats stop with the wrap box before the
    // steps sent take the cable past the limit, however far behind the rotator is.
    sim.setRotatorSpeed(100);
    form->optRot[4]->setChecked(true);
    form->txtRot->setText(QStringLiteral("45"));
    EXPECT_EQ(sentBy([&] {
                  press(form->Command1[3]);
                  Wait::For(2000);
                  release(form->Command1[3]);
              }),
              QStringLiteral("j9000 ") + QStringLiteral("q9000 ").repeated(11));
    EXPECT_EQ(takeBoxes(), QStringList{QStringLiteral("Warning:  Can not slew past wrap limit.")});
    ASSERT_TRUE(Wait::Until(20000, [&] { return !sim.rotatorMoving(); }));
    EXPECT_EQ(sim.rotatorWrap(), 108000);
}

TEST_F(MainWindowRotatorCommands, JogRepeatEndsWhenThePointerIsUpWithoutARelease)
{
    form->FocusJogSteps = 1;
    sim.clearReceived();
    press(form->Command1[0]); // the first step at once
    ASSERT_TRUE(form->Timer1.Enabled());
    // The release went to a box that did not take the focus: the button never saw it.
    WindowRules::PointerButtons = [] { return Qt::MouseButtons(); };
    EXPECT_TRUE(Wait::Until(1000, [&] { return !form->Timer1.Enabled(); }));
    Wait::For(100);
    EXPECT_EQ(sim.received(), QStringLiteral("m1 "));
}
