#include "MainWindowCommandsFixture.h"

#include "support/WidgetInput.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

using namespace OperatorInput;

using MainWindowFocusCommands = MainWindowCommands;

namespace {

const QString ForceMotorMessage = QStringLiteral("FORCE MOTOR OFF is checked.  Please uncheck to move motor.");
const QString CompensationMessage = QStringLiteral("Temperature compensation is active.  Focus movement is disabled.");
const QString PortMessage = QStringLiteral("Error:  The communications port is not open.");

} // namespace

TEST_F(MainWindowFocusCommands, GotoGuardsShowOnlyTheFirstRefusal)
{
    // halt: another client's, while the goto asks the controller's mode.
    struct Case { bool forceOff; int16_t mode; bool portOpen; QString message; int icon; const char *title; const char *clientMode = nullptr; const char *halt = nullptr; };
    const Case cases[] = {
        {true, 1, false, ForceMotorMessage, vbconst::vbInformation, "VKM"},
        {false, 2, true, CompensationMessage, vbconst::vbInformation, "VKM"},
        {false, 2, false, PortMessage, vbconst::vbExclamation, "ORVA"}, // the record knows nothing of a closed port
        {false, 0, true, CompensationMessage, vbconst::vbInformation, "VKM", " +1 "}, // a client's mode after the last report
        {false, 0, true, QString(), 0, "", " +0 ", "S "}, // halted meanwhile: no box, nothing left to skip
    };
    form->txtPosition->setText(QStringLiteral("100"));
    for (const Case &c : cases) {
        setGuards(c.forceOff, c.mode, c.portOpen);
        sim.setSilent(!c.clientMode);
        if (c.clientMode)
            Module().link.SharedSerial->Transmit(QString::fromLatin1(c.clientMode));
        form->SkipSlewConfirm = true;
        const QMetaObject::Connection hook = !c.halt ? QMetaObject::Connection()
            : QObject::connect(&sim, &ControllerSimulator::commandReceived, [&c](const QString &command) {
                  if (command == QLatin1String("Q"))
                      Module().link.SharedSerial->Transmit(QString::fromLatin1(c.halt));
              });
        form->cmdGoto->click();
        QObject::disconnect(hook);
        sim.setSilent(true);
        EXPECT_FALSE(form->SkipSlewConfirm) << "a refused goto leaves no skipped question behind";
        if (c.halt) {
            EXPECT_TRUE(prompts.boxes.isEmpty());
            continue;
        }
        ASSERT_EQ(prompts.boxes.size(), 1);
        EXPECT_EQ(prompts.boxes[0].prompt, c.message);
        EXPECT_EQ(prompts.boxes[0].buttons, c.icon);
        EXPECT_EQ(prompts.boxes[0].title, QString::fromLatin1(c.title));
        prompts.boxes.clear();
    }
}

TEST_F(MainWindowFocusCommands, GotoSendsTheWholeStepsBelowTheEntry)
{
    answeredFor();
    struct Case { const char *entry; const char *sent; };
    const Case cases[] = {{"1234.9", "b1234 "}, {"-5.5", "b-6 "}, {"-5", "b-5 "}, {"abc", ""}};
    for (const Case &c : cases) {
        form->txtPosition->setText(QString::fromLatin1(c.entry));
        EXPECT_EQ(sentBy([&] { form->cmdGoto->click(); }), QString::fromLatin1(c.sent)) << c.entry;
        ASSERT_EQ(prompts.boxes.size(), 1);
        EXPECT_EQ(prompts.boxes[0].prompt, QStringLiteral("Confirm slew?"));
        EXPECT_EQ(prompts.boxes[0].buttons, vbconst::vbOKCancel | vbconst::vbQuestion);
        prompts.boxes.clear();
    }
    prompts.answer = [](const MessageBoxRequest &) { return int(vbconst::vbCancel); };
    form->txtPosition->setText(QStringLiteral("10"));
    EXPECT_EQ(sentBy([&] { form->cmdGoto->click(); }), QString());
}

