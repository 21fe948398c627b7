// The main window's focuser, stepper, mirror-cover and temperature-compensation commands.
#include "windows/frmMain.h"

#include "link/DriverSettings.h"
#include "link/FocuserStatus.h"
#include "link/ModuleState.h"
#include "link/Serial.h"
#include "platform/Vb.h"
#include "platform/RunningHandler.h"
#include "settings/frmStoreFocus.h"
#include "settings/frmTempComp.h"
#include "windows/WindowRules.h"
#include "windows/frmMainCommands.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <utility>

using namespace MainMessages;

// Force motor off, then compensation (when the move is the focuser's), then the port.
bool frmMain::focusMoveRefused(const StepScope &step, bool compensationGuard)
{
    if (Check1->checkState() == Qt::Checked) {
        MsgBox(ForceMotorOff, vbconst::vbInformation, Vkm);
        return true;
    }
    return (compensationGuard && compensationRefused(step, CompensationActive)) || portRefused();
}

// The controller compensates temperature, whoever set it, as it reports now; with the port
// closed the port's own guard speaks.
bool frmMain::compensationRefused(const StepScope &step, const QString &active)
{
    if (!portOpen())
        return false;
    const std::optional<bool> compensating = WindowRules::Compensating(GetSerial.get(), true);
    WindowRules::RequireWanted(step);
    if (compensating && !*compensating)
        return false;
    if (compensating)
        MsgBox(active, vbconst::vbInformation, Vkm);
    else
        MsgBox(NoFocuserResponse, vbconst::vbExclamation, Vkm);
    return true;
}

// A goto that Timer3 repeats skips its question once; a refused one leaves no skip behind.
void frmMain::focusGoto(const StepScope &step)
{
    const bool skipQuestion = std::exchange(SkipSlewConfirm, false);
    if (focusMoveRefused(step, true) || (!skipQuestion && !Confirmed(ConfirmSlew)))
        return;
    WindowRules::RequireWanted(step);
    const std::optional<bool> homed = WindowRules::FocuserHomed(GetSerial.get(), true);
    WindowRules::RequireWanted(step);
    if (!homed) {
        MsgBox(NoFocuserResponse, vbconst::vbExclamation, Vkm);
        return;
    }
    if (*homed) {
        const QString text = txtPosition->text();
        if (!vb::IsNumeric(text)) {
            QApplication::beep();
            return;
        }
        send(QStringLiteral("b%1 ").arg(vb::CStr(vb::Int(vb::CDbl(text)))));
        return;
    }
    // Not homed yet: home first, Timer3 repeats the goto when the home report has come.
    if (!send(QStringLiteral("o ")))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    FocusGotoPending = true;
    m_focusGotoStep = step;
    Timer3.setInterval(2000);
    restartTimer3();
}

void frmMain::Check1_MouseUp()
{
    sendCheck(Check1, QStringLiteral("U32 "), QStringLiteral("U0 "));
}

void frmMain::chkCelcius_Click()
{
    trapped([this] {
        // Check box values: 0 cleared, 1 checked, 2 grayed.
        const Qt::CheckState state = chkCelcius->checkState();
        Module().settings.Celcius = int16_t(state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0);
        StoreDriverSetting(QStringLiteral("Celcius"), REG_DWORD, Module().settings.Celcius);
    });
}

void frmMain::chkRecallFocus_MouseUp()
{
    sendCheck(chkRecallFocus, QStringLiteral(" `1 "), QStringLiteral(" `0 "));
}

void frmMain::cmdHome_Click()
{
    trapped([this] {
        const StepScope step = beginStep(GetSerial.get(), MovedDevice::Focuser);
        if (Confirmed(QStringLiteral("Confirm slew home?")))
            sendWanted(step, QStringLiteral("h"));
    });
}

void frmMain::cmdStopFocus_Click()
{
    trapped([this] { send(QStringLiteral("S ")); });
}

void frmMain::cmdRecordFocus_Click()
{
    send(QStringLiteral(" f "));
}

// A stored position chosen: its position, compensated for the temperature on request, and a
// goto to it unless it is "<new>" or where the focuser stands.
void frmMain::Combo1_Click()
{
    trapped([this] {
        ModuleState &m = Module();
        const int i = Combo1->currentIndex();
        if (m.positions.FocusPositions.isEmpty() || !m.link.MainFormOpen || i < 0)
            return;
        const StepScope step = beginStep(GetSerial.get(), MovedDevice::Focuser);
        if (compensationRefused(step, CompensationActiveFocuser))
            return;
        const FocusRecord record = Element(m.positions.FocusPositions, i);
        txtPosition->setText(QString::number(record.Position));
        // The temperature the controller reports now; a goto without one is not compensated.
        const std::optional<double> reported = WindowRules::CompensationTemperature(GetSerial.get());
        WindowRules::RequireWanted(step);
        if (!reported) {
            if (i != 0)
                MsgBox(NoTemperatureReported, vbconst::vbExclamation, Vkm);
        } else if (const float current = float(*reported); record.Temperature != current) {
            const QString question = QStringLiteral("Compensate temperature? (current=%1, saved=%2)")
                                         .arg(vb::Format(current, QStringLiteral("#0.0")),
                                              vb::Format(record.Temperature, QStringLiteral("#0.0")));
            if (MsgBox(question, vbconst::vbYesNo | vbconst::vbQuestion, Vkm) == vbconst::vbYes) {
                const float shift = (current - record.Temperature) * m.focuser.TempCompCoefficient;
                txtPosition->setText(QString::number(vb::CLng(record.Position + double(shift))));
            }
        }
        WindowRules::RequireWanted(step);
        if (i != 0 && txtPosition->text() != lblActual->text())
            focusGoto(step);
    });
}

