// The main window's settings controls: fan, secondary heater and dew heaters (sent only while
// the operator holds the control), the jog-step choosers, the wrap limit and the goto boxes'
// key filter.
#include "windows/frmMain.h"

#include "link/DriverSettings.h"
#include "link/ModuleState.h"
#include "platform/ControlEvents.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbError.h"
#include "windows/frmMainCommands.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

using namespace MainMessages;

namespace {

// A tenth-unit spinner value in its shortest decimal form: 25 shows 2.5, 10 shows 1.
QString tenths(int value)
{
    return vb::CStr(value / 10.0);
}

} // namespace

void frmMain::optFan_Click(int)
{
    trapped([this] {
        if (portRefused())
            return;
        if (FanModeHold)
            send(optFan[1]->isChecked() ? QStringLiteral("n1 ") : QStringLiteral("y%1 ").arg(UpDown2->value()));
        FanSpeedHold = false;
    });
}

void frmMain::optSec_Click(int)
{
    trapped([this] {
        if (portRefused())
            return;
        if (HeaterModeHold)
            send(optSec[1]->isChecked() ? QStringLiteral("w1 ") : QStringLiteral("s%1 ").arg(UpDown5->value()));
    });
}

void frmMain::UpDown1_Change()
{
    trapped([this] {
        lblFanSet->setText(tenths(UpDown1->value()));
        if (FanThresholdHold)
            send(QStringLiteral(" O%1 ").arg(UpDown1->value()));
    });
}

void frmMain::UpDown2_Change()
{
    trapped([this] {
        if (portRefused())
            return;
        if (FanSpeedHold)
            send(QStringLiteral(" y%1 ").arg(UpDown2->value()));
    });
}

void frmMain::UpDown3_Change()
{
    trapped([this] {
        lblFanGain->setText(QString::number(UpDown3->value()));
        if (portRefused())
            return;
        if (FanGainHold)
            send(QStringLiteral(" g%1 ").arg(UpDown3->value() * 10));
    });
}

void frmMain::UpDown5_Change()
{
    trapped([this] {
        if (portRefused())
            return;
        if (HeaterPowerHold)
            send(QStringLiteral(" s%1 ").arg(UpDown5->value()));
    });
}

void frmMain::UpDown6_Change()
{
    trapped([this] {
        lblSecSet->setText(tenths(UpDown6->value()));
        if (HeaterSetpointHold)
            send(QStringLiteral(" P%1 ").arg(UpDown6->value()));
    });
}

void frmMain::udDew1_Change(int Index)
{
    try {
        if (Index == 0 && Dew1Hold)
            send(QStringLiteral(" c%1 ").arg(udDew1[0]->value()));
        else if (Index == 1 && Dew2Hold)
            send(QStringLiteral(" k%1 ").arg(udDew1[1]->value()));
    } catch (const VbError &e) {
        MsgBox(e.description(), vbconst::vbExclamation, Vkm);
    }
}

bool frmMain::StepsSpinner(const QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        return true;
    case QEvent::KeyPress:
        switch (static_cast<const QKeyEvent *>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Delete:
            return true;
        default:
            return !TypedCharacter(event).isNull();
        }
    default:
        return false;
    }
}

// Working the power spinner means manual power: the mode option follows. The operator has
// chosen Manual, so it is sent as a click of the option would send it (power as it stands);
// the new power then goes as for any manual change.
void frmMain::UpDown2_MouseDown()
{
    if (!optFan[1]->isChecked())
        return;
    FanModeHold = true;
    optFan[0]->setChecked(true);
    // The mode click drops the power hold; this press holds it.
    FanSpeedHold = true;
}

void frmMain::UpDown5_MouseDown()
{
    if (optSec[1]->isChecked())
        optSec[0]->setChecked(true);
}

void frmMain::optFocus_Click(int Index)
{
    const int32_t steps[] = {1, 10, 25};
    FocusJogSteps = Index >= 0 && Index <= 2 ? steps[Index] : 100;
    Module().settings.FocusStep = int16_t(Index);
    StoreDriverSetting(QStringLiteral("FocusStep"), REG_DWORD, Module().settings.FocusStep);
}

void frmMain::optRot_Click(int Index)
{
    const int32_t steps[] = {100, 200, 1000, 9000, 0};
    if (Index >= 0 && Index <= 4)
        RotJogSteps = steps[Index];
    Module().settings.RotateStep = int16_t(Index);
    StoreDriverSetting(QStringLiteral("RotateStep"), REG_DWORD, Module().settings.RotateStep);
}

void frmMain::txtRot_Change()
{
    RotJogSteps = 0;
}

void frmMain::txtRot_Click()
{
    if (!optRot[4]->isChecked())
        optRot[4]->setChecked(true);
}

// A step the operator typed is taken, or refused, when the box is left; a text the box was
// given unchanged is not judged again.
void frmMain::txtRot_LostFocus()
{
    if (txtRot->isModified())
        jogStepRefused();
}

void frmMain::udLimits_Change()
{
    Module().settings.ZELLimit = udLimits->value();
}

void frmMain::udLimits_LostFocus()
{
    try {
        StoreDriverSetting(QStringLiteral("ZELLimit"), REG_DWORD, Module().settings.ZELLimit);
    } catch (const std::exception &) {
    }
}

bool frmMain::GotoKeyAccepted(QChar typed, const QString &text)
{
    if ((typed >= QLatin1Char('0') && typed <= QLatin1Char('9')) || typed == QLatin1Char('\b')
        || typed == QLatin1Char('.'))
        return true;
    return typed == QLatin1Char('-') && text.size() <= 1;
}
