#include "drivers/Temperature.h"

#include "drivers/DriverErrors.h"
#include "link/DriverSettings.h"
#include "link/ModuleState.h"
#include "link/ReportTable.h"
#include "link/Serial.h"
#include "platform/Clock.h"
#include "platform/Vb.h"

namespace {

const QString VkmSource = QStringLiteral("VKM");

// The whole status report takes about a quarter of a second at 9600 baud.
constexpr int StatusWaitMs = 1500;
// Status younger than this is fresh: no query.
constexpr uint32_t FreshMs = 1001;
const QString StatusQuery = QStringLiteral("T ");
const char FanUnavailable[] = "Fan Mode currently unavailable, try again.";
const char HeaterUnavailable[] = "Secondary heater mode currently unavailable, try again.";

QString command(const char *letters, int32_t value)
{
    return QLatin1String(letters) + vb::CStr(value) + QLatin1Char(' ');
}

// Tenths go to the controller as the Single product, fraction kept: 0.25 gives "2.5".
QString tenthsCommand(const char *letters, float value)
{
    return QLatin1String(letters) + vb::CStr(value * 10.0f) + QLatin1Char(' ');
}

} // namespace

const Report &Temperature::current(QStringView code, const char *unavailable, bool once)
{
    if (!awaitReport(code, StatusQuery, StatusWaitMs, once))
        refuse(DriverErrors::Unavailable, QString::fromLatin1(unavailable), VkmSource);
    return cm->Reports().Last(code)->report;
}

void Temperature::requireManual(QStringView modeCode, const char *unavailable, const char *description)
{
    const Report &mode = current(modeCode, unavailable);
    if (!mode.numeric || mode.v != 0)
        refuse(DriverErrors::InvalidOperation, QString::fromLatin1(description), VkmSource);
}

Temperature::Temperature()
    : DriverFrame(VbError(DriverErrors::NotLinked, QStringLiteral("VKM not connected"), VkmSource))
{
    tm.setInterval(5000);
    CheckRegistry();
    if (portOpen())
        send(QStringLiteral(" T "));

    const ModuleState::Temperatures &temperatures = Module().temperatures;
    PropertyGet("Connected", [this] { return Connected(); });
    PropertyGet("AmbientTemp", polled(u":t1", temperatures.AmbientTemperature));
    PropertyGet("PrimaryTemp", polled(u":t2", temperatures.PrimaryTemperature));
    PropertyGet("SecondaryTemp", polled(u":t3", temperatures.SecondaryTemperature));
    PropertyGet("ElectronicTemp", polled(u":t7", ElectronicTempValue));
    PropertyGet("AmbientTempRaw", polled(u":t4", RawAmbient));
    PropertyGet("PrimaryTempRaw", polled(u":t5", RawPrimary));
    PropertyGet("SecondaryTempRaw", polled(u":t6", RawSecondary));
    PropertyLet("FanMode", [this](int16_t value) { setFanMode(value); });
    PropertyGet("FanMode", polled(u":fm", FanModeValue));
    PropertyLet("FanSpeed", [this](int16_t value) { setFanSpeed(value); });
    PropertyGet("FanSpeed", polled(u":fs", FanSpeedValue));
    PropertyLet("Connected", [this](bool value) { setConnected(value); });
    Method("Handle_Received", [this](const Variant &buffer) {
        // The parser never fails towards its caller, whatever it is handed.
        try {
            Handle_Received(buffer.toString());
        } catch (const VbError &) {
        }
    });
    PropertyGet("FanDeadband", polled(u":ft", FanDeadbandValue));
    PropertyLet("FanDeadband", [this](float value) { setFanDeadband(value); });
    PropertyGet("FanAggressiveness", polled(u":fg", FanAggressivenessValue));
    PropertyLet("FanAggressiveness", [this](float value) { setFanAggressiveness(value); });
    PropertyGet("SecondaryHeaterMode", polled(u":sm", HeaterModeValue));
    PropertyLet("SecondaryHeaterMode", [this](int16_t value) { setSecondaryHeaterMode(value); });
    PropertyLet("SecondaryHeaterPower", [this](int16_t value) { setSecondaryHeaterPower(value); });
    PropertyGet("SecondaryHeaterPower", polled(u":ss", HeaterPowerValue));
    PropertyGet("SecondaryHeaterSetpoint", polled(u":st", HeaterSetpointValue));
    PropertyLet("SecondaryHeaterSetpoint", [this](float value) { setSecondaryHeaterSetpoint(value); });
    PropertyLet("DewHeater1Power", [this](int16_t value) { setDewHeater1Power(value); });
    PropertyGet("DewHeater1Power", polled(u":d1", Dew1PowerValue));
    PropertyLet("DewHeater2Power", [this](int16_t value) { setDewHeater2Power(value); });
    PropertyGet("DewHeater2Power", polled(u":d2", Dew2PowerValue));
    PropertyGet("TemperatureUnits", [] { return int16_t(1); });
}