// Hands the position to the focus store editor and shows it.
void frmMain::cmdStore_Click()
{
    trapped([this] {
        ModuleState &m = Module();
        const int i = Combo1->currentIndex();
        // "<new>" takes the temperature the controller reports now, else none.
        std::optional<float> temperature;
        if (i != 0)
            temperature = Element(m.positions.FocusTemperatures, i);
        else if (const std::optional<double> t = GetSerial ? FocuserStatus::Temperature(*GetSerial) : std::nullopt)
            temperature = float(*t);
        m.positions.StoreTemperature = temperature;
        if (m_unloaded)
            return;
        m.positions.StoreIndex = i;
        if (vb::IsNumeric(lblActual->text()))
            m.positions.StorePosition = vb::CLng(lblActual->text());
        m.positions.StoreRotatorMode = false;
        frmStoreFocus::showModal(this);
    });
}

// The position is read before anything is sent: a caption that is no number sends nothing.
void frmMain::cmdSetMirrorSpacing_Click()
{
    trapped([this] {
        const StepScope step = beginStep(GetSerial.get(), MovedDevice::None);
        const bool homed = WindowRules::FocuserHomed(GetSerial.get(), true).value_or(false);
        WindowRules::RequireWanted(step);
        if (!homed) {
            MsgBox(QStringLiteral("You must first set home position before setting ideal mirror spacing."),
                   vbconst::vbInformation, Vkm);
            return;
        }
        if (!Confirmed(QStringLiteral("Set current position for ideal mirror spacing?")))
            return;
        WindowRules::RequireWanted(step);
        const QString actual = lblActual->text();
        const int32_t position = vb::CLng(actual);
        if (send(QStringLiteral(" E%1 ").arg(actual)))
            IdealSpacingPosition = position;
    });
}

void frmMain::sendStepper(int Index, bool down)
{
    trapped([&] {
        if (Index < 0 || Index > 3)
            return;
        const char letters[] = {'a', 'B', 'C', 'd'};
        const int list = cmbStepSize[Index]->currentIndex();
        if (list < 0 || list >= int(StepperSteps.size()))
            throw VbError(9, QStringLiteral("Subscript out of range"));
        send(QStringLiteral("%1%2%3 ")
                 .arg(QLatin1Char(letters[Index]))
                 .arg(down ? QStringLiteral("-") : QString())
                 .arg(StepperSteps[list]));
    });
}

void frmMain::cmdStepDown_Click(int Index)
{
    sendStepper(Index, true);
}

void frmMain::cmdStepUp_Click(int Index)
{
    sendStepper(Index, false);
}

void frmMain::sendCover(const QString &command)
{
    trapped([&] {
        const StepScope step = beginStep(GetSerial.get(), MovedDevice::None);
        const std::optional<Report> state = WindowRules::Reported(GetSerial.get(), u":CS", QStringLiteral("8 "), true);
        WindowRules::RequireWanted(step);
        if (state && state->numeric && state->v == 9) {
            MsgBox(QStringLiteral("Stepper motors are unplugged"));
            return;
        }
        send(command);
    });
}

void frmMain::cmdOpenPrimaryCover_Click()
{
    sendCover(QStringLiteral("71 "));
}

void frmMain::cmdClosePrimaryCover_Click()
{
    sendCover(QStringLiteral("74 "));
}

// The dialog sends and sets the mode; the button shows it once the dialog's OK went out.
void frmMain::cmdTempComp_Click()
{
    const RunningHandler running(this); // the served events may close the window
    ModuleState &m = Module();
    if (!send(QStringLiteral(" :V ")))
        return;
    const bool taken = frmTempComp::showModal([this] { return GetSerial; }, this);
    if (!taken || m_unloaded) // nothing changed, or the window closed while the dialog was up
        return;
    int16_t mode = m.focuser.TempCompMode;
    if (mode != 1 && mode != 2)
        mode = 0;
    const char *captions[] = {"Temperature Compensation = OFF", "Temperature Compensation = AUTO",
                              "Temperature Compensation = MAN"};
    cmdTempComp->setText(QString::fromLatin1(captions[mode]));
    cmdSynchTempComp->setEnabled(mode == 2);
}

void frmMain::cmdSynchTempComp_Click()
{
    send(QStringLiteral(" +2 "));
}
