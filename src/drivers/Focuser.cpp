#include "drivers/Focuser.h"

#include "drivers/DriverErrors.h"
#include "drivers/FormLauncher.h"
#include "link/DriverSettings.h"
#include "link/FocuserStatus.h"
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
// Answered with the compensation settings (":tcc", ":tcm", ":sl1").
const QString CompensationQuery = QStringLiteral(" l ");
const QString NoResponse = QStringLiteral("No response from focuser");
const QString CoefficientUnavailable =
    QStringLiteral("Temperature compensation coefficient currently unavailable, try again.");
// An answer under way is waited for up to half of this; the rest is for one of our own.
constexpr int HeldWaitMs = 1000;

} // namespace

const Report &Focuser::held(QStringView code, const QString &query, const QString &unavailable,
                            const std::function<bool(const Report &)> &usable)
{
    Held how;
    how.unavailable = unavailable;
    how.usable = usable ? usable : [](const Report &r) { return r.numeric; };
    if (query == CompensationQuery)
        how.beforeRefusal = [this] { send(QStringLiteral("l ")); }; // asks for the settings once more, for the next call
    return heldReport(code, query, HeldWaitMs, how);
}

FocuserStatus::Asking Focuser::asking()
{
    return {[this](const QString &query) {
                send(query);
                return true;
            },
            [this](int ms, const std::function<bool()> &done) { waitUntil(ms, done); }};
}

void Focuser::awaitStatus(bool (*holds)(const Serial &))
{
    requireLine();
    const bool answered = FocuserStatus::Ask(*cm, FocuserStatus::Status, [&] { return holds(*cm); }, asking());
    requireLine(); // the port may have closed meanwhile
    if (!answered)
        refuse(DriverErrors::Unavailable, NoResponse, VkmSource);
}

int16_t Focuser::compensationMode()
{
    awaitStatus(&FocuserStatus::CompensationHolds);
    return FocuserStatus::Compensation(*cm);
}

int16_t Focuser::recallCode()
{
    const std::optional<int16_t> code = ReportValue::RecallCode(held(u":frp", StatusQuery, NoResponse));
    return *code; // held() took only a number
}

float Focuser::sensorSlope()
{
    // Without the sensor's slope a coefficient would wipe the controller's.
    const auto known = [](const Report &r) { return ReportValue::TempCompScale(r).value_or(0) != 0; };
    return *ReportValue::TempCompScale(held(u":sl1", CompensationQuery, CoefficientUnavailable, known));
}

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
    Method("SetupDialog", [this] {
        requireDisplay();
        Launch(DriverForms().ShowFocuserSetup);
    });
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
        sendPoll(QStringLiteral("V "));
        sendPoll(QStringLiteral(" T "));
        if (!cm->Reports().Holds(u":tcc"))
            sendPoll(QStringLiteral("l "));
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
    // Without an answer in time, the last position reported since the port opened.
    const std::optional<double> actual = reported(u":a");
    if (!actual)
        refuse(DriverErrors::Unavailable, NoResponse, VkmSource);
    return vb::CLng(*actual);
}

bool Focuser::TempComp()
{
    requireLine();
    return compensationMode() != 0;
}

void Focuser::setTempComp(bool value)
{
    requireLine();
    if (!value) {
        send(QStringLiteral(" +0 "));
        return;
    }
    // The client's choice of mode, else the one the controller compensates in now.
    const StepScope step = beginStep();
    const bool manual = ManualRequestSet ? ManualRequested : compensationMode() == 2;
    requireWanted(step);
    send(manual ? QStringLiteral(" +2 ") : QStringLiteral(" +1 "));
}

bool Focuser::TempCompManualMode()
{
    requireLine();
    return compensationMode() == 2;
}

void Focuser::setTempCompManualMode(bool value)
{
    ManualRequested = value;
    ManualRequestSet = true;
}

