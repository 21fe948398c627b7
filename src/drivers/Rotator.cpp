#include "drivers/Rotator.h"

#include "drivers/DriverErrors.h"
#include "drivers/FormLauncher.h"
#include "link/DriverSettings.h"
#include "link/ModuleState.h"
#include "link/ReportTable.h"
#include "link/RotatorStatus.h"
#include "link/RotatorSteps.h"
#include "link/Serial.h"
#include "platform/Clock.h"
#include "platform/Vb.h"
#include "platform/Wait.h"

#include <cmath>
#include <limits>
#include <optional>

namespace {

const QString OrvaSource = QStringLiteral("ORVA");
const QString RotatorSource = QStringLiteral("VKM.ROTATOR");
const QString NoResponse = QStringLiteral("No response from rotator");

// The error number of the illegal unwrap and wrap-limit refusals.
constexpr int32_t IllegalValueNumber = 1;

// Getters query when more than this many milliseconds have passed since the last query.
constexpr int CacheAgeMs = 501;

// IsNumeric of a late-bound value: numbers, Booleans and Empty are numeric, text when it
// reads as a number.
bool IsNumeric(const Variant &value)
{
    switch (value.type()) {
    case Variant::Type::Empty:
    case Variant::Type::Boolean:
    case Variant::Type::Integer:
    case Variant::Type::Long:
    case Variant::Type::Single:
    case Variant::Type::Double:
        return true;
    case Variant::Type::String:
        return vb::IsNumeric(value.toString());
    default:
        return false;
    }
}

// The value as an If against False reads it: anything that is not False is True.
bool NotFalse(const Variant &value)
{
    try {
        return value.toBoolean();
    } catch (const VbError &) {
        return true;
    }
}

// A whole step count that fits a Long, or nothing.
std::optional<int32_t> LongSteps(double steps)
{
    if (!std::isfinite(steps) || steps < double(std::numeric_limits<int32_t>::min())
        || steps > double(std::numeric_limits<int32_t>::max()))
        return std::nullopt;
    return int32_t(steps);
}

// Int(x): the largest whole number not above x, as a Long.
std::optional<int32_t> FloorSteps(double product)
{
    return std::isfinite(product) ? LongSteps(vb::Int(product)) : std::nullopt;
}

// CLng(x): halves to even, as a Long.
std::optional<int32_t> RoundedSteps(double product)
{
    try {
        return vb::CLng(product);
    } catch (const VbError &) {
        return std::nullopt;
    }
}

// The class's out-of-range refusal. Move and MoveAbsolute also give it, before sending
// anything, for a move whose step count does not fit a Long.
[[noreturn]] void RefuseOutOfRange()
{
    throw VbError(DriverErrors::ValueOutOfRange, QStringLiteral("Value out of range."), OrvaSource);
}

} // namespace

