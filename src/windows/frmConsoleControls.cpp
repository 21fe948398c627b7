// The console's controls: jogs with their repeat, home and stop, the step spinners, fan,
// heater and dew-heater controls.
#include "windows/frmConsole.h"
#include "link/DriverSettings.h"
#include "link/HandlerError.h"

#include "link/ModuleState.h"
#include "link/RotatorSteps.h"
#include "link/Serial.h"
#include "platform/Held.h"
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

void frmConsole::homeClick(const QString &question, const QString &command)
{
    const RunningHandler running(this); // the question serves events: the window may close
    try {
        if (requirePort(PortNotOpen) && confirmed(question) && !m_unloaded)
            Held(cm).Transmit(command);
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
}

void frmConsole::cmdFocusHome_Click()
{
    homeClick(QStringLiteral("Confirm move focus HOME?"), QStringLiteral("h"));
}

void frmConsole::cmdRotateHome_Click()
{
    homeClick(QStringLiteral("Confirm Rotate HOME"), QStringLiteral("r "));
}

void frmConsole::cmdFocusStop_Click()
{
    if (requirePort(PortNotOpen))
        cm->Transmit(QStringLiteral("S "));
}

void frmConsole::cmdRotateStop_Click()
{
    const RunningHandler running(this); // the served events may close the window
    if (!requirePort(PortNotOpen))
        return;
    cm->Transmit(QStringLiteral("q0 "));
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
        bool asked = false;
        if (index <= 1 && m.focuser.ForceMotorOff) {
            asked = true;
            if (!confirmed(ForcedOffQuestion) || m_unloaded) // the question served events
                return;
            m.focuser.ForceMotorOff = false;
            Held(cm).Transmit(QStringLiteral("U0 "));
        }
        bool repeat = true;
        if (index == 0)
            Held(cm).Transmit(QStringLiteral("m%1 ").arg(FocusIncrement));
        else if (index == 1)
            Held(cm).Transmit(QStringLiteral("m%1 ").arg(-FocusIncrement));
        else
            repeat = rotatorJogPress(index);
        const bool held = m_jogHeld && (!asked || WindowRules::JogPointerHeld());
        if (repeat && held)
            Timer1.setEnabled(true);
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
bool frmConsole::rotatorJogPress(int index)
{
    const ModuleState &m = Module();
    if (UpDown3->value() == 4)
        RotateIncrement = customRotateIncrement();
    RotateIncrement = FoldRotatorHalfTurn(RotateIncrement, false);
    const bool positive = index == 2;
    const int64_t step = positive ? int64_t(RotateIncrement) : -int64_t(RotateIncrement);
    const std::optional<int32_t> sent = WindowRules::RotatorJogSteps(step, m.settings.AutoReverse != 0);
    if (sent && *sent == step) {
        cm->Transmit(QStringLiteral("j%1 ").arg(step));
        return true;
    }
    if (sent)
        cm->Transmit(QStringLiteral("j%1 ").arg(*sent));
    else
        WindowRules::WarnWrapLimit();
    return false;
}

// Every repeated rotator step, "q"; at the wrap limit the repeat stops with a warning.
void frmConsole::rotatorJogRepeat()
{
    const bool positive = JogButton == 2;
    if (UpDown3->value() == 4)
        RotateIncrement = customRotateIncrement();
    // The negative button folds exactly half a turn as well.
    RotateIncrement = FoldRotatorHalfTurn(RotateIncrement, !positive);
    const int64_t step = positive ? int64_t(RotateIncrement) : -int64_t(RotateIncrement);
    if (WindowRules::RotatorJogSteps(step, false) != step) {
        Timer1.setEnabled(false);
        WindowRules::WarnWrapLimit();
        return;
    }
    cm->Transmit(QStringLiteral("q%1 ").arg(step));
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
        if (!portOpen())
            return;
        if (JogButton == 0)
            cm->Transmit(QStringLiteral("m%1 ").arg(FocusIncrement));
        else if (JogButton == 1)
            cm->Transmit(QStringLiteral("m%1 ").arg(-FocusIncrement));
        else
            rotatorJogRepeat();
    } catch (const std::exception &e) {
        Timer1.setEnabled(false);
        ShowHandlerError(e);
    }
}

int32_t frmConsole::customRotateIncrement() const
{
    return vb::CLng(200 * vb::Val(Module().settings.RotateStepOption));
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
    RotateIncrement = value == 4 ? customRotateIncrement() : increments[value];
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
    if (!hold || !requirePort(CommPortNotOpen))
        return;
    cm->Transmit(QStringLiteral(" %1%2 ").arg(QLatin1String(command)).arg(spin->value()));
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
    if (!FanHold || !requirePort(CommPortNotOpen))
        return;
    if (index == 2)
        cm->Transmit(QStringLiteral("n2 "));
    else if (index != 0)
        cm->Transmit(QStringLiteral("n1 "));
    else
        cm->Transmit(QStringLiteral("y%1 ").arg(UpDown2->value()));
}

void frmConsole::optSec_Click(int index)
{
    if (!HeaterHold || !requirePort(CommPortNotOpen))
        return;
    if (index == 2)
        cm->Transmit(QStringLiteral("w2 "));
    else if (index == 0)
        cm->Transmit(QStringLiteral("s%1 ").arg(UpDown4->value()));
    else
        cm->Transmit(QStringLiteral("w1 "));
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
