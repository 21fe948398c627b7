// The main window's rotator commands (goto in degrees, home, stop, unwrap, stored positions,
// record and recall) and the four press-and-hold jog buttons.
#include "windows/frmMain.h"

#include "alignment/frmZELUtilities.h"
#include "link/DriverSettings.h"
#include "link/ModuleState.h"
#include "link/RotatorSteps.h"
#include "platform/Vb.h"
#include "platform/RunningHandler.h"
#include "platform/Wait.h"
#include "settings/frmStoreRotator.h"
#include "windows/Forms.h"
#include "windows/frmMainCommands.h"
#include "windows/WindowRules.h"
#include "windows/frmRotIndicator.h"
#include "windows/frmUnwrap.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <utility>
#include <QRadioButton>
#include <cmath>
#include <cstdlib>

using namespace MainMessages;

namespace {

QString relativeMove(int64_t steps)
{
    return QStringLiteral("j%1 ").arg(steps);
}

} // namespace

void frmMain::rotatorGoto()
{
    ModuleState &m = Module();
    const StepScope step = beginStep(GetSerial.get(), MovedDevice::Rotator);
    const bool skipQuestion = std::exchange(SkipSlewConfirm, false);
    if (portRefused() || (!skipQuestion && !Confirmed(ConfirmSlew)))
        return;
    WindowRules::RequireWanted(step);
    const std::optional<bool> homed = WindowRules::RotatorHomed(GetSerial.get(), true);
    WindowRules::RequireWanted(step);
    if (!homed) {
        WindowRules::WarnRotatorMove({});
        return;
    }
    if (!*homed) {
        // Home first; Timer3 repeats the goto once the rotator reports its home.
        if (!send(QStringLiteral("H ")))
            return;
        RotGotoPending = true;
        m_rotatorGotoStep = step;
        Timer3.setInterval(2000);
        restartTimer3();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        return;
    }
    const QString text = txtRotGOTO->text();
    if (!vb::IsNumeric(text)) {
        QApplication::beep();
        return;
    }
    const double target = vb::Int((vb::CDbl(text) - m.thesky.ZELOffset) * RotatorStepsPerDegree);
    // From the position the controller reports now, not the one shown.
    const std::optional<int32_t> position = WindowRules::CurrentRotatorValue(GetSerial.get(), u":rt", true);
    WindowRules::RequireWanted(step);
    if (!position) {
        WindowRules::WarnRotatorMove({});
        return;
    }
    const int32_t d = FoldRotatorMove(vb::CLng(target - *position), false);
    const RotatorStatus::Move move = WindowRules::RotatorMove(GetSerial.get(), d, m.settings.AutoReverse != 0, true);
    WindowRules::RequireWanted(step);
    if (move.outcome == RotatorStatus::Move::Outcome::Send)
        send(relativeMove(move.steps));
    else
        WindowRules::WarnRotatorMove(move);
}

void frmMain::cmbRotStore_Click()
{
    trapped([this] {
        const ModuleState &m = Module();
        const int i = cmbRotStore->currentIndex();
        if (m.positions.RotatorPositions.isEmpty() || i < 0)
            return;
        txtRotGOTO->setText(QString::number(Element(m.positions.RotatorPositions, i).Position));
        if (i != 0 && txtRotGOTO->text() != lblRot->text())
            rotatorGoto();
    });
}

void frmMain::cmdRotHome_Click()
{
    trapped([this] {
        const StepScope step = beginStep(GetSerial.get(), MovedDevice::Rotator);
        const QString question =
            chkConnectTheSky->isChecked()
                ? QStringLiteral("Warning:  Homing while connected to TheSky will cause loss of TheSky/ZEL "
                                 "synchronization.  Do you want to continue?")
                : QStringLiteral("Confirm Rotate HOME");
        if (Confirmed(question))
            sendWanted(step, QStringLiteral("r "));
    });
}

void frmMain::cmdStopRot_Click()
{
    const RunningHandler running(this); // the served events may close the window
    trapped([this] {
        send(QStringLiteral("q0 "));
        Wait::DoEvents();
    });
}

void frmMain::cmdRecordRotator_Click()
{
    send(QStringLiteral(" v "));
}

void frmMain::chkRecalRotator_MouseUp()
{
    sendCheck(chkRecalRotator, QStringLiteral("/1 "), QStringLiteral("/0 "));
}

// Hands the angle (whole degrees) to the rotator store editor and shows it.
void frmMain::cmdRotStore_Click()
{
    trapped([this] {
        ModuleState::Positions &p = Module().positions;
        p.StoreIndex = cmbRotStore->currentIndex();
        if (vb::IsNumeric(lblRot->text()))
            p.StorePosition = vb::CLng(lblRot->text());
        p.StoreRotatorMode = true;
        frmStoreRotator::showModal(this);
    });
}

