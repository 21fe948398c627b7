#include "drivers/Stepper.h"

#include "drivers/DriverErrors.h"
#include "drivers/FormLauncher.h"
#include "link/DriverSettings.h"
#include "link/ReportTable.h"
#include "link/Serial.h"
#include "platform/Clock.h"
#include "platform/Vb.h"
#include "platform/Wait.h"

#include <cmath>

namespace {

const QString OrvaSource = QStringLiteral("ORVA");
// The settings report ("1 ") is a dozen codes: well within this at 9600 baud.
constexpr int SettingsWaitMs = 500;

// Bits of channels 1 to 4 in the presence and limit-switch masks.
constexpr std::array<int, 4> PresentBit = {8, 2, 128, 32};
constexpr std::array<int, 4> SwitchABit = {4, 1, 64, 16};
constexpr std::array<int, 4> SwitchBBit = {8, 2, 128, 32};

QString command(QLatin1Char letter, int32_t number)
{
    return letter + vb::CStr(number) + QLatin1Char(' ');
}

} // namespace

Stepper::Stepper()
    : DriverFrame(VbError(DriverErrors::NotLinked, QStringLiteral("VKM not connected"), OrvaSource))
{
    openPortAsIs();
    CheckRegistry();
    // A status getter right after creation returns its zero value without asking.
    m_lastQuery.fill(Clock::GetTickCount());

    for (int n = 1; n <= 4; ++n)
        PropertyGet(QStringLiteral("StepperPresent%1").arg(n), [this, n] { return StepperPresent(n); });
    for (int n = 1; n <= 4; ++n) {
        const QString name = QStringLiteral("StepperCurrent%1").arg(n);
        PropertyLet(name, [this, n](double amperes) { setStepperCurrent(n, amperes); });
        PropertyGet(name, [this, n] { return StepperCurrent(n); });
    }
    PropertyLet("OperationMode", [this](int16_t mode) { setOperationMode(mode); });
    PropertyGet("OperationMode", [this] { return OperationMode(); });
    PropertyGet("PrimaryCoverState", [this] { return PrimaryCoverState(); });
    Method("PrimaryOpen", [this] { PrimaryOpen(); });
    Method("PrimaryClose", [this] { PrimaryClose(); });
    for (int n = 1; n <= 4; ++n) {
        PropertyGet(QStringLiteral("StepperLimitSwitch%1A").arg(n), [this, n] { return StepperLimitSwitch(n, false); });
        PropertyGet(QStringLiteral("StepperLimitSwitch%1B").arg(n), [this, n] { return StepperLimitSwitch(n, true); });
    }
    for (int n = 1; n <= 4; ++n) {
        const QString name = QStringLiteral("MicrostepMode%1").arg(n);
        PropertyLet(name, [this, n](int16_t mode) { setMicrostepMode(n, mode); });
        PropertyGet(name, [this, n] { return MicrostepMode(n); });
    }
    for (int n = 1; n <= 4; ++n)
        PropertyGet(QStringLiteral("Stepper%1Position").arg(n), [this, n] { return StepperPosition(n); });
    for (int n = 1; n <= 4; ++n)
        PropertyGet(QStringLiteral("IsMoving%1").arg(n), [this, n] { return IsMoving(n); });
    Method("Halt", [this](int16_t channel) { Halt(channel); });
    PropertyGet("Name", [] { return QStringLiteral("ORVA VKM STEPPER INTERFACE"); });
    for (int n = 1; n <= 4; ++n)
        Method(QStringLiteral("MoveRelative%1").arg(n), [this, n](int32_t steps) { MoveRelative(n, steps); });
    Method("SetupDialog", [this] {
        requireDisplay();
        Launch(DriverForms().ShowRotatorSetup);
    });
    Method("ShowForm", [this](int16_t n) { ShowForm(n); });
    PropertyGet("AppVersion", [] { return AppVersion(); });
    PropertyGet("Connected", [this] { return Connected(); });
    PropertyLet("Connected", [this](bool value) { setConnected(value); });
}

void Stepper::setConnected(bool value)
{
    VkmHandshake form;
    form.portCheck = true;
    form.opening = [this] { sendPoll(QStringLiteral("1 ")); };
    linkVkmStyle(value, form);
}

int32_t Stepper::query(Query kind, const QString &command, QStringView code)
{
    poll(m_lastQuery[kind], 501, command, 500, code);
    // As the record holds it: a value that is no whole number is none the controller gives.
    const std::optional<double> value = reported(code);
    if (!value || *value != std::trunc(*value) || *value < INT32_MIN || *value > INT32_MAX)
        refuse(DriverErrors::Unavailable, QStringLiteral("No response from VKM"), OrvaSource);
    return int32_t(*value);
}

