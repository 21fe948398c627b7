// The settings upload: one command per marked entry, paced without serving events, then
// the stepper block and the servo's "u".
#include "settings/frmCal.h"

#include "link/ControlWindowHooks.h"
#include "link/HandlerError.h"
#include "platform/Pause.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbError.h"
#include "settings/SettingsReadBack.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <cmath>
#include <iterator>

namespace {

constexpr int PacingMs = 51;
constexpr int LastPacedEntry = 30;
constexpr int StepperEntry = 38;

// A box's text as one command argument: a blank or control character inside would start
// further controller commands.
QString argument(const QLineEdit *box)
{
    const QString text = box->text().trimmed();
    for (const QChar c : text) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            throw VbError(380, QStringLiteral("Invalid property value"));
    }
    return text;
}

QString flag(const char *letter, const QCheckBox *box)
{
    return QStringLiteral(" %1%2 ").arg(QLatin1String(letter)).arg(box->checkState() == Qt::Unchecked ? 0 : 255);
}

QString command(const char *letter, const QString &value)
{
    return QLatin1String(letter) + value + QLatin1Char(' ');
}

// Rounded hundredths of a heater coefficient, or nothing for text that is no number.
QString hundredths(const char *letter, const QLineEdit *box)
{
    if (!vb::IsNumeric(box->text()))
        return QString();
    return command(letter, QString::number(frmCal::HeaterHundredths(box->text())));
}

// What each row is, for the box that says where an upload stopped.
QString rowName(int entry)
{
    static const char *const names[] = {
        "cooling-fan mode", "fan set point", "fan hysteresis", "fan threshold", "fan pulse power",
        "servo proportional", "servo derivative", "servo derivative interval", "servo integral",
        "servo integral limit", "velocity", "acceleration"};
    static const char *const later[] = {
        "overcurrent shut-off", "error messages on hand controller", "motor off within deadband", "deadband",
        "deadband settling time", "heater proportional", "heater derivative", "heater derivative interval",
        "heater integral", "heater integral limit"};
    if (entry < int(std::size(names)))
        return QString::fromLatin1(names[entry]);
    if (entry >= 20 && entry < 20 + int(std::size(later)))
        return QString::fromLatin1(later[entry - 20]);
    return QStringLiteral("stepper settings");
}

} // namespace

int32_t frmCal::FixedPoint(double value)
{
    // The shown text has 15 digits: its product lands a hair off the controller's whole number.
    const int32_t nearest = vb::CLng(value);
    return std::abs(value - nearest) <= 1e-6 ? nearest : vb::CLng(vb::Int(value));
}

int32_t frmCal::HeaterHundredths(const QString &text)
{
    return vb::CLng(vb::CDbl(text) * 100);
}

// A fixed-point servo value: the controller's own value while the box shows what it reported,
// since the shown text does not convert back exactly.
QString frmCal::fixedPoint(const char *letter, const QLineEdit *box) const
{
    const std::optional<QString> reported = m_readBack->source(box->objectName(), box->text());
    const double value = reported ? vb::Val(*reported) : vb::Val(box->text()) * 65536;
    return command(letter, QString::number(FixedPoint(value)));
}