TEST_F(MainWindowFocusCommands, GotoBeforeTheHomeReportHomesAndRepeatsWithoutAsking)
{
    // meanwhile: another client's command between the home and the repeat.
    struct Case { const char *meanwhile; const char *repeated; QStringList boxes; };
    const Case cases[] = {
        {nullptr, "b100 ", {QStringLiteral("Confirm slew?")}}, // only the first press asked
        {"S ", "", {QStringLiteral("Confirm slew?"),
                    QStringLiteral("The home was sent; the goto after it stopped: the focuser was halted meanwhile.")}},
    };
    for (const Case &c : cases) {
        sim.setFocuserHomed(false);
        answeredFor();
        form->txtPosition->setText(QStringLiteral("100"));
        EXPECT_EQ(sentBy([&] { form->cmdGoto->click(); }), QStringLiteral("o "));
        EXPECT_TRUE(form->FocusGotoPending);
        EXPECT_TRUE(form->Timer3.Enabled());
        EXPECT_EQ(form->Timer3.Interval(), 2000);
        if (c.meanwhile)
            Module().link.SharedSerial->Transmit(QString::fromLatin1(c.meanwhile));
        sim.setFocuserHomed(true);
        answeredFor();
        EXPECT_EQ(sentBy([&] { form->Timer3_Timer(); }), QString::fromLatin1(c.repeated));
        EXPECT_EQ(takeBoxes(), c.boxes);
    }
}

TEST_F(MainWindowFocusCommands, ButtonsAndCheckBoxesSendTheirCommands)
{
    struct Case { const char *control; const char *sent; const char *question; };
    const Case cases[] = {
        {"cmdHome", "h", "Confirm slew home?"},
        {"cmdStopFocus", "S ", nullptr},
        {"cmdRecordFocus", " f ", nullptr},
        {"cmdSynchTempComp", " +2 ", nullptr},
        {"Check1", "U32 ", nullptr},
        {"Check1", "U0 ", nullptr},
        {"chkRecallFocus", " `1 ", nullptr},
        {"chkRecallFocus", " `0 ", nullptr},
        {"cmdRecordRotator", " v ", nullptr},
        {"chkRecalRotator", "/1 ", nullptr},
        {"chkRecalRotator", "/0 ", nullptr},
        {"cmdStopRot", "q0 ", nullptr},
        {"cmdWrapZero", " i ", "Initialize wrap to current ZEL position?"},
    };
    form->cmdSynchTempComp->setEnabled(true);
    for (const Case &c : cases) {
        EXPECT_EQ(sentBy([&] { click(control(QString::fromLatin1(c.control))); }), QString::fromLatin1(c.sent))
            << c.control;
        EXPECT_EQ(takeBoxes(), c.question ? QStringList{QString::fromLatin1(c.question)} : QStringList()) << c.control;
    }
    // The recall boxes hold off their reports while pressed, then the release timer lets go.
    EXPECT_TRUE(form->RecallFocusPressed);
    EXPECT_TRUE(form->Timer3.Enabled());

    prompts.answer = [](const MessageBoxRequest &) { return int(vbconst::vbCancel); };
    EXPECT_EQ(sentBy([&] { form->cmdHome->click(); }), QString());
    EXPECT_EQ(sentBy([&] { form->cmdWrapZero->click(); }), QString());

    // A command that cannot leave (an upload owns the line) says so once; a check box shows
    // its old state again.
    prompts.answer = nullptr;
    takeBoxes();
    EXPECT_EQ(sentBy([&] {
                  Module().tools.FlashInProgress = true;
                  for (const char *name : {"cmdStopFocus", "cmdRecordRotator", "Check1", "chkRecalRotator"}) {
                      auto *button = control<QAbstractButton>(QString::fromLatin1(name));
                      const bool checked = button->isChecked();
                      click(button);
                      EXPECT_EQ(takeBoxes(), QStringList{QStringLiteral("Error:  A firmware upload is in progress.")}) << name;
                      EXPECT_EQ(button->isChecked(), checked) << name;
                  }
                  Module().tools.FlashInProgress = false;
              }),
              QString());
}

