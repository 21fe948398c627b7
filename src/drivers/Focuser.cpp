#include "drivers/Focuser.h"

#include "drivers/DriverErrors.h"
#include "drivers/FormLauncher.h"
#include "link/DriverSettings.h"
#include "link/ModuleState.h"
#include "link/ReportTable.h"
#include "platform/Clock.h"
#include "platform/Vb.h"

#include <cstdlib>

namespace {

const QString VkmSource = QStringLiteral("VKM");

// A focuser whose reported position has not changed for this long (two cycles of the
// windows' status poll) stands still.
constexpr uint32_t StandingMs = 500;

// The controller's focus-recall state from ":frp", shared by every Focuser object:
// 0 recall off, 4 recall on, 8 recall on with a position recorded.
int16_t FocusRecallCode = 0;

int16_t capped(int16_t count)
{
    return std::min<int16_t>(count + 1, 3);
}

} // namespace

Focuser::Focuser()
    : DriverFrame(VbError(DriverErrors::NotLinked, QStringLiteral("Serial link not established"), VkmSource))
{
    CheckRegistry();
    LastQuery = Clock::GetTickCount();

    PropertyGet("Link", [this] { return Link(); });
    PropertyLet("Link", [this](const Variant &value) { setLink(value); });
    PropertyGet("absolute", [] { return true; });
    PropertyGet("StepSize", [] { return 0.5625; });
    PropertyGet("MaxStep", [] { return int32_t(40000); });
    PropertyGet("IsMoving", [this] { return IsMoving(); });
    PropertyGet("Position", [this] { return Position(); });
    PropertyGet("TempComp", [this] { return TempComp(); });
    PropertyLet("TempComp", [this](bool value) { setTempComp(value); });
    PropertyGet("TempCompManualMode", [this] { return TempCompManualMode(); });
    PropertyLet("TempCompManualMode", [this](bool value) { setTempCompManualMode(value); });
    PropertyGet("TempCompAvailable", [] { return true; });
    PropertyGet("Temperature", [this] { return Temperature(); });
    PropertyGet("MaxIncrement", [] { return int32_t(40000); });
    Method("Move", [this](int32_t position) { Move(position); });
    Method("Halt", [this] { Halt(); });
    Method("ShowForm", [this](int16_t n) { ShowForm(n); });
    Method("SetupDialog", [] { Launch(DriverForms().ShowFocuserSetup); });
    PropertyGet("AppVersion", [] { return AppVersion(); });
    PropertyGet("Connected", [this] { return Connected(); });
    PropertyLet("Connected", [this](bool value) { setConnected(value); });
    PropertyGet("TempCompCoefficient", [this] { return TempCompCoefficient(); });
    PropertyLet("TempCompCoefficient", [this](float value) { setTempCompCoefficient(value); });
    PropertyGet("TempCompMovementThreshold", [this] { return TempCompMovementThreshold(); });
    PropertyLet("TempCompMovementThreshold", [this](int16_t value) { setTempCompMovementThreshold(value); });
    PropertyGet("SetPosition", [this] { return SetPosition(); });
    PropertyGet("CCDSoftSmallStepSize", [] { return Module().settings.SmallStepSize; });
    PropertyGet("CCDSoftLargeStepSize", [] { return Module().settings.LargeStepSize; });
    PropertyGet("RecallFocusPosition", [this] { return RecallFocusPosition(); });
    PropertyLet("RecallFocusPosition", [this](bool value) { setRecallFocusPosition(value); });
    PropertyGet("FocusPositionRecorded", [this] { return FocusPositionRecorded(); });
    Method("RecordFocusPosition", [this] { RecordFocusPosition(); });
}

void Focuser::setLink(const Variant &value)
{
    // Anything that is not False links.
    bool on = true;
    try {
        on = value.toBoolean();
    } catch (const VbError &) {
    }
    linkFocuserStyle(on, false);
    if (on) {
        send(QStringLiteral("V "));
        send(QStringLiteral(" T "));
        if (!Module().focuser.TempCompCoefficientKnown)
            send(QStringLiteral("l "));
    }
}

void Focuser::setConnected(bool value)
{
    linkFocuserStyle(value, true);
}

int16_t Focuser::IsMoving()
{
    poll(0, QStringLiteral(" Q "), [this] { EvaluatedCount = 0; }, [this] { return EvaluatedCount > 0; }, 250);
    return Moving ? -1 : 0;
}

