// The console's report parser: its subset of the report codes. Temperatures show in the
// controller's unit, the restart notice is not answered.
#include "windows/frmConsole.h"

#include "link/ModuleState.h"
#include "link/ReportTable.h"
#include "link/RotatorSteps.h"
#include "link/Serial.h"
#include "platform/Vb.h"
#include "windows/Forms.h"
#include "windows/WindowRules.h"

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

void frmConsole::dispatch(QStringView code, QStringView value)
{
    using C = frmConsole;
    // Every other code, the restart notice ":!" among them, is left alone here.
    static const ReportTable<C> table{
        {":a", [](C &c, const Report &r) {
             if (!r.text.isEmpty())
                 c.lblActual->setText(r.text);
         }},
        {":t1", &C::temperatureReport}, {":t2", &C::temperatureReport}, {":t3", &C::temperatureReport},
        {":fm", &C::modeReport},        {":sm", &C::modeReport},
        {":fs", &C::powerReport},       {":ss", &C::powerReport},
        {":d1", &C::powerReport},       {":d2", &C::powerReport},
        {":rs", &C::rotatorTarget},     {":rt", &C::rotatorActual},         {":wr", &C::rotatorWrap},
        {":mb", [](C &, const Report &r) { skip([&] { Module().focuser.ForceMotorOff = ReportValue::Flag(r); }); }},
    };
    table.dispatch(*this, code, value);
}

void frmConsole::temperatureReport(const Report &r)
{
    const auto degrees = ReportValue::Temperature(r);
    if (!degrees)
        return;
    auto &t = Module().temperatures;
    const QString shown = vb::CStr(*degrees);
    if (r.code == QLatin1String(":t1")) {
        lblAmbient[0]->setText(shown);
        lblAmbient[1]->setText(shown);
        t.AmbientTemperature = *degrees;
    } else if (r.code == QLatin1String(":t2")) {
        lblPrimary->setText(shown);
        t.PrimaryTemperature = *degrees;
    } else {
        lblSecondary->setText(shown);
        t.SecondaryTemperature = *degrees;
    }
}

void frmConsole::modeReport(const Report &r)
{
    const bool fan = r.code == QLatin1String(":fm");
    if (r.numeric && !(fan ? FanHold : HeaterHold) && r.v >= 0 && r.v < 3)
        skip([&] { (fan ? optFan : optSec).at(vb::CInt(r.v))->setChecked(true); });
}

void frmConsole::powerReport(const Report &r)
{
    const auto power = ReportValue::Power(r);
    if (!power)
        return;
    auto &t = Module().temperatures;
    if (r.code == QLatin1String(":fs") || r.code == QLatin1String(":ss")) {
        const bool fan = r.code == QLatin1String(":fs");
        if (!(fan ? FanHold : HeaterHold))
            setSpin(fan ? UpDown2 : UpDown4, *power);
        (fan ? t.FanSpeed : t.SecondaryHeaterPower) = int16_t(*power);
    } else {
        const bool first = r.code == QLatin1String(":d1");
        if (!(first ? Dew1Hold : Dew2Hold))
            setSpin(first ? UpDown5 : UpDown6, *power);
    }
}

void frmConsole::rotatorTarget(const Report &r)
{
    const auto steps = ReportValue::RotatorSteps(r);
    if (!steps)
        return;
    if (optSet[0]->isChecked())
        skip([&] { lblRotate->setText(vb::Format(*steps / RotatorStepsPerDegree, QStringLiteral("#0.00"))); });
    if (WindowRules::PushRotatorTargetToTheSky(*steps, TheSkyUpdateHold))
        restartTimer3();
    skip([&] { Module().rotator.RotatorSetPosition = vb::CLng(*steps); });
}

void frmConsole::rotatorActual(const Report &r)
{
    ModuleState::Rotator &rot = Module().rotator;
    const auto steps = ReportValue::RotatorSteps(r);
    if (!steps) {
        rot.RotatorMoving = rot.RotatorPosition != rot.RotatorSetPosition;
        return;
    }
    if (optSet[1]->isChecked())
        skip([&] { lblRotate->setText(vb::Format(*steps / RotatorStepsPerDegree, QStringLiteral("#0.00"))); });
    WindowRules::NoteRotatorActual(*steps);
}

void frmConsole::rotatorWrap(const Report &r)
{
    ModuleState::Rotator &rot = Module().rotator;
    skip([&] {
        if (const auto wrap = ReportValue::Wrap(r))
            rot.RotatorWrap = *wrap;
    });
    if (WindowRules::StopAtWrapLimit(this, cm.get(), WrapLimitStopped))
        Timer3.setEnabled(true);
    rot.LastWrap = rot.RotatorWrap;
}
