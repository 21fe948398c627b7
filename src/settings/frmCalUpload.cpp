// The settings upload: every marked row checked, then one command per marked row, paced
// without serving events, then the stepper block and the servo's "u". Each command must
// leave the port before the next, and the upload claims nothing it cannot show went out.
#include "settings/frmCal.h"

#include "link/ControlWindowHooks.h"
#include "link/HandlerError.h"
#include "link/Serial.h"
#include "platform/Held.h"
#include "platform/Pause.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbError.h"
#include "settings/OptionRows.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>

namespace {

constexpr int PacingMs = 51;
constexpr int LastPacedEntry = 30;
constexpr int StepperEntry = 38;

} // namespace

bool frmCal::delivered(const QString &what)
{
    const std::shared_ptr<Serial> link = MainWindowLink();
    if (link && link->OutputDelivered())
        return true;
    MsgBox(QStringLiteral("Error:  The upload stopped at the %1: it and what follows it did not reach the VKM.").arg(what),
           vbconst::vbExclamation, QStringLiteral("VKM"));
    return false;
}

void frmCal::cmdUploadVKM_Click()
{
    if (!SkipUploadPrompt
        && MsgBox(QStringLiteral("Upload changes to VKM?"), vbconst::vbOKCancel | vbconst::vbQuestion, QStringLiteral("VKM"))
               == vbconst::vbCancel)
        return;
    // Every marked row is checked before any goes out: the controller gets all or none.
    std::array<RowCommand, LastPacedEntry + 1> commands{};
    bool servoChanged = false;
    StepperBlock stepper;
    try {
        if (!portOpen())
            return;
        if (ChangedFlags[StepperEntry]) {
            stepper = stepperBlock();
            if (!stepper.refusal.isEmpty()) {
                MsgBox(stepper.refusal, vbconst::vbExclamation, QStringLiteral("VKM"));
                return;
            }
        }
        for (int entry = 0; entry <= LastPacedEntry; ++entry) {
            const OptionRow *row = OptionRows::byEntry(entry);
            if (!ChangedFlags[entry] || !row)
                continue;
            commands[entry] = rowCommand(*row);
            if (!commands[entry].refusal.isEmpty()) {
                MsgBox(commands[entry].refusal, vbconst::vbExclamation, QStringLiteral("VKM"));
                return;
            }
            servoChanged = servoChanged || commands[entry].servo;
        }
    } catch (const std::exception &e) {
        ShowHandlerError(e);
        return;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        if (sendMarked(commands, servoChanged, stepper))
            cmdUploadVKM->setEnabled(false);
    } catch (const std::exception &e) {
        QGuiApplication::restoreOverrideCursor();
        ShowHandlerError(e);
        return;
    }
    QGuiApplication::restoreOverrideCursor();
}

// Sends the checked commands in order; false, after the box, when one did not go out.
bool frmCal::sendMarked(const std::array<RowCommand, 31> &commands, bool servoChanged, const StepperBlock &stepper)
{
    bool servoSent = false;
    for (int entry = 0; entry <= LastPacedEntry; ++entry) {
        if (ChangedFlags[entry] && !commands[entry].text.isEmpty()) {
            transmit(commands[entry].text);
            if (!delivered(QString::fromLatin1(OptionRows::byEntry(entry)->name))) {
                // Servo rows that went out take effect only with their "u".
                if (servoSent)
                    transmit(QStringLiteral("u"));
                return false;
            }
            servoSent = servoSent || commands[entry].servo;
        }
        ChangedFlags[entry] = false;
        Pause(PacingMs); // the main window's timers must not slip their commands in between
    }
    if (ChangedFlags[StepperEntry]) {
        for (const QString &command : stepper.commands) {
            transmit(command);
            if (!delivered(QStringLiteral("stepper settings")))
                return false;
        }
        if (stepper.coverMode)
            Held(ControlWindows().Main).setPrimaryCoverMode(*stepper.coverMode);
        ChangedFlags[StepperEntry] = false;
        m_stepperOrigins.clear(); // the controller has them now, for anyone to change
    }
    if (servoChanged) {
        transmit(QStringLiteral("u"));
        if (!delivered(QStringLiteral("servo update \"u\"")))
            return false;
    }
    return true;
}

// Step modes, currents and functions of the four channels: each the operator's choice, or the
// controller's value as its record holds it now; one read back that a later command (of any
// sender) changed goes nowhere, so the controller keeps what it has. Channel 1's function is
// the main window's cover mode. The functions go out in one command, so all four must be
// known for it: a function the operator chose is refused, naming the others that are not.
frmCal::StepperBlock frmCal::stepperBlock() const
{
    const std::shared_ptr<Serial> link = MainWindowLink();
    // The value `control` of channel k sends (in the controller's units, then `scale`d), when
    // known and below `limit`.
    const auto known = [&](const QWidget *control, double shown, const char *code, int k, double scale, int limit) -> std::optional<int> {
        const std::optional<double> value =
            m_stepperOrigins.value(control->objectName(), shown, QStringLiteral(":S%1%2").arg(k + 2).arg(QLatin1String(code)), link);
        if (!value || *value < 0 || *value / scale >= limit - 0.5)
            return std::nullopt;
        return vb::CInt(*value / scale);
    };
    StepperBlock block;
    for (int k = 0; k < 4; ++k)
        if (const auto mode = known(cmbStepperStepMode[k], cmbStepperStepMode[k]->currentIndex(), "SM", k, 1, 4))
            block.commands << QStringLiteral("D%1 ").arg(*mode + 4 * (k + 1));
    for (int k = 0; k < 4; ++k) // reported in 1/90 A, sent in 1/60 A
        if (const auto current = known(UpDown3[k], UpDown3[k]->value(), "C", k, 1.5, 64))
            block.commands << QStringLiteral("9%1 ").arg(*current + 64 * k);
    int functions = 0;
    QStringList unknown;
    bool edited = false;
    for (int k = 0; k < 4; ++k) {
        if (const auto function = known(cmbStepperMode[k], cmbStepperMode[k]->currentIndex(), "M", k, 1, 2))
            functions += *function << (4 * k);
        else
            unknown << QStringLiteral("Stepper %1").arg(k + 1);
        edited = edited || m_stepperOrigins.byOperator(cmbStepperMode[k]->objectName());
    }
    if (unknown.isEmpty()) {
        block.commands << QStringLiteral("0%1 ").arg(functions);
        block.coverMode = functions & 1;
    } else if (edited) {
        const QString last = unknown.takeLast();
        const QString named = unknown.isEmpty() ? last : unknown.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
        block.refusal = QStringLiteral("The function of %1 was not read back from the VKM in use since it last changed; "
                                       "nothing was uploaded.").arg(named);
    }
    return block;
}