void Temperature::setConnected(bool value)
{
    VkmHandshake form;
    form.laterInterval = 5000;
    form.stopTimerOnFailure = true;
    form.opening = [this] { send(QStringLiteral("T ")); };
    // The timer keeps ticking after a link; its ticks change nothing.
    form.afterSuccess = [this] {
        tm.setEnabled(true);
        tm.setInterval(5000);
    };
    linkVkmStyle(value, form);
}

void Temperature::Handle_Received(const QString &buffer)
{
    m_reply.Handle_Received(buffer);
}

void Temperature::pollTemperatures(QStringView code)
{
    requireLine();
    // Status some window asked for is fresh too.
    const ControllerReports::Value *ambient = cm->Reports().Last(u":t1");
    if (!ambient || Clock::TicksSince(ambient->tick) >= FreshMs || !cm->Reports().Last(code))
        poll(LastQuery, FreshMs, StatusQuery, 500, code);
    requireReported(code);
}

void Temperature::setFanMode(int16_t value)
{
    requireSendable(value >= 0 && value <= 2, "Fan Mode value out of range.");
    // Manual takes the fan speed along: the one reported now. The other modes want the
    // status reported once, as ever.
    const Report &speed = current(u":fs", FanUnavailable, value != 0);
    FanModeValue = value;
    if (value == 0) {
        FanSpeedValue = speed.numeric && speed.v >= 0 && speed.v <= 100 ? vb::CInt(speed.v) : 0;
        send(command("y", FanSpeedValue));
    } else if (value == 1) {
        send(QStringLiteral("n1 "));
    } else {
        FanSpeedValue = 0;
        send(QStringLiteral("n2 "));
    }
}

void Temperature::setFanSpeed(int16_t value)
{
    requireSendable(value >= 0 && value <= 100, "Fan Speed value out of range.");
    requireManual(u":fm", FanUnavailable, "Fan Mode is not Manual.");
    FanSpeedValue = value;
    send(command("y", value));
}

void Temperature::setFanDeadband(float value)
{
    requireSendable(value >= 0 && value <= 10, "Deadband value out of range.");
    FanDeadbandValue = value;
    send(tenthsCommand(" O", value));
}

void Temperature::setFanAggressiveness(float value)
{
    requireSendable(value >= 0.1f && value <= 10, "Aggressiveness value out of range.");
    FanAggressivenessValue = value;
    send(tenthsCommand(" g", value));
}

void Temperature::setSecondaryHeaterMode(int16_t value)
{
    requireSendable(value >= 0 && value <= 2, "Secondary heater mode value out of range.");
    // Manual takes the heater power along: the one reported now.
    if (value == 0)
        HeaterPowerValue = int16_t(ReportValue::Power(current(u":ss", HeaterUnavailable)).value_or(0));
    HeaterModeValue = value;
    send(value == 0 ? command("s", HeaterPowerValue) : command("w", value));
}