TEST_F(MainWindowFocusCommands, CelsiusBoxSetsTheSettingAndSkipsGrayed)
{
    form->chkCelcius->setCheckState(Qt::Unchecked);
    click(form->chkCelcius);
    EXPECT_EQ(form->chkCelcius->checkState(), Qt::Checked);
    EXPECT_EQ(Module().settings.Celcius, 1);
    click(form->chkCelcius);
    EXPECT_EQ(Module().settings.Celcius, 0);
    form->chkCelcius->setCheckState(Qt::PartiallyChecked);
    EXPECT_EQ(Module().settings.Celcius, 2);
}

TEST_F(MainWindowFocusCommands, SteppersAndTheMirrorCover)
{
    struct Case { int channel; int listIndex; bool down; const char *sent; };
    const Case cases[] = {{2, 2, true, "C-10 "}, {0, 0, false, "a1 "}, {1, 3, false, "B25 "}, {3, 1, true, "d-5 "}};
    for (const Case &c : cases) {
        form->cmbStepSize[c.channel]->setCurrentIndex(c.listIndex);
        QPushButton *button = c.down ? form->cmdStepDown[c.channel] : form->cmdStepUp[c.channel];
        EXPECT_EQ(sentBy([&] { button->click(); }), QString::fromLatin1(c.sent));
    }
    EXPECT_TRUE(prompts.boxes.isEmpty());

    // No cover report: the commands go out. Unplugged as the controller reports it now.
    EXPECT_EQ(sentBy([&] { form->cmdOpenPrimaryCover->click(); }), QStringLiteral("8 71 "));
    sim.setCoverState(9);
    answeredFor("8 "); // a client's query
    for (QPushButton *button : {form->cmdOpenPrimaryCover, form->cmdClosePrimaryCover}) {
        EXPECT_EQ(sentBy([&] { button->click(); }), QString());
        ASSERT_EQ(prompts.boxes.size(), 1);
        EXPECT_EQ(prompts.boxes[0].prompt, QStringLiteral("Stepper motors are unplugged"));
        EXPECT_EQ(prompts.boxes[0].buttons, int(vbconst::vbOKOnly));
        EXPECT_EQ(prompts.boxes[0].title, QCoreApplication::applicationName());
        prompts.boxes.clear();
    }
    sim.setCoverState(0);
    answeredFor("8 ");
    EXPECT_EQ(sentBy([&] { form->cmdClosePrimaryCover->click(); }), QStringLiteral("74 "));
}

TEST_F(MainWindowFocusCommands, UnexpectedFailuresShowTheGeneralErrorBox)
{
    form->cmbStepSize[1]->clear();
    EXPECT_EQ(sentBy([&] { form->cmdStepUp[1]->click(); }), QString());
    answeredFor();
    form->lblActual->clear(); // the position caption is empty
    EXPECT_EQ(sentBy([&] { form->cmdSetMirrorSpacing->click(); }), QString());
    const QStringList expected = {QStringLiteral("Error number: 9 Subscript out of range"),
                                  QStringLiteral("Set current position for ideal mirror spacing?"),
                                  QStringLiteral("Error number: 13 Type mismatch")};
    EXPECT_EQ(takeBoxes(), expected);
}

TEST_F(MainWindowFocusCommands, IdealMirrorSpacingNeedsTheHome)
{
    sim.setFocuserPosition(1234);
    sim.setFocuserHomed(false);
    answeredFor();
    EXPECT_EQ(sentBy([&] { form->cmdSetMirrorSpacing->click(); }), QString());
    EXPECT_EQ(takeBoxes(),
              QStringList{QStringLiteral("You must first set home position before setting ideal mirror spacing.")});
    sim.setFocuserHomed(true);
    answeredFor();
    EXPECT_EQ(sentBy([&] { form->cmdSetMirrorSpacing->click(); }), QStringLiteral(" E1234 "));
    EXPECT_EQ(form->IdealSpacingPosition, 1234);
}