int16_t Stepper::setting(const QString &code)
{
    // A value some command (from anyone) changed since its last report is asked for again.
    // Only a whole number is a setting.
    Held how;
    how.usable = [](const Report &r) { return r.numeric && r.v == std::trunc(r.v) && r.v >= INT16_MIN && r.v <= INT16_MAX; };
    return int16_t(heldReport(code, QStringLiteral("1 "), SettingsWaitMs, how).v);
}

bool Stepper::StepperPresent(int channel)
{
    return query(PresenceQuery, QStringLiteral(" 3 "), u":SP") & PresentBit[channel - 1];
}

bool Stepper::StepperLimitSwitch(int channel, bool switchB)
{
    const int32_t bits = query(SwitchQuery, channel == 1 && !switchB ? QStringLiteral("6 ") : QStringLiteral(" 6 "), u":SW");
    return bits & (switchB ? SwitchBBit : SwitchABit)[channel - 1];
}

int32_t Stepper::StepperPosition(int channel)
{
    return query(PositionQuery, QStringLiteral(" 2 "), QStringLiteral(":S%1").arg(channel));
}

bool Stepper::IsMoving(int channel)
{
    // A move or halt sent (by anyone) counts until an answer to a query written after it:
    // ask for that at once rather than return a cache older than the move.
    requireLine();
    if (!cm->Reports().Holds(u":SIM")) {
        m_lastQuery[MovingQuery] = Clock::GetTickCount();
        ask(QStringLiteral(" 4 "), 500);
        if (!cm->Reports().Holds(u":SIM")) {
            requireReported(u":SIM");
            return true;
        }
    } else {
        query(MovingQuery, QStringLiteral(" 4 "), u":SIM");
    }
    const std::optional<double> bits = reported(u":SIM");
    return bits && (int64_t(*bits) >> (channel - 1)) & 1;
}

int16_t Stepper::PrimaryCoverState()
{
    return int16_t(query(CoverQuery, QStringLiteral(" 8 "), u":CS"));
}

double Stepper::StepperCurrent(int channel)
{
    // Reported in 1/90 A.
    return setting(QStringLiteral(":S%1C").arg(channel + 1)) / 90.0;
}

void Stepper::setStepperCurrent(int channel, double amperes)
{
    requireSendable(amperes >= 0 && amperes <= 1, "Stepper current value out of range.");
    // The command takes 1/60 A in bits 0 to 5 and the channel in bits 6 and 7, as the
    // options window's upload sends it.
    send(command(QLatin1Char('9'), vb::CInt(amperes * 60) + 64 * (channel - 1)));
}

int16_t Stepper::MicrostepMode(int channel)
{
    return setting(QStringLiteral(":S%1SM").arg(channel + 1));
}

void Stepper::setMicrostepMode(int channel, int16_t mode)
{
    requireSendable(mode >= 0 && mode <= 3, "Microstep mode value out of range.");
    send(command(QLatin1Char('D'), mode + 4 * channel));
}

int16_t Stepper::OperationMode()
{
    return setting(QStringLiteral(":S2M"));
}

void Stepper::setOperationMode(int16_t mode)
{
    requireSendable(mode == 0 || mode == 1, "Operation mode value out of range.");
    send(command(QLatin1Char('0'), mode));
}

void Stepper::moveCover(const QString &command)
{
    requireLine();
    // The mode may be asked for: a halt of the steppers or another port meanwhile ends the move.
    const StepScope step = beginMove(MovedDevice::Stepper);
    const int16_t mode = OperationMode();
    requireWanted(step);
    if (mode != 1)
        refuse(DriverErrors::InvalidOperation, QStringLiteral("Operation Mode is not set as Primary Mirror Cover"),
               OrvaSource);
    send(command);
}

void Stepper::PrimaryOpen()
{
    moveCover(QStringLiteral("71 "));
}

void Stepper::PrimaryClose()
{
    moveCover(QStringLiteral("74 "));
}

void Stepper::Halt(int16_t channel)
{
    requireSendable(channel >= 0 && channel <= 16, "Halt channel value out of range.");
    send(command(QLatin1Char('3'), channel));
}

void Stepper::MoveRelative(int channel, int32_t steps)
{
    static const char Letters[] = "aBCd";
    requireLine();
    send(command(QLatin1Char(Letters[channel - 1]), steps));
}

void Stepper::dispatchReport(QStringView code, QStringView)
{
    // The status values are read from the link's record; only the handshake's answer is ours.
    if (code == u":!")
        AckReceived = true;
}
