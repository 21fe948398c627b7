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
    try {
        if (!portOpen())
            return;
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
        if (sendMarked(commands, servoChanged))
            cmdUploadVKM->setEnabled(false);
    } catch (const std::exception &e) {
        QGuiApplication::restoreOverrideCursor();
        ShowHandlerError(e);
        return;
    }
    QGuiApplication::restoreOverrideCursor();
}

// Sends the checked commands in order; false, after the box, when one did not go out.
bool frmCal::sendMarked(const std::array<RowCommand, 31> &commands, bool servoChanged)
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
        for (const QString &command : stepperBlock()) {
            transmit(command);
            if (!delivered(QStringLiteral("stepper settings")))
                return false;
        }
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

// Step modes, currents and functions of the four channels; channel 1's function is the
// main window's cover mode.
QStringList frmCal::stepperBlock() const
{
    QStringList block;
    for (int k = 0; k < 4; ++k)
        block << QStringLiteral("D%1 ").arg(cmbStepperStepMode[k]->currentIndex() + 4 * (k + 1));
    for (int k = 0; k < 4; ++k)
        block << QStringLiteral("9%1 ").arg(vb::CInt(UpDown3[k]->value() / 1.5) + 64 * k);
    int functions = 0;
    for (int k = 0; k < 4; ++k)
        functions += cmbStepperMode[k]->currentIndex() << (4 * k);
    block << QStringLiteral("0%1 ").arg(functions);
    return block;
}