TEST_F(MainWindowFocusCommands, StoredFocusPositionsAreCompensatedOnRequest)
{
    ModuleState &m = Module();
    m.positions.FocusPositions[1] = FocusRecord{QStringLiteral("Cold"), 5000, 60.0f};
    m.positions.FocusPositions[2] = FocusRecord{QStringLiteral("Same"), 4000, 70.0f};
    m.focuser.TempCompTemperature = 3.0f; // the parser's copy: never what the choice reads
    m.focuser.TempCompCoefficient = -2.5f;
    sim.setTemperature(ControllerSimulator::Sensor::Ambient, 70.0);
    answeredFor(" T ");
    answeredFor();
    form->Combo1->addItem(QStringLiteral("Cold"));
    form->Combo1->addItem(QStringLiteral("Same"));

    // status: the codes of the controller's " Q " answer, in order; reopened: the port opened
    // afresh, the record empty; meanwhile: another client's command while the question is open.
    struct Case { int entry; int answer; const char *position; const char *sent; QStringList boxes; QStringList status = {}; bool reopened = false; const char *meanwhile = nullptr; };
    const QString NoTemperature = QStringLiteral(
        "No temperature reported by the controller.  The stored position is used without temperature compensation.");
    const QString question = QStringLiteral("Compensate temperature? (current=70.0, saved=60.0)");
    const Case cases[] = {
        {1, vbconst::vbYes, "4975", "b4975 ", {question, QStringLiteral("Confirm slew?")}},
        {2, vbconst::vbYes, "4000", "b4000 ", {QStringLiteral("Confirm slew?")}},
        {1, vbconst::vbNo, "5000", "b5000 ", {question, QStringLiteral("Confirm slew?")}},
        {0, vbconst::vbNo, "0", "", {QStringLiteral("Compensate temperature? (current=70.0, saved=0.0)")}},
        {1, vbconst::vbYes, "4975", "S ", {question}, {}, false, "S "}, // halted meanwhile: no goto after it
        {1, vbconst::vbNo, "5000", " Q  T  Q b5000 ", {question, QStringLiteral("Confirm slew?")}, {":s", ":a", ":h"}, true},
        {1, vbconst::vbNo, "5000", " Q  T  Q b5000 ", {question, QStringLiteral("Confirm slew?")}, {":h", ":s", ":a"}, true},
    };
    for (const Case &c : cases) {
        prompts.answer = [&](const MessageBoxRequest &box) {
            if (c.meanwhile && box.buttonSet() == vbconst::vbYesNo)
                Module().link.SharedSerial->Transmit(QString::fromLatin1(c.meanwhile));
            return box.buttonSet() == vbconst::vbYesNo ? c.answer : int(vbconst::vbOK);
        };
        sim.setAnswer('Q', {0, c.status});
        if (c.reopened) { // nothing reported yet; the last row's sensor is silent
            sim.setFocuserPosition(1000);
            if (c.status.isEmpty())
                sim.setValue(QStringLiteral(":t1"), QString());
            Module().link.SharedSerial->setConnected(false);
            Module().link.SharedSerial->setConnected(true);
            if (c.status.isEmpty())
                answeredFor();
        }
        sim.setSilent(!c.reopened); // the record holds nothing: the controller answers what the choice asks
        EXPECT_EQ(sentBy([&] { OperatorInput::choose(form->Combo1, c.entry); }), QString::fromLatin1(c.sent)) << c.entry;
        sim.setSilent(true);
        EXPECT_EQ(form->txtPosition->text(), QString::fromLatin1(c.position));
        EXPECT_EQ(takeBoxes(), c.boxes) << c.entry;
    }

    sim.setAnswer('Q', {});
    answeredFor();
    // Where the focuser already stands no goto follows; compensation refuses the choice.
    form->Handle_Received(QStringLiteral(":a 4000 "));
    EXPECT_EQ(sentBy([&] { OperatorInput::choose(form->Combo1, 2); }), QString());
    Module().link.SharedSerial->Transmit(QStringLiteral(" +1 "));
    answeredFor();
    EXPECT_EQ(sentBy([&] { OperatorInput::choose(form->Combo1, 1); }), QString());
    EXPECT_EQ(takeBoxes().last(), QStringLiteral("Temperature compensation is active.  Focuser movement is disabled."));
}

