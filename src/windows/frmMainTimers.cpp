// The main window's timers: status poll, connect handshake, jog repeat, the delayed goto
// and edit-hold release, and the two latch releases.
#include "windows/frmMain.h"

#include "link/ModuleState.h"
#include "link/OperatorSend.h"
#include "link/RotatorSteps.h"
#include "link/Serial.h"
#include "platform/RunningHandler.h"
#include "platform/Screen.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbError.h"
#include "windows/EditHold.h"
#include "windows/WindowRules.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <cstdlib>
#include <utility>

namespace {

const QString HomeFirstWarning = QStringLiteral(
    "Warning:  You must first find the home position before moving to absolute positions.  Please press the 'HOME' "
    "button and try again.");

} // namespace

void frmMain::Timer4_Timer()
{
    const ModuleState &m = Module();
    try {
        if (!GetSerial || !GetSerial->Connected() || m.link.SettingsWindowOpen)
            return;
        switch (SSTab1->currentIndex()) {
        case 0:
            GetSerial->Transmit(QStringLiteral(" Q "));
            break;
        case 1: {
            // The data log and the graph send their own queries; poll only when faster.
            const double period = Timer4.Interval() / 1000.0;
            bool send = !m.tools.LoggingActive && !m.tools.GraphRunning;
            if (!send && m.tools.LoggingActive)
                send = period < m.tools.LogInterval;
            if (!send && m.tools.GraphRunning)
                send = period < m.tools.GraphPeriod;
            if (send)
                GetSerial->Transmit(QStringLiteral(" T "));
            break;
        }
        case 2:
            GetSerial->Transmit(QStringLiteral(" R "));
            GetSerial->Transmit(QStringLiteral(" d0 "));
            break;
        case 3: {
            // On the cover mode the controller reports, asked for until the record holds it;
            // its report also sets what the tab shows.
            const std::optional<Report> mode = WindowRules::Vouched(GetSerial.get(), u":S2M");
            if (!mode)
                GetSerial->Transmit(QStringLiteral("1 "));
            const bool cover = mode && mode->numeric && mode->v != 0;
            GetSerial->Transmit(cover ? QStringLiteral("8 ") : QStringLiteral("2 6 3 "));
            break;
        }
        }
    } catch (const std::exception &e) {
        showError(e);
    }
}

void frmMain::Timer6_Timer()
{
    try {
        Timer6.setEnabled(false);
        // An upload owns the line: the handshake is over, and a controller in its boot
        // loader never answers " ! ".
        if (!GetSerial || FirmwareUploadRunning())
            return;
        // Answered when the record holds a ":!" that came after the connect.
        if (GetSerial->Reports().ReportedSince(u":!", HandshakeMark)) {
            GetSerial->Transmit(QStringLiteral(" V "));
            GetSerial->Transmit(QStringLiteral(" l "));
        } else if (HandshakeRetries < 3) {
            ++HandshakeRetries;
            Timer6.setEnabled(true);
            GetSerial->Transmit(QStringLiteral(" ! "));
        } else {
            // The box serves events: the port may be reopened, or the answer come, meanwhile.
            const StepScope step = beginStep(GetSerial.get(), MovedDevice::None);
            MsgBox(QStringLiteral("Warning:  Unable to communicate with controller."), vbconst::vbOKOnly);
            if (!GetSerial || !step.Wanted())
                return;
            if (GetSerial->Reports().ReportedSince(u":!", HandshakeMark)) {
                Timer6.setEnabled(true); // answered late: the next tick goes on as answered
                return;
            }
            setConnectedStates(false);
            GetSerial->setConnected(false);
            HandshakeRetries = 0;
        }
    } catch (const std::exception &e) {
        showError(e);
    }
}