// The command of one marked entry; empty for entries that send nothing.
QString frmCal::uploadCommand(int entry, bool &servoChanged) const
{
    const auto spin = [](const char *letter, const QSpinBox *s) { return command(letter, QString::number(s->value())); };
    const auto servo = [&](const char *letter, const QLineEdit *box) {
        const QString text = command(letter, argument(box));
        servoChanged = true;
        return text;
    };
    switch (entry) {
    case 0:
        return optIntFan[0]->isChecked() ? QStringLiteral("{0 ")
               : optIntFan[1]->isChecked() ? QStringLiteral("{255 ")
                                            : QStringLiteral("}255 ");
    case 1: return spin("[", udIntFanSet);
    case 2: return spin("]", udIntFanHyst);
    case 3: return spin("@", UpDown1);
    case 4: return spin("z", UpDown2);
    case 5: return servo("p", txtKP);
    case 6: return servo("d", txtKd);
    case 7: return servo("e", txtDeriv);
    case 8: return servo("i", txtki);
    case 9: return servo("j", txtil);
    case 10: return fixedPoint("v", txtVelocity);
    case 11: return fixedPoint("a", txtAcc);
    case 20: return flag("N", chkAutoCurrent);
    case 21: return flag("K", chkErrorHandheld);
    case 22: return flag("X", chkDeadband);
    case 23: // the number typed or loaded into the box, as the spinner takes it
        udDeadband->takeBuddyNumber();
        return spin("Y", udDeadband);
    case 24: return spin("W", udDBSettle);
    case 25: return hundredths("L", txtSKp);
    case 26: return hundredths("^", txtSKd);
    case 27: return vb::IsNumeric(txtSDI->text()) ? command("?", txtSDI->text().trimmed()) : QString();
    case 28: return hundredths("#", txtSKi);
    case 29: return vb::IsNumeric(txtSecKi->text()) ? command("~", txtSecKi->text().trimmed()) : QString();
    default: return QString(); // coefficients and step size: nothing for the controller
    }
}

void frmCal::cmdUploadVKM_Click()
{
    if (!SkipUploadPrompt
        && MsgBox(QStringLiteral("Upload changes to VKM?"), vbconst::vbOKCancel | vbconst::vbQuestion, QStringLiteral("VKM"))
               == vbconst::vbCancel)
        return;
    try {
        if (!portOpen())
            return;
    } catch (const std::exception &e) {
        ShowHandlerError(e);
        return;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    bool servoChanged = false, servoSent = false;
    int entry = 0;
    try {
        for (; entry <= LastPacedEntry; ++entry) {
            if (ChangedFlags[entry]) {
                const QString text = uploadCommand(entry, servoChanged);
                if (!text.isEmpty()) {
                    transmit(text);
                    servoSent = servoChanged;
                }
            }
            ChangedFlags[entry] = false;
            Pause(PacingMs); // the main window's timers must not slip their commands in between
        }
        entry = StepperEntry;
        if (ChangedFlags[StepperEntry]) {
            sendStepperBlock();
            ChangedFlags[StepperEntry] = false;
        }
        if (servoChanged)
            transmit(QStringLiteral("u"));
        cmdUploadVKM->setEnabled(false);
    } catch (const std::exception &e) {
        // Servo rows that went out take effect only with their "u".
        if (servoSent) {
            try {
                transmit(QStringLiteral("u"));
            } catch (const std::exception &) {
            }
        }
        QGuiApplication::restoreOverrideCursor();
        const auto *vbError = dynamic_cast<const VbError *>(&e);
        ShowHandlerError(VbError(vbError ? vbError->number() : 0,
                                 QStringLiteral("%1 (upload stopped at: %2)")
                                     .arg(vbError ? vbError->description() : QString::fromUtf8(e.what()), rowName(entry))));
        return;
    }
    QGuiApplication::restoreOverrideCursor();
}

// Step modes, currents and functions of the four channels; channel 1's function is the
// main window's cover mode.
void frmCal::sendStepperBlock()
{
    for (int k = 0; k < 4; ++k)
        transmit(QStringLiteral("D%1 ").arg(cmbStepperStepMode[k]->currentIndex() + 4 * (k + 1)));
    for (int k = 0; k < 4; ++k)
        transmit(QStringLiteral("9%1 ").arg(vb::CInt(UpDown3[k]->value() / 1.5) + 64 * k));
    int functions = 0;
    for (int k = 0; k < 4; ++k)
        functions += cmbStepperMode[k]->currentIndex() << (4 * k);
    transmit(QStringLiteral("0%1 ").arg(functions));
    if (MainWindowAccess *main = ControlWindows().Main)
        main->setPrimaryCoverMode(cmbStepperMode[0]->currentIndex() == 0 ? 0 : 1);
    else
        throw VbError(91, QStringLiteral("Object variable or With block variable not set"));
}
