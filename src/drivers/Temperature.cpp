#include "drivers/Temperature.h"

#include "drivers/DriverErrors.h"
#include "link/DriverSettings.h"
#include "link/ModuleState.h"
#include "platform/Clock.h"
#include "platform/Vb.h"

namespace {

const QString VkmSource = QStringLiteral("VKM");

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

void Temperature::requireRange(bool inRange, const char *description)
{
    if (!inRange)
        refuse(DriverErrors::ValueOutOfRange, QString::fromLatin1(description), VkmSource);
}

void Temperature::requireManual(int16_t mode, const char *description)
{
    if (mode != 0)
        refuse(DriverErrors::InvalidOperation, QString::fromLatin1(description), VkmSource);
}

Temperature::Temperature()
{
    tm.setInterval(5000);
    CheckRegistry();
    if (portOpen())
        send(QStringLiteral(" T "));

    const ModuleState::Temperatures &temperatures = Module().temperatures;
    PropertyGet("Connected", [this] { return Connected(); });
    PropertyGet("AmbientTemp", polled(temperatures.AmbientTemperature));
    PropertyGet("PrimaryTemp", polled(temperatures.PrimaryTemperature));
    PropertyGet("SecondaryTemp", polled(temperatures.SecondaryTemperature));
    PropertyGet("ElectronicTemp", polled(ElectronicTempValue));
    PropertyGet("AmbientTempRaw", polled(RawAmbient));
    PropertyGet("PrimaryTempRaw", polled(RawPrimary));
    PropertyGet("SecondaryTempRaw", polled(RawSecondary));
    PropertyLet("FanMode", [this](int16_t value) { setFanMode(value); });
    PropertyGet("FanMode", polled(FanModeValue));
    PropertyLet("FanSpeed", [this](int16_t value) { setFanSpeed(value); });
    PropertyGet("FanSpeed", polled(FanSpeedValue));
    PropertyLet("Connected", [this](bool value) { setConnected(value); });
    Method("Handle_Received", [this](const Variant &buffer) {
        // The parser never fails towards its caller, whatever it is handed.
        try {
            Handle_Received(buffer.toString());
        } catch (const VbError &) {
        }
    });
    PropertyGet("FanDeadband", polled(FanDeadbandValue));
    PropertyLet("FanDeadband", [this](float value) { setFanDeadband(value); });
    PropertyGet("FanAggressiveness", polled(FanAggressivenessValue));
    PropertyLet("FanAggressiveness", [this](float value) { setFanAggressiveness(value); });
    PropertyGet("SecondaryHeaterMode", polled(HeaterModeValue));
    PropertyLet("SecondaryHeaterMode", [this](int16_t value) { setSecondaryHeaterMode(value); });
    PropertyLet("SecondaryHeaterPower", [this](int16_t value) { setSecondaryHeaterPower(value); });
    PropertyGet("SecondaryHeaterPower", polled(HeaterPowerValue));
    PropertyGet("SecondaryHeaterSetpoint", polled(HeaterSetpointValue));
    PropertyLet("SecondaryHeaterSetpoint", [this](float value) { setSecondaryHeaterSetpoint(value); });
    PropertyLet("DewHeater1Power", [this](int16_t value) { setDewHeater1Power(value); });
    PropertyGet("DewHeater1Power", polled(Dew1PowerValue));
    PropertyLet("DewHeater2Power", [this](int16_t value) { setDewHeater2Power(value); });
    PropertyGet("DewHeater2Power", polled(Dew2PowerValue));
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

void Temperature::pollTemperatures()
{
    poll(1001, QStringLiteral("T "), [this] { AmbientSeen = false; }, [this] { return AmbientSeen; }, 500);
}

void Temperature::setFanMode(int16_t value)
{
    requireRange(value >= 0 && value <= 2, "Fan Mode value out of range.");
    // Until the controller has reported its status the mode is left alone.
    if (!StatusSeen)
        return;
    FanModeValue = value;
    if (value == 0) {
        if (FanSpeedValue < 0 || FanSpeedValue > 100)
            FanSpeedValue = 0;
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
    requireRange(value >= 0 && value <= 100, "Fan Speed value out of range.");
    requireManual(FanModeValue, "Fan Mode is not Manual.");
    FanSpeedValue = value;
    send(command("y", value));
}

void Temperature::setFanDeadband(float value)
{
    requireRange(value >= 0 && value <= 10, "Deadband value out of range.");
    FanDeadbandValue = value;
    send(tenthsCommand(" O", value));
}

void Temperature::setFanAggressiveness(float value)
{
    requireRange(value >= 0.1f && value <= 10, "Aggressiveness value out of range.");
    FanAggressivenessValue = value;
    send(tenthsCommand(" g", value));
}

void Temperature::setSecondaryHeaterMode(int16_t value)
{
    requireRange(value >= 0 && value <= 2, "Secondary heater mode value out of range.");
    HeaterModeValue = value;
    if (value == 0)
        send(command("s", HeaterPowerValue));
    else
        send(command("w", value));
}

void Temperature::setSecondaryHeaterPower(int16_t value)
{
    requireRange(value >= 0 && value <= 100, "Secondary Power value out of range.");
    requireManual(HeaterModeValue, "Secondary heater mode is not Manual.");
    HeaterPowerValue = value;
    send(command("s", value));
}

void Temperature::setSecondaryHeaterSetpoint(float value)
{
    requireRange(value >= -10 && value <= 10, "Secondary heater setpoint value out of range.");
    HeaterSetpointValue = value;
    send(tenthsCommand("P", value));
}

void Temperature::setDewHeater1Power(int16_t value)
{
    requireRange(value >= 0 && value <= 100, "Dew heater 1 Power value out of range.");
    Dew1PowerValue = value;
    send(command("c", value));
}

void Temperature::setDewHeater2Power(int16_t value)
{
    requireRange(value >= 0 && value <= 100, "Dew heater 2 Power value out of range.");
    Dew2PowerValue = value;
    send(command("k", value));
}

void Temperature::dispatchReport(QStringView code, QStringView value)
{
    if (code == u":!") {
        AckReceived = true;
        return;
    }
    const QString text = value.toString();
    if (code == u":vr") {
        Module().link.FirmwareVersion = text;
        return;
    }
    if (!vb::IsNumeric(text))
        return;
    const double number = vb::CDbl(text);
    auto &temperatures = Module().temperatures;
    const auto within = [number](double low, double high) { return number >= low && number <= high; };
    // Powers: above 100 is full power, a negative value is no power report at all.
    const auto power = [number](int16_t &field) {
        if (number >= 0)
            field = number > 100 ? int16_t(100) : vb::CInt(number);
    };

    if (code == u":t1") {
        temperatures.AmbientTemperature = number / 100;
        AmbientSeen = true;
        // Data a window asked for is fresh data too.
        LastQuery = Clock::GetTickCount();
    } else if (code == u":t2") {
        temperatures.PrimaryTemperature = number / 100;
    } else if (code == u":t3") {
        temperatures.SecondaryTemperature = number / 100;
    } else if (code == u":t7") {
        ElectronicTempValue = number / 100;
    } else if (code == u":t4") {
        RawAmbient = vb::CInt(number);
    } else if (code == u":t5") {
        RawPrimary = vb::CInt(number);
    } else if (code == u":t6") {
        RawSecondary = vb::CInt(number);
    } else if (code == u":fm") {
        if (within(0, 2))
            FanModeValue = vb::CInt(number);
    } else if (code == u":fs") {
        if (within(0, 100))
            FanSpeedValue = vb::CInt(number);
    } else if (code == u":fg") {
        if (within(1, 100))
            FanAggressivenessValue = vb::CSng(number / 10);
    } else if (code == u":ft") {
        if (within(0, 100))
            FanDeadbandValue = vb::CSng(number / 10);
    } else if (code == u":sm") {
        if (within(0, 2))
            HeaterModeValue = vb::CInt(number);
    } else if (code == u":ss") {
        power(HeaterPowerValue);
    } else if (code == u":st") {
        if (within(-100, 100))
            HeaterSetpointValue = vb::CSng(number / 10);
    } else if (code == u":d1") {
        power(Dew1PowerValue);
    } else if (code == u":d2") {
        power(Dew2PowerValue);
        StatusSeen = true;
    }
}
