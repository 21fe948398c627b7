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
        if (stepper.functions)
            Held(ControlWindows().Main).setPrimaryCoverMode(cmbStepperMode[0]->currentIndex() == 0 ? 0 : 1);
        ChangedFlags[StepperEntry] = false;
    }
    if (servoChanged) {
        transmit(QStringLiteral("u"));
        if (!delivered(QStringLiteral("servo update \"u\"")))
            return false;
    }
    return true;
}

// Step modes, currents and functions of the four channels, each sent only when it came from
// the operator or from the controller in use; channel 1's function is the main window's cover
// mode. The functions go out in one command, so all four must be known for it.
frmCal::StepperBlock frmCal::stepperBlock() const
{
    const std::shared_ptr<Serial> link = MainWindowLink();
    const auto known = [&](const QWidget *control) { return m_stepperOrigins.vouched(control->objectName(), link); };
    StepperBlock block;
    for (int k = 0; k < 4; ++k)
        if (known(cmbStepperStepMode[k]))
            block.commands << QStringLiteral("D%1 ").arg(cmbStepperStepMode[k]->currentIndex() + 4 * (k + 1));
    for (int k = 0; k < 4; ++k)
        if (known(UpDown3[k]))
            block.commands << QStringLiteral("9%1 ").arg(vb::CInt(UpDown3[k]->value() / 1.5) + 64 * k);
    int functions = 0;
    bool allKnown = true, edited = false;
    for (int k = 0; k < 4; ++k) {
        functions += cmbStepperMode[k]->currentIndex() << (4 * k);
        allKnown = allKnown && known(cmbStepperMode[k]);
        edited = edited || m_stepperOrigins.byOperator(cmbStepperMode[k]->objectName());
    }
    if (allKnown) {
        block.commands << QStringLiteral("0%1 ").arg(functions);
        block.functions = true;
    } else if (edited) {
        block.refusal = QStringLiteral("The stepper functions were not all read back from the VKM in use; nothing was uploaded.");
    }
    return block;
}