Rotator::Rotator()
    : DriverFrame(VbError(DriverErrors::NotLinked, QStringLiteral("Rotator not linked"), OrvaSource))
{
    openPortAsIs();
    AckReceived = false;
    Linked = false;
    ActivateLimit = false;
    CheckRegistry();
    LastQuery = Clock::GetTickCount();

    PropertyGet("Position", [this] { return Position(); });
    PropertyGet("SetPosition", [this] { return SetPosition(); });
    PropertyGet("Link", [this] { return Link(); });
    PropertyLet("Link", [this](const Variant &value) { setLink(value); });
    PropertyGet("absolute", [this] { return absolute(); });
    PropertyGet("StepSize", [] { return 1.0 / RotatorStepsPerDegree; });
    Method("GoHome", [this] { GoHome(); });
    PropertyGet("PosPositionLimit", [this] { return PosPositionLimit(); });
    PropertyLet("PosPositionLimit", [this](const Variant &value) { setPosPositionLimit(value); });
    PropertyGet("NegPositionLimit", [this] { return NegPositionLimit(); });
    PropertyLet("NegPositionLimit", [this](const Variant &value) { setNegPositionLimit(value); });
    PropertyGet("ActivatePositionLimit", [this] { return ActivatePositionLimit(); });
    PropertyLet("ActivatePositionLimit", [this](const Variant &value) { setActivatePositionLimit(value); });
    PropertyGet("IsMoving", [this] { return IsMoving(); });
    PropertyGet("MaxIncrement", [] { return int16_t(360); });
    Method("Move", [this](double degrees) { Move(degrees); });
    Method("MoveAbsolute", [this](double degrees) { MoveAbsolute(degrees); });
    Method("SetupDialog", [this] {
        requireDisplay();
        Launch(DriverForms().ShowRotatorSetup);
    });
    Method("Halt", [this] { Halt(); });
    Method("ShowForm", [this](int16_t n) { ShowForm(n); });
    PropertyGet("AppVersion", [] { return AppVersion(); });
    PropertyGet("Connected", [this] { return Connected(); });
    PropertyLet("Connected", [this](bool value) { setConnected(value); });
    Method("FindHome", [this] { GoHome(); });
    PropertyGet("Moving", [this] { return IsMoving(); });
    PropertyGet("Name", [] { return QStringLiteral("ORVA VKM"); });
    PropertyGet("RecallRotatorPosition", [this] { return RecallRotatorPosition(); });
    PropertyLet("RecallRotatorPosition", [this](bool value) { setRecallRotatorPosition(value); });
    PropertyGet("RotatorPositionRecorded", [this] { return RotatorPositionRecorded(); });
    Method("RecordRotatorPosition", [this] { RecordRotatorPosition(); });
    PropertyGet("Wrap", [this] { return Wrap(); });
    Method("ZeroWrap", [this] { ZeroWrap(); });
    Method("Unwrap", [this](const Variant &degrees) { Unwrap(degrees); });
    PropertyGet("WrapLimit", [this] { return WrapLimit(); });
    PropertyLet("WrapLimit", [this](const Variant &value) { setWrapLimit(value); });
    Method("ResetPosition", [this](float angle) { ResetPosition(angle); });
    PropertyGet("PositionAngle", [this] { return Position(); });
    PropertyLet("PositionAngle", [this](double degrees) { MoveAbsolute(degrees); });
    PropertyGet("Resolution", [] { return 1.0 / RotatorStepsPerDegree; });
    PropertyGet("Reverse", [this] { return Reverse(); });
    PropertyLet("Reverse", [this](bool value) { setReverse(value); });
}

// --- link ---

void Rotator::setLink(const Variant &value)
{
    link(NotFalse(value), false);
}

void Rotator::setConnected(bool value)
{
    link(value, true);
}

void Rotator::link(bool value, bool portCheck)
{
    VkmHandshake form;
    form.portCheck = portCheck;
    form.opening = [this] {
        sendPoll(QStringLiteral("H "));
        sendPoll(QStringLiteral("R "));
    };
    linkVkmStyle(value, form);
}

// --- status getters ---

const ControllerReports::Value *Rotator::reported(QStringView code) const
{
    return cm ? cm->Reports().Last(code) : nullptr;
}

void Rotator::queryStatus()
{
    requireLine();
    // The answer of a query written after the last rotator command serves for the cache age;
    // anything older is asked for again, and the answer is waited for whatever order its
    // reports come in.
    if (!RotatorStatus::Current(*cm) || Clock::TicksSince(LastQuery) >= uint32_t(CacheAgeMs)) {
        LastQuery = Clock::GetTickCount();
        RotatorStatus::Ask(*cm);
    }
    requireClient();
    requireLine();
}

double Rotator::reportedSteps(QStringView code)
{
    queryStatus();
    const ControllerReports::Value *value = reported(code);
    const std::optional<double> steps = value ? ReportValue::RotatorSteps(value->report) : std::nullopt;
    if (!steps)
        refuse(DriverErrors::Unavailable, NoResponse, OrvaSource);
    return *steps;
}

double Rotator::Position()
{
    return reportedSteps(u":rt") / RotatorStepsPerDegree;
}

double Rotator::SetPosition()
{
    return reportedSteps(u":rs") / RotatorStepsPerDegree;
}

bool Rotator::IsMoving()
{
    queryStatus();
    // Moving until an answer written after the last rotator command shows it standing.
    const std::optional<bool> standing = cm->Reports().RotatorStanding();
    if (!standing && !RotatorStatus::Current(*cm) && !reported(u":rt"))
        refuse(DriverErrors::Unavailable, NoResponse, OrvaSource);
    return !standing.value_or(false);
}