int32_t Focuser::Position()
{
    poll(0, QStringLiteral(" Q "), [this] { ActualCount = 0; }, [this] { return ActualCount > 0; }, 250);
    return Actual;
}

bool Focuser::pollStatus()
{
    return poll(501, QStringLiteral(" Q "), [this] { ActualCount = 0; }, [this] { return ActualCount > 0; }, 500);
}

void Focuser::setTempComp(bool value)
{
    requireLine();
    CompensationActive = value;
    if (!value)
        send(QStringLiteral(" +0 "));
    else
        send(ManualRequested ? QStringLiteral(" +2 ") : QStringLiteral(" +1 "));
}

bool Focuser::TempCompManualMode()
{
    pollStatus();
    return CompensationManual;
}

void Focuser::setTempCompManualMode(bool value)
{
    ManualRequested = value;
    ManualRequestSet = true;
}

Variant Focuser::Temperature()
{
    poll(0, QStringLiteral(" T "), [this] { TemperatureSeen = false; }, [this] { return TemperatureSeen; }, 1000);
    // No report yet: no number in either scale.
    if (Module().settings.Celcius == 1 && !TemperatureValue.isEmpty())
        return Variant((TemperatureValue.toDouble() - 32) * 5 / 9);
    return TemperatureValue;
}

void Focuser::Move(int32_t position)
{
    requireLine();
    if (CompensationActive && !CompensationManual)
        refuse(DriverErrors::InvalidOperation,
               QStringLiteral("Temperature compensation active, focus movement not allowed."), VkmSource);
    ExpectedTarget = position;
    TargetsSinceMove = 0;
    if (Module().focuser.ForceMotorOff) {
        Module().focuser.ForceMotorOff = false;
        send(QStringLiteral("U0 "));
    }
    Moving = true;
    send(QStringLiteral("b") + QString::number(position) + QLatin1Char(' '));
}

void Focuser::Halt()
{
    // Whoever linked or moved: a stop that cannot reach the controller must not pass for one
    // that did.
    requireLine();
    ExpectedTarget.reset();
    send(QStringLiteral("S "));
}

float Focuser::TempCompCoefficient()
{
    poll(0, QStringLiteral(" l "), [this] { CompensationSeen = 0; }, [this] { return CompensationSeen != 0; }, 500);
    if (!Module().focuser.TempCompCoefficientKnown) {
        send(QStringLiteral("l "));
        refuse(DriverErrors::Unavailable,
               QStringLiteral("Temperature compensation coefficient currently unavailable, try again."), VkmSource);
    }
    return Module().focuser.TempCompCoefficient;
}

void Focuser::setTempCompCoefficient(float value)
{
    requireSendable(value >= -10 && value <= 10, "Temperature compensation coefficient value out of range.");
    auto &focuser = Module().focuser;
    // Without the sensor's slope the command would wipe the controller's coefficient.
    if (focuser.TempCompSlope == 0) {
        send(QStringLiteral("l "));
        refuse(DriverErrors::Unavailable,
               QStringLiteral("Temperature compensation coefficient currently unavailable, try again."), VkmSource);
    }
    focuser.TempCompCoefficient = value;
    const float steps = value * focuser.TempCompSlope * 1000.0f;
    send(QStringLiteral(" =") + QString::number(vb::CLng(double(steps))) + QLatin1Char(' '));
}

int16_t Focuser::TempCompMovementThreshold()
{
    poll(0, QStringLiteral(" l "), [this] { CompensationSeen = 0; }, [this] { return CompensationSeen != 0; }, 500);
    if (!Module().focuser.TempCompCoefficientKnown) {
        send(QStringLiteral("l "));
        refuse(DriverErrors::Unavailable,
               QStringLiteral("Temperature compensation movement threshold currently unavailable, try again."),
               VkmSource);
    }
    return vb::CInt(double(Module().focuser.TempCompThreshold));
}

void Focuser::setTempCompMovementThreshold(int16_t value)
{
    requireSendable(value >= 0 && value <= 100, "Temperature compensation movement threshold value out of range.");
    Module().focuser.TempCompThreshold = value;
    send(QStringLiteral(" F") + QString::number(value) + QLatin1Char(' '));
}

int32_t Focuser::SetPosition()
{
    pollStatus();
    return Target;
}

bool Focuser::RecallFocusPosition()
{
    pollStatus();
    return FocusRecallCode > 0;
}

