#include "drivers/Focuser.h"

#include "drivers/DriverErrors.h"
#include "drivers/FormLauncher.h"
#include "link/DriverSettings.h"
#include "link/ModuleState.h"
#include "link/ReportTable.h"
#include "link/Serial.h"
#include "platform/Clock.h"
#include "platform/Vb.h"

#include <cstdlib>

namespace {

const QString VkmSource = QStringLiteral("VKM");

// The focuser has reached a target reported within this many steps.
constexpr int64_t ArrivedWithin = 5;
const QString StatusQuery = QStringLiteral(" Q ");

// The controller's focus-recall state from ":frp", shared by every Focuser object:
// 0 recall off, 4 recall on, 8 recall on with a position recorded.
int16_t FocusRecallCode = 0;

} // namespace

Focuser::Focuser()
    : DriverFrame(VbError(DriverErrors::NotLinked, QStringLiteral("Serial link not established"), VkmSource),
                  QStringLiteral("No response from focuser"))
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
    ask(StatusQuery, 250);
    requireReported(u":a");
    return moving() ? -1 : 0;
}

bool Focuser::moving() const
{
    // Only an answer to a query written after the last focuser command (from anyone) tells:
    // the target it reports reached, or a halt the controller reported done. Standing still
    // for a while is no evidence, and without such an answer the last command still counts.
    const ControllerReports &reports = cm->Reports();
    if (reports.FocuserStanding().value_or(false))
        return false;
    const ControllerReports::Value *target = reports.Last(u":s");
    const ControllerReports::Value *actual = reports.Last(u":a");
    if (!reports.Holds(u":s") || !reports.Holds(u":a") || target->answers != actual->answers
        || !target->report.numeric || !actual->report.numeric)
        return true;
    return std::llabs(int64_t(target->report.v) - int64_t(actual->report.v)) > ArrivedWithin;
}

int32_t Focuser::Position()
{
    ask(StatusQuery, 250);
    requireReported(u":a");
    return Actual;
}

void Focuser::pollStatus()
{
    poll(LastQuery, 501, StatusQuery, 500, u":a");
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
    ask(QStringLiteral(" T "), 1000);
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
    if (Module().focuser.ForceMotorOff) {
        Module().focuser.ForceMotorOff = false;
        send(QStringLiteral("U0 "));
    }
    send(QStringLiteral("b") + QString::number(position) + QLatin1Char(' '));
}

void Focuser::Halt()
{
    // Whoever linked or moved: a stop that cannot reach the controller must not pass for one
    // that did.
    requireLine();
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
    requireReported(u":s");
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

void Focuser::dispatchReport(QStringView code, QStringView value)
{
    using F = Focuser;
    static const ReportTable<Focuser> table{
        {":a", [](F &f, const Report &r) {
             if (vb::IsNumeric(r.text))
                 f.Actual = vb::CLng(r.text);
         }},
        {":!", [](F &f, const Report &) { f.AckReceived = true; }},
        {":tc", &F::compensationModeReport},
        {":s", [](F &f, const Report &r) {
             if (r.numeric)
                 f.Target = vb::CLng(r.v);
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