void frmMain::Timer1_Timer()
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
            portRefused();
            return;
        }
        if (JogButton == 0 || JogButton == 1) {
            const int32_t steps = JogButton == 0 ? FocusJogSteps : -FocusJogSteps;
            repeatSend(QStringLiteral("m%1 ").arg(steps));
            return;
        }
        if (JogButton != 2 && JogButton != 3)
            return;
        if (optRot[4]->isChecked())
            RotJogSteps = 0;
        if (RotJogSteps == 0) {
            const std::optional<int32_t> custom = WindowRules::CustomRotateSteps(txtRot->text());
            if (!custom)
                return;
            RotJogSteps = *custom;
        }
        RotJogSteps = FoldRotatorHalfTurn(RotJogSteps, false);
        const int64_t s = JogButton == 2 ? -int64_t(RotJogSteps) : int64_t(RotJogSteps);
        // Each repeat adds to the move under way: decided on every step sent and not yet reported.
        const RotatorStatus::Move move = WindowRules::RotatorMove(GetSerial.get(), s, false, false);
        if (move.outcome != RotatorStatus::Move::Outcome::Send || move.steps != s) {
            // Stopped before the box opens, so the box cannot stack copies of itself.
            Timer1.setEnabled(false);
            WindowRules::WarnRotatorMove(move);
            return;
        }
        repeatSend(QStringLiteral("q%1 ").arg(s));
    } catch (const std::exception &e) {
        showError(e);
    }
}

// A repeated jog step that did not leave stops the repeat before its box opens.
void frmMain::repeatSend(const QString &command)
{
    const Serial::SendResult result = Transmit(command);
    if (result != Serial::SendResult::Sent)
        Timer1.setEnabled(false);
    OperatorSend::Left(result);
}

void frmMain::Timer3_Timer()
{
    const RunningHandler running(this); // the home's check waits: the window may close
    ModuleState &m = Module();
    try {
        Screen::SetMousePointer(Screen::vbDefault);
        Timer3.setEnabled(false);
        Holds->clearAll();
        WrapLimitStopped = false;
        if (m.rotator.RotatorMovePending && m.rotator.RotatorMoving) {
            Timer3.setEnabled(true);
            return;
        }
        m.rotator.RotatorMovePending = false;
        if (FocusGotoPending) {
            FocusGotoPending = false;
            gotoAfterHome(m_focusGotoStep, WindowRules::FocuserHomed(GetSerial.get(), true).value_or(false),
                          cmdGoto_Click);
        }
        if (RotGotoPending) {
            RotGotoPending = false;
            gotoAfterHome(m_rotatorGotoStep, WindowRules::RotatorHomed(GetSerial.get(), true).value_or(false),
                          cmdRotGOTO_Click);
        }
    } catch (const std::exception &e) {
        showError(e);
    }
}

// The home took effect; the goto behind it goes on only while the press that sent the home
// still wants it, else says what was done.
void frmMain::gotoAfterHome(std::optional<StepScope> &pressed, bool homed, const std::function<void()> &gotoClick)
{
    const std::optional<StepScope> step = std::exchange(pressed, std::nullopt);
    if (m_unloaded)
        return;
    if (step && !step->Wanted()) {
        MsgBox(QStringLiteral("The home was sent; the goto after it stopped: %1.").arg(step->Cause()),
               vbconst::vbExclamation, QStringLiteral("ORVA"));
        return;
    }
    if (!homed) {
        MsgBox(HomeFirstWarning, vbconst::vbExclamation, QStringLiteral("ORVA"));
        return;
    }
    SkipSlewConfirm = true;
    if (gotoClick)
        gotoClick();
}

void frmMain::Timer2_Timer()
{
    releaseTheSkyUpdate(Timer2);
}

// The follow has turned or relabelled the rotator itself: the parser leaves TheSky alone
// for 2 s.
void frmMain::HoldTheSkyUpdate()
{
    holdTheSkyUpdate(Timer2);
}

void frmMain::tmrTheSky_Timer()
{
    m_follow.Tick();
}

void frmMain::Timer5_Timer()
{
    FocusErrorShown = false;
    Timer5.setEnabled(false);
}