Variant Focuser::Temperature()
{
    ask(QStringLiteral(" T "), 1000);
    // Only a report that holds, since the port opened and the controller last restarted: an
    // Empty would pass for an answer the controller never gave.
    const ControllerReports &reports = cm->Reports();
    const ControllerReports::Value *value = reports.Holds(u":t1") ? reports.Last(u":t1") : nullptr;
    const std::optional<double> fahrenheit = value ? ReportValue::Temperature(value->report) : std::nullopt;
    if (!fahrenheit)
        refuse(DriverErrors::Unavailable, NoResponse, VkmSource);
    return Variant(Module().settings.Celcius == 1 ? (*fahrenheit - 32) * 5 / 9 : *fahrenheit);
}

void Focuser::Move(int32_t position)
{
    requireLine();
    const StepScope step = beginMove(MovedDevice::Focuser);
    awaitStatus([](const Serial &link) { return FocuserStatus::CompensationHolds(link) && FocuserStatus::MotorHolds(link); });
    if (FocuserStatus::Compensation(*cm) == 1)
        refuse(DriverErrors::InvalidOperation,
               QStringLiteral("Temperature compensation active, focus movement not allowed."), VkmSource);
    requireWanted(step);
    if (FocuserStatus::MotorForcedOff(*cm)) {
        send(QStringLiteral("U0 "));
        Module().focuser.ForceMotorOff = false; // the windows' box follows
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
    requireLine();
    const Report &steps = held(u":tcc", CompensationQuery, CoefficientUnavailable);
    return *ReportValue::TempCompCoefficient(steps, sensorSlope());
}

void Focuser::setTempCompCoefficient(float value)
{
    requireSendable(value >= -10 && value <= 10, "Temperature compensation coefficient value out of range.");
    const StepScope step = beginStep();
    const float slope = sensorSlope();
    requireWanted(step);
    Module().focuser.TempCompCoefficient = value;
    const float steps = value * slope * 1000.0f;
    send(QStringLiteral(" =") + QString::number(vb::CLng(double(steps))) + QLatin1Char(' '));
}

int16_t Focuser::TempCompMovementThreshold()
{
    requireLine();
    return vb::CInt(held(u":tcm", CompensationQuery,
                         QStringLiteral("Temperature compensation movement threshold currently unavailable, try again."))
                        .v);
}

void Focuser::setTempCompMovementThreshold(int16_t value)
{
    requireSendable(value >= 0 && value <= 100, "Temperature compensation movement threshold value out of range.");
    Module().focuser.TempCompThreshold = value;
    send(QStringLiteral(" F") + QString::number(value) + QLatin1Char(' '));
}

int32_t Focuser::SetPosition()
{
    requireLine();
    return vb::CLng(held(u":s", StatusQuery, NoResponse).v);
}

bool Focuser::RecallFocusPosition()
{
    requireLine();
    return recallCode() != 0;
}

void Focuser::setRecallFocusPosition(bool value)
{
    requireLine();
    // Skipped only when the controller reported that state since the last command that changes it.
    const ControllerReports::Value *now = cm->Reports().Holds(u":frp") ? cm->Reports().Last(u":frp") : nullptr;
    const std::optional<int16_t> code = now ? ReportValue::RecallCode(now->report) : std::nullopt;
    if (code && (*code != 0) == value)
        return;
    send(value ? QStringLiteral(" `1 ") : QStringLiteral(" `0 "));
}

bool Focuser::FocusPositionRecorded()
{
    requireLine();
    return recallCode() == 8;
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
        {":!", [](F &f, const Report &) { f.AckReceived = true; }},
        {":tcc", [](F &, const Report &r) {
             auto &focuser = Module().focuser;
             if (const auto c = ReportValue::TempCompCoefficient(r, focuser.TempCompSlope)) {
                 focuser.TempCompCoefficient = *c;
                 focuser.TempCompCoefficientKnown = true;
             }
         }},
        {":tcm", [](F &, const Report &r) {
             if (r.numeric)
                 Module().focuser.TempCompThreshold = vb::CLng(r.v);
         }},
        {":of1", [](F &, const Report &r) {
             if (const auto x = ReportValue::TempCompScale(r))
                 Module().focuser.TempCompOffset = *x;
         }},
        {":sl1", [](F &, const Report &r) {
             if (const auto x = ReportValue::TempCompScale(r))
                 Module().focuser.TempCompSlope = *x;
         }},
    };
    table.dispatch(*this, code, value);
}
