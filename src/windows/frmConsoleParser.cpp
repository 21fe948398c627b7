// The console's report parser: its subset of the report codes. Temperatures show in the
// controller's unit, the restart notice is not answered.
#include "windows/frmConsole.h"

#include "link/ModuleState.h"
#include "link/Serial.h"
#include "platform/Vb.h"
#include "windows/Forms.h"
#include "windows/WindowRules.h"
#include "windows/frmWrapMessage.h"

#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>

using WindowRules::setSpin;
using WindowRules::skip;

void frmConsole::cm_MyEvent(const QString &s)
{
    Handle_Received(s);
}

void frmConsole::Handle_Received(const QString &data)
{
    m_reply.Handle_Received(data);
}

void frmConsole::dispatch(QStringView codeView, QStringView valueView)
{
    ModuleState &m = Module();
    const QString text = valueView.toString();
    const bool numeric = vb::IsNumeric(text);
    const double v = numeric ? vb::CDbl(text) : 0.0;
    const auto is = [&](const char *code) { return codeView == QLatin1String(code); };

    if (is(":a")) {
        if (!text.isEmpty())
            lblActual->setText(text);
    } else if (is(":t1") || is(":t2") || is(":t3")) {
        if (!numeric)
            return;
        const QString shown = vb::CStr(v / 100);
        if (is(":t1")) {
            lblAmbient[0]->setText(shown);
            lblAmbient[1]->setText(shown);
            m.temperatures.AmbientTemperature = v / 100;
        } else if (is(":t2")) {
            lblPrimary->setText(shown);
            m.temperatures.PrimaryTemperature = v / 100;
        } else {
            lblSecondary->setText(shown);
            m.temperatures.SecondaryTemperature = v / 100;
        }
    } else if (is(":fm") || is(":sm")) {
        const bool fan = is(":fm");
        if (numeric && !(fan ? FanHold : HeaterHold) && v >= 0 && v < 3)
            skip([&] { (fan ? optFan : optSec).at(vb::CInt(v))->setChecked(true); });
    } else if (is(":fs") || is(":ss")) {
        const auto power = numeric ? WindowRules::ReportedPower(v) : std::nullopt;
        if (!power)
            return;
        const bool fan = is(":fs");
        if (!(fan ? FanHold : HeaterHold))
            setSpin(fan ? UpDown2 : UpDown4, *power);
        (fan ? m.temperatures.FanSpeed : m.temperatures.SecondaryHeaterPower) = int16_t(*power);
    } else if (is(":d1") || is(":d2")) {
        const bool first = is(":d1");
        const auto power = numeric ? WindowRules::ReportedPower(v) : std::nullopt;
        if (power && !(first ? Dew1Hold : Dew2Hold))
            setSpin(first ? UpDown5 : UpDown6, *power);
    } else if (is(":rs")) {
        if (numeric)
            rotatorTarget(v);
    } else if (is(":rt")) {
        rotatorActual(text);
    } else if (is(":wr")) {
        rotatorWrap(text);
    } else if (is(":mb")) {
        skip([&] { m.focuser.ForceMotorOff = vb::Val(text) != 0; });
    }
    // Every other code, the restart notice ":!" among them, is left alone here.
}

void frmConsole::rotatorTarget(double v)
{
    if (optSet[0]->isChecked())
        skip([&] { lblRotate->setText(vb::Format(v / 200, QStringLiteral("#0.00"))); });
    if (WindowRules::PushRotatorTargetToTheSky(v, TheSkyUpdateHold))
        restartTimer3();
    skip([&] { Module().rotator.RotatorSetPosition = vb::CLng(v); });
}

void frmConsole::rotatorActual(const QString &text)
{
    ModuleState::Rotator &r = Module().rotator;
    if (!vb::IsNumeric(text)) {
        r.RotatorMoving = r.RotatorPosition != r.RotatorSetPosition;
        return;
    }
    const double v = vb::CDbl(text);
    if (optSet[1]->isChecked())
        skip([&] { lblRotate->setText(vb::Format(v / 200, QStringLiteral("#0.00"))); });
    WindowRules::NoteRotatorActual(v);
}

void frmConsole::rotatorWrap(const QString &text)
{
    ModuleState::Rotator &r = Module().rotator;
    if (vb::IsNumeric(text))
        skip([&] { r.RotatorWrap = vb::CLng(vb::CDbl(text)); });
    if (!WrapLimitStopped && WindowRules::WrapLimitCrossed()) {
        // The transmit leaves at once; nothing is pumped inside the parser.
        if (cm)
            cm->Transmit(QStringLiteral("q0 "));
        WrapLimitStopped = true;
        WrapMessageForm()->show();
        Timer3.setEnabled(true);
    }
    r.LastWrap = r.RotatorWrap;
}