void Focuser::setRecallFocusPosition(bool value)
{
    requireLine();
    if (value && FocusRecallCode == 0)
        send(QStringLiteral(" `1 "));
    else if (!value && FocusRecallCode != 0)
        send(QStringLiteral(" `0 "));
}

bool Focuser::FocusPositionRecorded() const
{
    return FocusRecallCode >= 8;
}

void Focuser::RecordFocusPosition()
{
    requireLine();
    send(QStringLiteral(" f "));
}

void Focuser::evaluateMotion(QStringView value)
{
    const QString text = value.toString();
    if (vb::IsNumeric(text)) {
        const int32_t actual = vb::CLng(text);
        if (actual != Actual)
            LastMotion = Clock::GetTickCount();
        Actual = actual;
        ActualCount = capped(ActualCount);
    }
    if (TargetCount == 0)
        return;
    // The controller's reports rule, whoever moved or halted it: the focuser has reached the
    // reported target, or stands still (a halt, a stalled motor). This object's own move
    // counts as moving until the reports show the controller took it.
    const bool arrived = std::llabs(int64_t(Target) - Actual) <= 5;
    const bool standing = Clock::TicksSince(LastMotion) >= StandingMs;
    Moving = ExpectedTarget || !(arrived || standing);
    EvaluatedCount = capped(EvaluatedCount);
}

void Focuser::targetReport(int32_t target)
{
    // A new target starts a motion: standing still counts from here.
    if (target != Target)
        LastMotion = Clock::GetTickCount();
    Target = target;
    TargetCount = capped(TargetCount);
    // The second report of another target after a move: a command after it (a halt, another
    // object's move) replaced it, or the controller never took it.
    if (ExpectedTarget && (target == *ExpectedTarget || ++TargetsSinceMove >= 2)) {
        ExpectedTarget.reset();
        LastMotion = Clock::GetTickCount();
    }
}

void Focuser::dispatchReport(QStringView code, QStringView value)
{
    using F = Focuser;
    static const ReportTable<Focuser> table{
        {":a", [](F &f, const Report &r) { f.evaluateMotion(r.text); }},
        {":!", [](F &f, const Report &) { f.AckReceived = true; }},
        {":tc", &F::compensationModeReport},
        {":s", [](F &f, const Report &r) {
             if (r.numeric) {
                 f.targetReport(vb::CLng(r.v));
             }
         }},
        {":tcc", [](F &f, const Report &r) {
             auto &focuser = Module().focuser;
             if (const auto c = ReportValue::TempCompCoefficient(r, focuser.TempCompSlope)) {
                 focuser.TempCompCoefficient = *c;
                 focuser.TempCompCoefficientKnown = true;
                 f.CompensationSeen = 1;
             }
         }},
        {":tcm", [](F &f, const Report &r) {
             if (r.numeric) {
                 Module().focuser.TempCompThreshold = vb::CLng(r.v);
                 f.CompensationSeen = 1;
             }
         }},
        {":t1", [](F &f, const Report &r) {
             if (const auto t = ReportValue::Temperature(r)) {
                 f.TemperatureValue = Variant(*t);
                 f.TemperatureSeen = true;
             }
         }},
        {":of1", [](F &, const Report &r) {
             if (const auto x = ReportValue::TempCompScale(r))
                 Module().focuser.TempCompOffset = *x;
         }},
        {":sl1", [](F &, const Report &r) {
             if (const auto x = ReportValue::TempCompScale(r))
                 Module().focuser.TempCompSlope = *x;
         }},
        {":frp", [](F &, const Report &r) {
             if (!r.numeric)
                 return;
             const int32_t recall = vb::CLng(r.v);
             FocusRecallCode = recall % 2 == 0 ? 0 : recall >= 8 ? 8 : 4;
         }},
    };
    table.dispatch(*this, Report(code, value));
}

void Focuser::compensationModeReport(const Report &r)
{
    if (r.text == QLatin1String("1")) {
        CompensationActive = true;
        CompensationManual = false;
        if (!ManualRequestSet) {
            ManualRequested = false;
            ManualRequestSet = true;
        }
    } else if (r.text == QLatin1String("2")) {
        CompensationActive = true;
        CompensationManual = true;
        if (!ManualRequestSet) {
            ManualRequested = true;
            ManualRequestSet = true;
        }
    } else if (r.numeric) {
        CompensationActive = false;
    }
}
