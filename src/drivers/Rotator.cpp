#include "drivers/Rotator.h"

#include "drivers/DriverErrors.h"
#include "drivers/FormLauncher.h"
#include "link/DriverSettings.h"
#include "link/ModuleState.h"
#include "link/ReportTable.h"
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
const QString StatusQuery = QStringLiteral(" R ");
const QString NoResponse = QStringLiteral("No response from rotator");

// The error number of the illegal unwrap and wrap-limit refusals.
constexpr int32_t IllegalValueNumber = 1;

// Getters query when more than this many milliseconds have passed since the last query.
constexpr int CacheAgeMs = 501;
constexpr int WaitMs = 500;

// The controller's rotator-recall state from ":rrp", shared by every Rotator object:
// 0 recall at power-up off, 4 recall on, 8 recall on with a position recorded.
int16_t RotatorRecallCode = 0;

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
    Homed = false;
    openPortAsIs();
    AckReceived = false;
    Linked = false;
    ActivateLimit = false;
    CheckRegistry();
    LastQuery = Clock::GetTickCount();
    WrapSeen = false;

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
    Method("SetupDialog", [] { Launch(DriverForms().ShowRotatorSetup); });
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
    VkmHandshake form;
    form.opening = [this] {
        ActualSeen = false;
        WrapCurrent = false;
        send(QStringLiteral("H "));
        send(QStringLiteral("R "));
    };
    linkVkmStyle(NotFalse(value), form);
}

void Rotator::setConnected(bool value)
{
    VkmHandshake form;
    form.portCheck = true;
    form.opening = [this] {
        ActualSeen = false;
        WrapCurrent = false;
        send(QStringLiteral("H "));
        send(QStringLiteral("R "));
    };
    linkVkmStyle(value, form);
}

// --- status getters ---

bool Rotator::askStatus()
{
    const auto answered = [this] { return m_answered; };
    // Bursts that answer queries written earlier, by anyone, come first and tell nothing
    // of now.
    passOverEarlierAnswers();
    m_answered = false;
    WrapSeen = false;
    LastQuery = Clock::GetTickCount();
    send(StatusQuery);
    if (m_staleBursts == 0)
        return Wait::Until(WaitMs, answered);
    // A lost earlier reply would hold this answer back: a second query's answer tells as well.
    if (Wait::Until(WaitMs / 2, answered))
        return true;
    LastQuery = Clock::GetTickCount();
    send(StatusQuery);
    return Wait::Until(WaitMs / 2, answered);
}

void Rotator::passOverEarlierAnswers()
{
    m_staleBursts = cm ? cm->Reports().Pending(u'R') : 0;
}

void Rotator::queryStatus(bool alwaysQuery)
{
    requireLine();
    if (alwaysQuery || Clock::TicksSince(LastQuery) >= uint32_t(CacheAgeMs))
        askStatus();
}

double Rotator::Position()
{
    queryStatus(false);
    return ActualAngle;
}

double Rotator::SetPosition()
{
    queryStatus(false);
    return TargetAngle;
}

bool Rotator::IsMoving()
{
    queryStatus(!TargetSeen);
    return MovingState;
}

