// The console's controls: jogs with their repeat, home and stop, the step spinners, fan,
// heater and dew-heater controls.
#include "windows/frmConsole.h"
#include "link/DriverSettings.h"
#include "link/HandlerError.h"

#include "link/ModuleState.h"
#include "link/OperatorSend.h"
#include "link/RotatorSteps.h"
#include "link/Serial.h"
#include "platform/RunningHandler.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/Wait.h"
#include "windows/WindowRules.h"

#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

namespace {

const QString PortNotOpen = QStringLiteral("Port not open.");
const QString CommPortNotOpen = QStringLiteral("Error:  The communications port is not open.");
const QString ForcedOffQuestion =
    QStringLiteral("The focus motor is in a 'Forced Off' state.  Would you like to enable?");

bool confirmed(const QString &question)
{
    return MsgBox(question, vbconst::vbOKCancel | vbconst::vbQuestion, QStringLiteral("VKM")) == vbconst::vbOK;
}

} // namespace

bool frmConsole::commPortOpen()
{
    const RunningHandler running(this); // the box serves events: the window may close
    return requirePort(CommPortNotOpen);
}

void frmConsole::homeClick(const QString &question, const QString &command, MovedDevice device)
{
    const RunningHandler running(this); // the question serves events: the window may close
    try {
        const StepScope step = beginStep(cm.get(), device);
        if (requirePort(PortNotOpen) && confirmed(question) && step.Wanted())
            send(command, PortNotOpen);
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
}

void frmConsole::cmdFocusHome_Click()
{
    homeClick(QStringLiteral("Confirm move focus HOME?"), QStringLiteral("h"), MovedDevice::Focuser);
}

void frmConsole::cmdRotateHome_Click()
{
    homeClick(QStringLiteral("Confirm Rotate HOME"), QStringLiteral("r "), MovedDevice::Rotator);
}

void frmConsole::cmdFocusStop_Click()
{
    send(QStringLiteral("S "), PortNotOpen);
}

void frmConsole::cmdRotateStop_Click()
{
    const RunningHandler running(this); // the served events may close the window
    if (send(QStringLiteral("q0 "), PortNotOpen))
        Wait::DoEvents();
}

// The press sends the first step. The repeat starts only once the step is accepted: after a
// forced-off question, only when the operator still holds the button.
void frmConsole::cmdMove_MouseDown(int index)
{
    const RunningHandler running(this); // the question serves events
    ModuleState &m = Module();
    try {
        JogButton = int16_t(index);
        m_jogHeld = true;
        Timer1.setEnabled(false);
        if (!requirePort(CommPortNotOpen))
            return;
        JogTicks = 0;
        Timer1.setInterval(300);
        const StepScope step = beginStep(cm.get(), index <= 1 ? MovedDevice::Focuser : MovedDevice::Rotator);
        bool asked = false;
        // Whether the motor is forced off, whoever forced it, as the controller reports now;
        // without its answer the step goes unasked (a forced-off motor does not move).
        const bool forcedOff = index <= 1 && WindowRules::MotorForcedOff(cm.get(), true).value_or(false);
        WindowRules::RequireWanted(step);
        if (forcedOff) {
            asked = true;
            if (!confirmed(ForcedOffQuestion))
                return;
            WindowRules::RequireWanted(step);
            if (!send(QStringLiteral("U0 "), CommPortNotOpen))
                return;
            m.focuser.ForceMotorOff = false;
        }
        bool repeat = true;
        if (index == 0)
            repeat = send(QStringLiteral("m%1 ").arg(FocusIncrement), CommPortNotOpen);
        else if (index == 1)
            repeat = send(QStringLiteral("m%1 ").arg(-FocusIncrement), CommPortNotOpen);
        else
            repeat = rotatorJogPress(step, index);
        const bool held = m_jogHeld && (!asked || WindowRules::JogPointerHeld());
        if (repeat && held)
            Timer1.setEnabled(true);
    } catch (const WindowRules::StepWithdrawn &) {
    } catch (const std::exception &e) {
        Timer1.setEnabled(false);
        ShowHandlerError(e);
    }
}

void frmConsole::cmdMove_MouseUp(int)
{
    m_jogHeld = false;
    Timer1.setEnabled(false);
}

// The first rotator step, "j": within the wrap limit it goes as asked; at the limit it is
// refused, or sent once the other way round when AutoReverse is on. True when the repeat
// may follow.
bool frmConsole::rotatorJogPress(const StepScope &step, int index)
{
    const ModuleState &m = Module();
    if (UpDown3->value() == 4)
        RotateIncrement = customRotateIncrement().value_or(RotateIncrement);
    RotateIncrement = FoldRotatorHalfTurn(RotateIncrement, false);
    const bool positive = index == 2;
    const int64_t jog = positive ? int64_t(RotateIncrement) : -int64_t(RotateIncrement);
    const RotatorStatus::Move move = WindowRules::RotatorMove(cm.get(), jog, m.settings.AutoReverse != 0, true);
    WindowRules::RequireWanted(step);
    if (move.outcome == RotatorStatus::Move::Outcome::Send && move.steps == jog)
        return send(QStringLiteral("j%1 ").arg(jog), CommPortNotOpen);
    if (move.outcome == RotatorStatus::Move::Outcome::Send)
        send(QStringLiteral("j%1 ").arg(move.steps), CommPortNotOpen);
    else
        WindowRules::WarnRotatorMove(move);
    return false;
}

// Every repeated rotator step, "q"; at the wrap limit the repeat stops with a warning.
void frmConsole::rotatorJogRepeat()
{
    const bool positive = JogButton == 2;
    if (UpDown3->value() == 4)
        RotateIncrement = customRotateIncrement().value_or(RotateIncrement);
    // The negative button folds exactly half a turn as well.
    RotateIncrement = FoldRotatorHalfTurn(RotateIncrement, !positive);
    const int64_t step = positive ? int64_t(RotateIncrement) : -int64_t(RotateIncrement);
    // Each repeat adds to the move under way: decided on every step sent and not yet reported.
    const RotatorStatus::Move move = WindowRules::RotatorMove(cm.get(), step, false, false);
    if (move.outcome != RotatorStatus::Move::Outcome::Send || move.steps != step) {
        Timer1.setEnabled(false);
        WindowRules::WarnRotatorMove(move);
        return;
    }
    repeatSend(QStringLiteral("q%1 ").arg(step));
}

// A repeated jog step that did not leave stops the repeat before its box opens.
void frmConsole::repeatSend(const QString &command)
{
    const Serial::SendResult result = Transmit(command);
    if (result != Serial::SendResult::Sent)
        Timer1.setEnabled(false);
    OperatorSend::Left(result, CommPortNotOpen);
}

void frmConsole::Timer1_Timer()
{
    try {
        if (!WindowRules::JogPointerHeld()) {
            Timer1.setEnabled(false);
            return;
        }
        ++JogTicks;
        if (JogTicks == 4)
            Timer1.setInterval(50);
        if (!portOpen()) {
            Timer1.setEnabled(false);
            requirePort(CommPortNotOpen);
            return;
        }
        if (JogButton == 0)
            repeatSend(QStringLiteral("m%1 ").arg(FocusIncrement));
        else if (JogButton == 1)
            repeatSend(QStringLiteral("m%1 ").arg(-FocusIncrement));
        else
            rotatorJogRepeat();
    } catch (const std::exception &e) {
        Timer1.setEnabled(false);
        ShowHandlerError(e);
    }
}

// The stored custom step under the windows' one rule; nothing for a step it refuses.
std::optional<int32_t> frmConsole::customRotateIncrement() const
{
    return WindowRules::CustomRotateSteps(Module().settings.RotateStepOption);
}

void frmConsole::applyFocusIncrement()
{
    static const int16_t increments[] = {1, 10, 25, 100};
    FocusIncrement = increments[std::clamp(UpDown1->value(), 0, 3)];
    lblfocusIncrement->setText(QString::number(FocusIncrement));
}

void frmConsole::applyRotateIncrement()
{
    static const int32_t increments[] = {100, 200, 1000, 9000};
    const int value = std::clamp(UpDown3->value(), 0, 4);
    RotateIncrement = value == 4 ? customRotateIncrement().value_or(RotateIncrement) : increments[value];
    lblRotateIncrement->setText(vb::Format(RotateIncrement / 200.0, QStringLiteral("0.0")));
}

void frmConsole::UpDown1_Change()
{
    applyFocusIncrement();
    Module().settings.FocusStep = int16_t(UpDown1->value());
    StoreDriverSetting(QStringLiteral("FocusStep"), REG_DWORD, Module().settings.FocusStep);
}

void frmConsole::UpDown3_Change()
{
    try {
        Module().settings.RotateStep = int16_t(UpDown3->value());
        StoreDriverSetting(QStringLiteral("RotateStep"), REG_DWORD, Module().settings.RotateStep);
        applyRotateIncrement();
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
}

// A power spinner sends its value only while the operator works it: a value a report
// brought sends nothing.
void frmConsole::powerChange(QSpinBox *spin, bool hold, const char *command)
{
    if (hold)
        send(QStringLiteral(" %1%2 ").arg(QLatin1String(command)).arg(spin->value()), CommPortNotOpen);
}

void frmConsole::UpDown2_Change()
{
    powerChange(UpDown2, FanHold, "y");
}

void frmConsole::UpDown4_Change()
{
    powerChange(UpDown4, HeaterHold, "s");
}

void frmConsole::UpDown5_Change()
{
    powerChange(UpDown5, Dew1Hold, "c");
}

void frmConsole::UpDown6_Change()
{
    powerChange(UpDown6, Dew2Hold, "k");
}

// Mode buttons: 0 "Manual", 1 "Auto", 2 "Off". The operator's click sends at once (the
// press set the hold before the button changed); one a report made sends nothing.
void frmConsole::optFan_Click(int index)
{
    if (!FanHold)
        return;
    send(index == 2   ? QStringLiteral("n2 ")
         : index != 0 ? QStringLiteral("n1 ")
                      : QStringLiteral("y%1 ").arg(UpDown2->value()),
         CommPortNotOpen);
}

void frmConsole::optSec_Click(int index)
{
    if (!HeaterHold)
        return;
    send(index == 2   ? QStringLiteral("w2 ")
         : index == 0 ? QStringLiteral("s%1 ").arg(UpDown4->value())
                      : QStringLiteral("w1 "),
         CommPortNotOpen);
}

// Unticked, a dew heater's power goes to 0 (sent while the operator holds the box) and its
// spinner is locked.
void frmConsole::dewClick(QCheckBox *box, QSpinBox *spin)
{
    if (box->isChecked()) {
        spin->setEnabled(true);
        return;
    }
    spin->setValue(0);
    spin->setEnabled(false);
}

void frmConsole::chkDew1_Click()
{
    dewClick(chkDew1, UpDown5);
}

void frmConsole::chkDew2_Click()
{
    dewClick(chkDew2, UpDown6);
}

void frmConsole::lblDew1_Change()
{
    if (vb::Val(lblDew1->text()) != 0)
        chkDew1->setChecked(true);
}

void frmConsole::lblDew2_Change()
{
    if (vb::Val(lblDew2->text()) != 0)
        chkDew2->setChecked(true);
}