TEST_F(MainWindowFocusCommands, StoreButtonsOpenTheEditorsWhoseListChangesStartNoGoto)
{
    ModuleState::Positions &p = Module().positions;
    Module().focuser.TempCompTemperature = 3.0f; // the parser's copy: never what is stored
    sim.setTemperature(ControllerSimulator::Sensor::Ambient, 65.5);
    answeredFor(" T ");
    form->Handle_Received(QStringLiteral(":a 1234 :rs 18050 "));
    const int focusEntries = form->Combo1->count();
    const int rotatorEntries = form->cmbRotStore->count();
    takeBoxes();

    struct Case { QPushButton *button; const char *editor; const char *action; QStringList boxes; };
    const Case cases[] = {
        {form->cmdStore, "frmStoreFocus", "add",
         {"Create new record?", "Use current position and temperature?", "Save new record?"}},
        {form->cmdStore, "frmStoreFocus", "delete", {"Delete current record?"}},
        {form->cmdRotStore, "frmStoreRotator", "add", {"Create new record?", "Use current position ?", "Save new record?"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.editor);
        const QString sent = sentBy([&] {
            WidgetInput::whenModal([&c](QWidget *w) {
                EXPECT_EQ(w->objectName(), QString::fromLatin1(c.editor));
                if (QLatin1String(c.action) == QLatin1String("add")) {
                    WidgetInput::click(w, "cmdAdd");
                    WidgetInput::type(w->findChild<QLineEdit *>(QStringLiteral("txtDescription")), QStringLiteral("Near"));
                    WidgetInput::click(w, "cmdUpdate");
                } else {
                    WidgetInput::click(w, "cmdDelete");
                }
                WidgetInput::click(w, "cmdExit");
            });
            c.button->click();
        });
        EXPECT_EQ(sent, QString());
        EXPECT_EQ(takeBoxes(), c.boxes);
        // The new focus entry is chosen without its handler, so the editor opens on it.
        if (QLatin1String(c.action) == QLatin1String("add") && c.button == form->cmdStore) {
            ASSERT_EQ(form->Combo1->count(), focusEntries + 1);
            EXPECT_EQ(form->Combo1->itemText(focusEntries), QStringLiteral("Near"));
            const QSignalBlocker quiet(form->Combo1);
            form->Combo1->setCurrentIndex(focusEntries);
        }
    }
    EXPECT_EQ(form->Combo1->count(), focusEntries);
    EXPECT_EQ(p.StoreIndex, 0);
    EXPECT_EQ(p.StorePosition, 90); // 90.25 degrees
    EXPECT_TRUE(p.StoreRotatorMode);
    EXPECT_FLOAT_EQ(p.StoreTemperature.value_or(0), 65.5f);
    EXPECT_EQ(form->cmbRotStore->itemText(rotatorEntries), QStringLiteral("Near"));
    EXPECT_EQ(form->txtRotGOTO->text(), QStringLiteral("90"));
    EXPECT_EQ(Module().positions.RotatorPositions[rotatorEntries].Position, 90);
}

TEST_F(MainWindowFocusCommands, CompensationButtonShowsTheModeTheDialogSent)
{
    struct Case { int16_t modeBefore; const char *choose; const char *button; const char *caption; bool synch; const char *mode; };
    const Case cases[] = {
        {1, "optTempComp_2", "cmdOK", "Temperature Compensation = MAN", true, " +2 "},
        {2, "optTempComp_1", "cmdOK", "Temperature Compensation = AUTO", false, " +1 "},
        {7, "optTempComp_2", "cmdCancel", "Temperature Compensation = AUTO", false, ""}, // nothing changes
    };
    for (const Case &c : cases) {
        Module().focuser.TempCompMode = c.modeBefore;
        WidgetInput::whenModal([&](QWidget *dialog) {
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Temperature Compensation"));
            dialog->findChild<QRadioButton *>(QString::fromLatin1(c.choose))->setChecked(true);
            WidgetInput::click(dialog, c.button);
        });
        EXPECT_EQ(sentBy([&] { form->cmdTempComp->click(); }), QStringLiteral(" :V  l ") + QString::fromLatin1(c.mode));
        EXPECT_EQ(form->cmdTempComp->text(), QString::fromLatin1(c.caption));
        EXPECT_EQ(form->cmdSynchTempComp->isEnabled(), c.synch);
    }
}