void Temperature::setSecondaryHeaterPower(int16_t value)
{
    requireSendable(value >= 0 && value <= 100, "Secondary Power value out of range.");
    requireManual(u":sm", HeaterUnavailable, "Secondary heater mode is not Manual.");
    HeaterPowerValue = value;
    send(command("s", value));
}

void Temperature::setSecondaryHeaterSetpoint(float value)
{
    requireSendable(value >= -10 && value <= 10, "Secondary heater setpoint value out of range.");
    HeaterSetpointValue = value;
    send(tenthsCommand("P", value));
}

void Temperature::setDewHeater1Power(int16_t value)
{
    requireSendable(value >= 0 && value <= 100, "Dew heater 1 Power value out of range.");
    Dew1PowerValue = value;
    send(command("c", value));
}

void Temperature::setDewHeater2Power(int16_t value)
{
    requireSendable(value >= 0 && value <= 100, "Dew heater 2 Power value out of range.");
    Dew2PowerValue = value;
    send(command("k", value));
}

void Temperature::dispatchReport(QStringView code, QStringView value)
{
    using T = Temperature;
    // Codes that read only a number: any other value is ignored.
    const auto number = [](void (*body)(T &, double)) -> ReportTable<T>::Handler {
        return [body](T &t, const Report &r) {
            if (r.numeric)
                body(t, r.v);
        };
    };
    const auto degrees = [](void (*body)(T &, double)) -> ReportTable<T>::Handler {
        return [body](T &t, const Report &r) {
            if (const auto d = ReportValue::Temperature(r))
                body(t, *d);
        };
    };
    const auto power = [](int16_t T::*field) -> ReportTable<T>::Handler {
        return [field](T &t, const Report &r) {
            if (const auto p = ReportValue::Power(r))
                t.*field = int16_t(*p);
        };
    };
    static const ReportTable<T> table{
        {":!", [](T &t, const Report &) { t.AckReceived = true; }},
        {":vr", [](T &, const Report &r) { Module().link.FirmwareVersion = r.text; }},
        {":t1", degrees([](T &, double d) { Module().temperatures.AmbientTemperature = d; })},
        {":t2", degrees([](T &, double d) { Module().temperatures.PrimaryTemperature = d; })},
        {":t3", degrees([](T &, double d) { Module().temperatures.SecondaryTemperature = d; })},
        {":t7", degrees([](T &t, double d) { t.ElectronicTempValue = d; })},
        {":t4", number([](T &t, double n) { t.RawAmbient = vb::CInt(n); })},
        {":t5", number([](T &t, double n) { t.RawPrimary = vb::CInt(n); })},
        {":t6", number([](T &t, double n) { t.RawSecondary = vb::CInt(n); })},
        {":fm", number([](T &t, double n) {
             if (n >= 0 && n <= 2)
                 t.FanModeValue = vb::CInt(n);
         })},
        {":fs", number([](T &t, double n) {
             if (n >= 0 && n <= 100)
                 t.FanSpeedValue = vb::CInt(n);
         })},
        {":fg", number([](T &t, double n) {
             if (n >= 1 && n <= 100)
                 t.FanAggressivenessValue = vb::CSng(n / 10);
         })},
        {":ft", number([](T &t, double n) {
             if (n >= 0 && n <= 100)
                 t.FanDeadbandValue = vb::CSng(n / 10);
         })},
        {":sm", number([](T &t, double n) {
             if (n >= 0 && n <= 2)
                 t.HeaterModeValue = vb::CInt(n);
         })},
        {":ss", power(&T::HeaterPowerValue)},
        {":st", number([](T &t, double n) {
             if (n >= -100 && n <= 100)
                 t.HeaterSetpointValue = vb::CSng(n / 10);
         })},
        {":d1", power(&T::Dew1PowerValue)},
        {":d2", power(&T::Dew2PowerValue)},
    };
    table.dispatch(*this, Report(code, value));
}
