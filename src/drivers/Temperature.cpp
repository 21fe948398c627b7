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

// What the getters return of a report; nothing for a value no sensor or setting gives.
std::optional<double> within(const Report &r, double low, double high)
{
    return r.numeric && r.v >= low && r.v <= high ? std::optional<double>(r.v) : std::nullopt;
}
std::optional<double> raw(const Report &r)
{
    return within(r, INT16_MIN, INT16_MAX);
}
std::optional<double> mode(const Report &r)
{
    return within(r, 0, 2);
}
std::optional<double> percent(const Report &r)
{
    return within(r, 0, 100);
}
std::optional<double> power(const Report &r)
{
    return ReportValue::Power(r);
}
// Reported in tenths.
std::optional<double> tenths(const Report &r, double low, double high)
{
    const std::optional<double> v = within(r, low, high);
    return v ? std::optional<double>(vb::CSng(*v / 10)) : std::nullopt;
}

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
    Held how;
    how.unavailable = QString::fromLatin1(unavailable);
    how.once = once;
    return heldReport(code, StatusQuery, StatusWaitMs, how);
}

void Temperature::requireManual(QStringView modeCode, const char *unavailable, const char *description)
{
    const StepScope step = beginStep();
    const Report &mode = current(modeCode, unavailable);
    requireWanted(step); // before deciding on what another controller may have said
    if (!mode.numeric || mode.v != 0)
        refuse(DriverErrors::InvalidOperation, QString::fromLatin1(description), VkmSource);
}

Temperature::Temperature()
    : DriverFrame(VbError(DriverErrors::NotLinked, QStringLiteral("VKM not connected"), VkmSource))
{
    tm.setInterval(5000);
    CheckRegistry();
    sendPoll(QStringLiteral(" T "));

    const auto degrees = [this](const char16_t *code) {
        return [this, code] { return status(code, ReportValue::Temperature); };
    };
    const auto whole = [this](const char16_t *code, Decoder decode) {
        return [this, code, decode] { return vb::CInt(status(code, decode)); };
    };
    const auto single = [this](const char16_t *code, double low, double high) {
        return [this, code, low, high] {
            return vb::CSng(status(code, [low, high](const Report &r) { return tenths(r, low, high); }));
        };
    };
    PropertyGet("Connected", [this] { return Connected(); });
    PropertyGet("AmbientTemp", degrees(u":t1"));
    PropertyGet("PrimaryTemp", degrees(u":t2"));
    PropertyGet("SecondaryTemp", degrees(u":t3"));
    PropertyGet("ElectronicTemp", degrees(u":t7"));
    PropertyGet("AmbientTempRaw", whole(u":t4", raw));
    PropertyGet("PrimaryTempRaw", whole(u":t5", raw));
    PropertyGet("SecondaryTempRaw", whole(u":t6", raw));
    PropertyLet("FanMode", [this](int16_t value) { setFanMode(value); });
    PropertyGet("FanMode", whole(u":fm", mode));
    PropertyLet("FanSpeed", [this](int16_t value) { setFanSpeed(value); });
    PropertyGet("FanSpeed", whole(u":fs", percent));
    PropertyLet("Connected", [this](bool value) { setConnected(value); });
    Method("Handle_Received", [this](const Variant &buffer) {
        // The parser never fails towards its caller, whatever it is handed.
        try {
            Handle_Received(buffer.toString());
        } catch (const VbError &) {
        }
    });
    PropertyGet("FanDeadband", single(u":ft", 0, 100));
    PropertyLet("FanDeadband", [this](float value) { setFanDeadband(value); });
    PropertyGet("FanAggressiveness", single(u":fg", 1, 100));
    PropertyLet("FanAggressiveness", [this](float value) { setFanAggressiveness(value); });
    PropertyGet("SecondaryHeaterMode", whole(u":sm", mode));
    PropertyLet("SecondaryHeaterMode", [this](int16_t value) { setSecondaryHeaterMode(value); });
    PropertyLet("SecondaryHeaterPower", [this](int16_t value) { setSecondaryHeaterPower(value); });
    PropertyGet("SecondaryHeaterPower", whole(u":ss", power));
    PropertyGet("SecondaryHeaterSetpoint", single(u":st", -100, 100));
    PropertyLet("SecondaryHeaterSetpoint", [this](float value) { setSecondaryHeaterSetpoint(value); });
    PropertyLet("DewHeater1Power", [this](int16_t value) { setDewHeater1Power(value); });
    PropertyGet("DewHeater1Power", whole(u":d1", power));
    PropertyLet("DewHeater2Power", [this](int16_t value) { setDewHeater2Power(value); });
    PropertyGet("DewHeater2Power", whole(u":d2", power));
    PropertyGet("TemperatureUnits", [] { return int16_t(1); });
}