double Rotator::Wrap()
{
    queryStatus();
    const ControllerReports::Value *value = reported(u":wr");
    std::optional<int32_t> wrap;
    try {
        wrap = value ? ReportValue::Wrap(value->report) : std::nullopt;
    } catch (const VbError &) {
    }
    if (!wrap)
        refuse(DriverErrors::Unavailable, NoResponse, OrvaSource);
    return double(*wrap) / RotatorStepsPerDegree;
}

// --- limits the client keeps (no move consults them) ---

void Rotator::setPosPositionLimit(const Variant &value)
{
    if (!IsNumeric(value))
        refuse(DriverErrors::ValueOutOfRange, QStringLiteral("PosPositionLimit must be numeric."), OrvaSource);
    const double limit = value.toDouble();
    if (limit > 720 || limit < 0)
        RefuseOutOfRange();
    PosLimit = limit;
}

void Rotator::setNegPositionLimit(const Variant &value)
{
    if (!IsNumeric(value))
        // Worded like PosPositionLimit's refusal.
        refuse(DriverErrors::ValueOutOfRange, QStringLiteral("NegPositionLimit must be numeric."), OrvaSource);
    const double limit = value.toDouble();
    if (limit < -720 || limit > 0)
        RefuseOutOfRange();
    NegLimit = limit;
}

void Rotator::setActivatePositionLimit(const Variant &value)
{
    ActivateLimit = NotFalse(value);
}

// --- moves ---

void Rotator::sendWithinWrap(const QString &command, int64_t steps, bool mayReverse, const StepScope &step)
{
    // Decided on every wrap the moves sent so far (by anyone) may reach, as the controller
    // last reported it; asked for when the record cannot vouch for it.
    const RotatorStatus::Move move = RotatorStatus::WithinWrap(*cm, steps, mayReverse);
    requireWanted(step);
    if (move.outcome == RotatorStatus::Move::Outcome::NoReport)
        refuse(DriverErrors::Unavailable, NoResponse, OrvaSource);
    if (move.outcome == RotatorStatus::Move::Outcome::PastLimit)
        refuse(DriverErrors::InvalidOperation, QStringLiteral("Can not turn past wrap limit."), OrvaSource);
    send(command + QString::number(move.steps) + QLatin1Char(' '));
}

void Rotator::Move(double degrees)
{
    requireLine();
    const StepScope step = beginMove(MovedDevice::Rotator);
    const std::optional<int32_t> steps = FloorSteps(degrees * RotatorStepsPerDegree);
    if (!steps)
        RefuseOutOfRange();
    sendWithinWrap(QStringLiteral("j"), FoldRotatorMove(*steps, true), true, step);
}

void Rotator::MoveAbsolute(double degrees)
{
    requireLine();
    const StepScope step = beginMove(MovedDevice::Rotator);
    // Relative to where the rotator stands now: asked for every time, and taken only with the
    // wrap and target of its own answer.
    RotatorStatus::Ask(*cm);
    requireWanted(step);
    const ControllerReports::Value *actual = reported(u":rt");
    const std::optional<double> actualSteps =
        RotatorStatus::CurrentAnswer(*cm) ? ReportValue::RotatorSteps(actual->report) : std::nullopt;
    if (!actualSteps)
        refuse(DriverErrors::Unavailable, NoResponse, OrvaSource);
    const std::optional<int32_t> steps = FloorSteps((degrees - *actualSteps / RotatorStepsPerDegree) * RotatorStepsPerDegree);
    if (!steps || !RoundedSteps(degrees * RotatorStepsPerDegree))
        RefuseOutOfRange();
    sendWithinWrap(QStringLiteral("j"), FoldRotatorMove(*steps, true), true, step);
}

void Rotator::GoHome()
{
    requireLine();
    send(QStringLiteral("r "));
}

void Rotator::Halt()
{
    requireLine();
    send(QStringLiteral("q0 "));
    Wait::DoEvents();
}

// --- position recall, wrap and position counter ---

std::optional<Report> Rotator::statusReport(QStringView code)
{
    requireLine();
    const std::optional<Report> report = RotatorStatus::Reported(*cm, code, true);
    requireClient();
    requireLine();
    return report;
}