void frmMain::cmdUnwrap_Click()
{
    trapped([this] {
        const StepScope step = beginStep(GetSerial.get(), MovedDevice::Rotator);
        const int16_t choice = frmUnwrap::ask(this);
        WindowRules::RequireWanted(step);
        if (choice == 0)
            return;
        // Unwound from the wrap the controller reports now, not the one shown.
        std::optional<int32_t> wrap = WindowRules::CurrentRotatorValue(GetSerial.get(), u":wr", true);
        WindowRules::RequireWanted(step);
        if (wrap && choice == 2 && std::llabs(*wrap) <= RotatorStepsPerHalfTurn) {
            if (!Confirmed(QStringLiteral("The current wrap is less than 180 degrees.  Unwrapping by 360 degrees will "
                                          "result in a greater wrap.  Do you wish to continue?")))
                return;
            WindowRules::RequireWanted(step);
            // Anything may have moved it while the question was open: the way round is decided
            // on the wrap as reported once the operator chose.
            wrap = WindowRules::CurrentRotatorValue(GetSerial.get(), u":wr", true);
            WindowRules::RequireWanted(step);
        }
        if (!wrap) {
            WindowRules::WarnRotatorMove({});
            return;
        }
        const int64_t steps = choice == 1 ? -int64_t(*wrap) : *wrap > 0 ? -RotatorStepsPerTurn : RotatorStepsPerTurn;
        // Checked on the same record, with nothing served in between.
        const RotatorStatus::Move move = WindowRules::RotatorMove(GetSerial.get(), steps, false, false);
        if (move.outcome == RotatorStatus::Move::Outcome::Send)
            send(QStringLiteral(" ") + relativeMove(move.steps));
        else
            WindowRules::WarnRotatorMove(move);
    });
}

void frmMain::cmdWrapZero_Click()
{
    trapped([this] {
        const StepScope step = beginStep(GetSerial.get(), MovedDevice::None);
        if (Confirmed(QStringLiteral("Initialize wrap to current ZEL position?")))
            sendWanted(step, QStringLiteral(" i "));
    });
}

// The alignment tools window opens here once it exists.
void frmMain::cmdZELUtils_Click()
{
    const RunningHandler running(this); // the served events may close the window
    frmZELUtilities::ask(this);
}

void frmMain::chkConnectTheSky_MouseUp()
{
    const RunningHandler running(this); // the served events may close the window
    m_follow.ConnectTheSky(chkConnectTheSky->isChecked());
}

void frmMain::SetConnectBox(bool checked)
{
    chkConnectTheSky->setChecked(checked);
}

void frmMain::EnableUtilities(bool enabled)
{
    cmdZELUtils->setEnabled(enabled);
}

void frmMain::Command2_Click()
{
    RotIndicatorForm()->showIndicator();
}

// A press moves one step at once; Timer1 repeats it while the button is held, once the
// first step went.
void frmMain::Command1_MouseDown(int Index)
{
    trapped([&] {
        if (Check1->checkState() == Qt::Checked) {
            MsgBox(ForceMotorOff, vbconst::vbInformation, Vkm);
            return;
        }
        const bool focuser = Index == 0 || Index == 1;
        const StepScope step = beginStep(GetSerial.get(), focuser ? MovedDevice::Focuser : MovedDevice::Rotator);
        Timer1.setEnabled(false);
        if (focuser && compensationRefused(step, CompensationActive))
            return;
        if (portRefused())
            return;
        JogButton = int16_t(Index);
        JogTicks = 0;
        Timer1.setInterval(300);
        bool repeat = false;
        if (focuser)
            repeat = send(QStringLiteral("m%1 ").arg(Index == 0 ? FocusJogSteps : -FocusJogSteps));
        else if (Index == 2 || Index == 3)
            repeat = rotatorJog(step, Index);
        Timer1.setEnabled(repeat);
    });
}

void frmMain::Command1_MouseUp(int)
{
    trapped([this] { Timer1.setEnabled(false); });
}

// The custom step from txtRot into RotJogSteps and the settings (module and registry), under
// the windows' one rule. A refused one is not stored; the refusal also stops the repeat, which
// would otherwise run on after the message took the button's release.
bool frmMain::jogStepRefused()
{
    const QString text = txtRot->text();
    txtRot->setModified(false);
    const std::optional<int32_t> steps = WindowRules::CustomRotateSteps(text);
    if (!steps) {
        Timer1.setEnabled(false);
        WindowRules::RefuseCustomRotateStep(text);
        return true;
    }
    RotJogSteps = *steps;
    if (text != Module().settings.RotateStepOption) {
        StoreDriverSetting(QStringLiteral("RotateStepOption"), REG_SZ, text);
        Module().settings.RotateStepOption = text;
    }
    return false;
}

// Button 2 turns the rotator down, button 3 up; near the wrap limit the move either goes the
// other way round (AutoReverse) or is refused, and the repeat does not follow. True when it may.
bool frmMain::rotatorJog(const StepScope &step, int Index)
{
    const ModuleState &m = Module();
    const bool up = Index == 3;
    if (optRot[4]->isChecked())
        RotJogSteps = 0;
    if ((up ? RotJogSteps == 0 : RotJogSteps < 1) && jogStepRefused())
        return false;
    RotJogSteps = FoldRotatorHalfTurn(RotJogSteps, false);
    const int64_t jog = up ? int64_t(RotJogSteps) : -int64_t(RotJogSteps);
    const RotatorStatus::Move move = WindowRules::RotatorMove(GetSerial.get(), jog, m.settings.AutoReverse != 0, true);
    WindowRules::RequireWanted(step);
    if (move.outcome == RotatorStatus::Move::Outcome::Send && move.steps == jog)
        return send(relativeMove(jog));
    if (move.outcome == RotatorStatus::Move::Outcome::Send)
        send(relativeMove(move.steps));
    else
        WindowRules::WarnRotatorMove(move);
    return false;
}