double Rotator::Wrap()
{
    queryStatus(!WrapSeen);
    const double degrees = double(Module().rotator.RotatorWrap) / RotatorStepsPerDegree;
    WrapSeen = false;
    return degrees;
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

void Rotator::requireReported(const bool &reported)
{
    if (!reported)
        askStatus();
    requireLine();
    if (!reported)
        refuse(DriverErrors::Unavailable, NoResponse, OrvaSource);
}

void Rotator::sendWithinWrap(const QString &command, int64_t steps, bool mayReverse)
{
    const std::optional<int32_t> sent =
        RotatorStepsWithinWrap(steps, Module().rotator.RotatorWrap, Module().settings.ZELLimit, mayReverse);
    if (!sent)
        refuse(DriverErrors::InvalidOperation, QStringLiteral("Can not turn past wrap limit."), OrvaSource);
    send(command + QString::number(*sent) + QLatin1Char(' '));
    // Reports of the rotator as it stood before this move tell nothing of its wrap or angle.
    passOverEarlierAnswers();
    WrapCurrent = false;
    ActualSeen = false;
}

void Rotator::Move(double degrees)
{
    requireLine();
    const std::optional<int32_t> steps = FloorSteps(degrees * RotatorStepsPerDegree);
    if (!steps)
        RefuseOutOfRange();
    requireReported(WrapCurrent);
    const int32_t folded = FoldRotatorMove(*steps, true);
    sendWithinWrap(QStringLiteral("j"), folded, true);
    TargetAngle = ActualAngle + double(folded) / RotatorStepsPerDegree;
    MovingState = true;
}

void Rotator::MoveAbsolute(double degrees)
{
    requireLine();
    // The move is relative to where the rotator stands and is decided on the controller's
    // wrap: both as reported since creation, linking or the last move, else asked for.
    requireReported(ActualSeen);
    requireReported(WrapCurrent);
    const std::optional<int32_t> steps = FloorSteps((degrees - ActualAngle) * RotatorStepsPerDegree);
    std::optional<int32_t> target = RoundedSteps(degrees * RotatorStepsPerDegree);
    if (!steps || !target)
        RefuseOutOfRange();
    sendWithinWrap(QStringLiteral("j"), FoldRotatorMove(*steps, true), true);
    ReduceRotatorSteps(*target);
    TargetAngle = double(*target) / RotatorStepsPerDegree;
    MovingState = true;
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

bool Rotator::RecallRotatorPosition() const
{
    return RotatorRecallCode >= 1;
}

void Rotator::setRecallRotatorPosition(bool value)
{
    requireLine();
    if (value && RotatorRecallCode == 0)
        send(QStringLiteral(" /1 "));
    else if (!value && RotatorRecallCode != 0)
        send(QStringLiteral(" /0 "));
}

bool Rotator::RotatorPositionRecorded() const
{
    return RotatorRecallCode >= 8;
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
    requireReported(WrapCurrent);
    // Exactly as asked, never the other way round.
    sendWithinWrap(QStringLiteral(" j"), *steps, false);
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

void Rotator::dispatchReport(QStringView code, QStringView value)
{
    using R = Rotator;
    static const ReportTable<Rotator> table{
        {":!", [](R &o, const Report &) { o.AckReceived = true; }},
        {":rs", [](R &o, const Report &r) {
             if (const auto steps = ReportValue::RotatorSteps(r)) {
                 o.TargetAngle = *steps / RotatorStepsPerDegree;
                 o.TargetSeen = true;
             }
         }},
        {":rt", [](R &o, const Report &r) {
             // ":rt" ends a burst: an earlier query's answer passes by, else this is news.
             const bool current = o.m_staleBursts == 0;
             if (const auto steps = ReportValue::RotatorSteps(r)) {
                 o.ActualAngle = *steps / RotatorStepsPerDegree;
                 o.ActualSeen = o.ActualSeen || current;
             }
             o.MovingState = std::abs(o.TargetAngle - o.ActualAngle) > 0 && o.TargetSeen;
             if (current)
                 o.m_answered = true;
             else
                 --o.m_staleBursts;
         }},
        {":wr", [](R &o, const Report &r) {
             if (const auto wrap = ReportValue::Wrap(r)) {
                 Module().rotator.RotatorWrap = *wrap;
                 o.WrapSeen = true;
                 o.WrapCurrent = o.WrapCurrent || o.m_staleBursts == 0;
             }
         }},
        {":rh", [](R &o, const Report &r) {
             if (r.numeric)
                 o.Homed = r.v == 1;
         }},
        {":rrp", [](R &o, const Report &r) {
             if (!r.numeric)
                 return;
             if (r.v != 2.0 * vb::CInt(r.v / 2)) {
                 o.Homed = true;
                 RotatorRecallCode = r.v >= 8 ? 8 : 4;
             } else {
                 RotatorRecallCode = 0;
             }
         }},
    };
    // A value that does not convert drops its entry; the walk goes on.
    try {
        table.dispatch(*this, Report(code, value));
    } catch (const VbError &) {
    }
}