std::optional<int16_t> Rotator::heldRecallCode() const
{
    const ControllerReports::Value *value = reported(u":rrp");
    return value && cm->Reports().Holds(u":rrp") ? ReportValue::RecallCode(value->report) : std::nullopt;
}

int16_t Rotator::recallCode()
{
    const std::optional<Report> report = statusReport(u":rrp");
    const std::optional<int16_t> code = report ? ReportValue::RecallCode(*report) : std::nullopt;
    if (!code)
        refuse(DriverErrors::Unavailable, NoResponse, OrvaSource);
    return *code;
}

bool Rotator::absolute()
{
    // Homed (":rh" 1) or recalling its position at power-up: either report that holds tells.
    const std::optional<Report> homed = statusReport(u":rh");
    const std::optional<int16_t> code = heldRecallCode();
    const bool homedKnown = homed && homed->numeric;
    if (!homedKnown && !code)
        refuse(DriverErrors::Unavailable, NoResponse, OrvaSource);
    return (homedKnown && homed->v == 1) || code.value_or(0) != 0;
}

bool Rotator::RecallRotatorPosition()
{
    return recallCode() != 0;
}

void Rotator::setRecallRotatorPosition(bool value)
{
    requireLine();
    // Skipped only when the controller reported that state since the last command that changes it.
    const std::optional<int16_t> code = heldRecallCode();
    if (code && (*code != 0) == value)
        return;
    send(value ? QStringLiteral(" /1 ") : QStringLiteral(" /0 "));
}

bool Rotator::RotatorPositionRecorded()
{
    return recallCode() == 8;
}

void Rotator::RecordRotatorPosition()
{
    requireLine();
    send(QStringLiteral(" v "));
}

void Rotator::ZeroWrap()
{
    requireLine();
    send(QStringLiteral(" i "));
}

void Rotator::Unwrap(const Variant &degrees)
{
    requireLine();
    const StepScope step = beginMove(MovedDevice::Rotator);
    if (!IsNumeric(degrees))
        refuse(IllegalValueNumber, QStringLiteral("Illegal unwrap value."), QString());
    // v x 200 in the value's own type: a Single gives a single-precision product; whole
    // numbers and Booleans give whole products (Variant arithmetic widens rather than
    // overflows), text and Doubles a double product.
    double product;
    if (degrees.type() == Variant::Type::Single)
        product = double(degrees.toSingle() * float(RotatorStepsPerDegree));
    else
        product = degrees.toDouble() * RotatorStepsPerDegree;
    const std::optional<int32_t> steps = RoundedSteps(product);
    if (!steps)
        refuse(IllegalValueNumber, QStringLiteral("Illegal unwrap value."), QString());
    // Exactly as asked, never the other way round.
    sendWithinWrap(QStringLiteral(" j"), *steps, false, step);
}

int32_t Rotator::WrapLimit() const
{
    return Module().settings.ZELLimit;
}

void Rotator::setWrapLimit(const Variant &value)
{
    if (!IsNumeric(value) || value.toDouble() < 0 || value.toDouble() > 2000)
        refuse(IllegalValueNumber, QStringLiteral("Illegal wrap limit value."), QString());
    const int32_t limit = value.toLong();
    // The limit in use is the one on disk: a write that fails keeps the former one.
    if (StoreDriverSetting(QStringLiteral("ZELLimit"), REG_DWORD, QVariant(limit)) == ERROR_REGISTRY_IO_FAILED)
        refuse(DriverErrors::InvalidOperation, SettingsNotSaved({QStringLiteral("ZELLimit")}), RotatorSource);
    Module().settings.ZELLimit = limit;
}

void Rotator::ResetPosition(float angle)
{
    if (!(angle >= 0 && angle <= 360))
        refuse(DriverErrors::ValueOutOfRange, QStringLiteral("Reset Position Angle out of range"), RotatorSource);
    requireLine();
    // angle x 200 is a Single product.
    const float product = angle * float(RotatorStepsPerDegree);
    send(QStringLiteral(" p") + QString::number(vb::CLng(double(product))) + QLatin1Char(' '));
}

// --- reports ---

void Rotator::dispatchReport(QStringView code, QStringView)
{
    // The status values are read from the link's record; only the handshake's answer is ours.
    if (code == u":!")
        AckReceived = true;
}