void Temperature::setConnected(bool value)
{
    VkmHandshake form;
    form.laterInterval = 5000;
    form.stopTimerOnFailure = true;
    form.opening = [this] { sendPoll(QStringLiteral("T ")); };
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

double Temperature::status(QStringView code, const Decoder &decode)
{
    pollTemperatures(code);
    // A command (from anyone) since the last report changed the value: its answer is waited
    // for. A value out of range is no response either.
    Held how;
    how.usable = [&decode](const Report &r) { return decode(r).has_value(); };
    return *decode(heldReport(code, StatusQuery, StatusWaitMs, how));
}

void Temperature::setFanMode(int16_t value)
{
    requireSendable(value >= 0 && value <= 2, "Fan Mode value out of range.");
    // Manual takes the fan speed along: the one reported now. The other modes want the
    // status reported once, as ever.
    const StepScope step = beginStep();
    const Report &speed = current(u":fs", FanUnavailable, value != 0);
    requireWanted(step);
    if (value == 0)
        send(command("y", vb::CInt(percent(speed).value_or(0))));
    else
        send(command("n", value));
}

void Temperature::setFanSpeed(int16_t value)
{
    requireSendable(value >= 0 && value <= 100, "Fan Speed value out of range.");
    requireManual(u":fm", FanUnavailable, "Fan Mode is not Manual.");
    send(command("y", value));
}

void Temperature::setFanDeadband(float value)
{
    requireSendable(value >= 0 && value <= 10, "Deadband value out of range.");
    send(tenthsCommand(" O", value));
}

void Temperature::setFanAggressiveness(float value)
{
    requireSendable(value >= 0.1f && value <= 10, "Aggressiveness value out of range.");
    send(tenthsCommand(" g", value));
}

void Temperature::setSecondaryHeaterMode(int16_t value)
{
    requireSendable(value >= 0 && value <= 2, "Secondary heater mode value out of range.");
    if (value != 0) {
        send(command("w", value));
        return;
    }
    // Manual takes the heater power along: the one reported now.
    const StepScope step = beginStep();
    const std::optional<int32_t> power = ReportValue::Power(current(u":ss", HeaterUnavailable));
    requireWanted(step);
    send(command("s", power.value_or(0)));
}

void Temperature::setSecondaryHeaterPower(int16_t value)
{
    requireSendable(value >= 0 && value <= 100, "Secondary Power value out of range.");
    requireManual(u":sm", HeaterUnavailable, "Secondary heater mode is not Manual.");
    send(command("s", value));
}

void Temperature::setSecondaryHeaterSetpoint(float value)
{
    requireSendable(value >= -10 && value <= 10, "Secondary heater setpoint value out of range.");
    send(tenthsCommand("P", value));
}

void Temperature::setDewHeater1Power(int16_t value)
{
    requireSendable(value >= 0 && value <= 100, "Dew heater 1 Power value out of range.");
    send(command("c", value));
}

void Temperature::setDewHeater2Power(int16_t value)
{
    requireSendable(value >= 0 && value <= 100, "Dew heater 2 Power value out of range.");
    send(command("k", value));
}

void Temperature::dispatchReport(QStringView code, QStringView value)
{
    using T = Temperature;
    // The getters read the link's record; the temperatures are shared with the windows too.
    const auto degrees = [](double ModuleState::Temperatures::*field) -> ReportTable<T>::Handler {
        return [field](T &, const Report &r) {
            if (const auto d = ReportValue::Temperature(r))
                Module().temperatures.*field = *d;
        };
    };
    static const ReportTable<T> table{
        {":!", [](T &t, const Report &) { t.AckReceived = true; }},
        {":vr", [](T &, const Report &r) { Module().link.FirmwareVersion = r.text; }},
        {":t1", degrees(&ModuleState::Temperatures::AmbientTemperature)},
        {":t2", degrees(&ModuleState::Temperatures::PrimaryTemperature)},
        {":t3", degrees(&ModuleState::Temperatures::SecondaryTemperature)},
    };
    table.dispatch(*this, code, value);
}
