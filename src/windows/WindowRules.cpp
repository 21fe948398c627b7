#include "windows/WindowRules.h"

#include "link/FocuserStatus.h"
#include "link/ModuleState.h"
#include "link/OperatorSend.h"
#include "link/ReportTable.h"
#include "link/Serial.h"
#include "link/StepScope.h"
#include "link/RotatorSteps.h"
#include "platform/Clock.h"
#include "platform/Dispatch.h"
#include "platform/Held.h"
#include "platform/SystemTimer.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbError.h"
#include "platform/VbFiles.h"
#include "platform/Wait.h"
#include "windows/Forms.h"
#include "windows/frmWrapMessage.h"

#include <QGuiApplication>
#include <QCoreApplication>
#include <QSpinBox>
#include <QTimer>
#include <cstdlib>

namespace WindowRules {

std::function<Qt::MouseButtons()> PointerButtons = [] { return QGuiApplication::mouseButtons(); };

bool JogPointerHeld()
{
    return PointerButtons().testFlag(Qt::LeftButton);
}

void RequireWanted(const StepScope &step)
{
    if (!step.Wanted())
        throw StepWithdrawn{};
}

namespace {

const QString LoggingCloseQuestion = QStringLiteral(
    "Data logging is active and you are closing all VKM windows.  An active ASCOM session is detected and data "
    "logging can continue if desired.  To continue data logging press <Yes>, to stop data logging press <No>, to "
    "keep this window open press <Cancel>");

} // namespace

bool MayCloseWhileLogging(bool otherWindowOpen, const std::function<void()> &stopLogging)
{
    const ModuleState &m = Module();
    if (otherWindowOpen || !m.tools.LoggingActive)
        return true;
    try {
        if (m.link.ClientCount == 1) {
            stopLogging();
            return true;
        }
        const int answer = MsgBox(LoggingCloseQuestion, vbconst::vbYesNoCancel | vbconst::vbQuestion, QStringLiteral("VKM"));
        if (answer == vbconst::vbCancel)
            return false;
        if (answer == vbconst::vbNo)
            stopLogging();
    } catch (const VbError &e) {
        MsgBox(e.description(), vbconst::vbExclamation, QStringLiteral("VKM"));
    }
    return true;
}

void StopDataLogging()
{
    ModuleState::Tools &t = Module().tools;
    t.LoggingActive = false;
    VbFiles::Close(t.LogFileNumber);
    if (t.LogTimerId != 0) {
        SystemTimer::KillTimer(uint32_t(t.LogTimerId));
        t.LogTimerId = 0;
    }
}

void setSpin(QSpinBox *spin, int32_t value)
{
    if (value >= spin->minimum() && value <= spin->maximum())
        spin->setValue(value);
}

std::optional<int32_t> CustomRotateSteps(const QString &degrees)
{
    const std::optional<double> number = vb::StrictNumber(degrees);
    if (!number || !(*number > 0 && *number < 360))
        return std::nullopt;
    const int32_t steps = vb::CLng(*number * RotatorStepsPerDegree);
    if (steps < 1 || steps >= RotatorStepsPerTurn)
        return std::nullopt;
    return steps;
}

void RefuseCustomRotateStep(const QString &degrees)
{
    MsgBox(vb::StrictNumber(degrees) ? QStringLiteral("Step size must be less than 360 degrees and positive.")
                                     : QStringLiteral("Invalid value for rotator step size."),
           vbconst::vbExclamation, QStringLiteral("VKM"));
}

bool PushRotatorTargetToTheSky(double v, bool theSkyUpdateHold)
{
    ModuleState &m = Module();
    if (v == m.rotator.RotatorSetPosition || !m.thesky.TheSky || theSkyUpdateHold)
        return false;
    // The planetarium is called from the event loop, after the delivery: a planetarium in
    // another process is a wait, and a delivery never waits. One that does not answer is
    // skipped silently.
    const double angle = v / 200 + m.thesky.ZELOffset;
    QMetaObject::invokeMethod(
        qApp,
        [fovs = m.thesky.TheSkyFOVs, chart = m.thesky.TheSkyChart, detector = m.settings.Detector, angle] {
            skip([&] {
                Held(fovs).Let(QStringLiteral("Property"), VariantArray{Variant(detector), Variant(int16_t(0)), Variant(int16_t(1))},
                          Variant(angle));
            });
            skip([&] { Held(chart).Call(QStringLiteral("Refresh")); });
        },
        Qt::QueuedConnection);
    m.rotator.RotatorMovePending = true;
    return true;
}

bool NoteRotatorActual(double v)
{
    ModuleState::Rotator &r = Module().rotator;
    const bool changed = v != r.RotatorPosition;
    if (changed)
        r.RotatorDirection = v > r.RotatorPosition ? 1 : -1;
    skip([&] { r.RotatorPosition = vb::CLng(v); });
    r.RotatorMoving = r.RotatorPosition != r.RotatorSetPosition;
    return changed;
}

bool WrapLimitCrossed()
{
    const ModuleState &m = Module();
    const ModuleState::Rotator &r = m.rotator;
    const int64_t limit = RotatorWrapLimitSteps(m.settings.ZELLimit);
    if (r.LastWrap == 0)
        return false;
    return (r.LastWrap > r.RotatorWrap && r.RotatorWrap < -limit) || (r.LastWrap < r.RotatorWrap && r.RotatorWrap > limit);
}

bool StopAtWrapLimit(QObject *window, Serial *link, bool &stopped)
{
    if (stopped || !WrapLimitCrossed())
        return false;
    // The transmit leaves at once; nothing is pumped inside the parser.
    const Serial::SendResult result = OperatorSend::Transmit(link, QStringLiteral("q0 "));
    stopped = true;
    WrapMessageForm()->show();
    if (result != Serial::SendResult::Sent)
        QTimer::singleShot(0, window, [result] { OperatorSend::Left(result); });
    return true;
}

RotatorStatus::Move RotatorMove(Serial *link, int64_t signedSteps, bool mayReverse, bool mayAsk)
{
    if (!link || !link->Connected())
        return {};
    return RotatorStatus::WithinWrap(*link, signedSteps, mayReverse, mayAsk);
}

QString RotatorMoveRefusal(const RotatorStatus::Move &move)
{
    return move.outcome == RotatorStatus::Move::Outcome::PastLimit ? QStringLiteral("Warning:  Can not slew past wrap limit.")
                                                                   : QStringLiteral("No response from rotator");
}

void WarnRotatorMove(const RotatorStatus::Move &move)
{
    if (move.outcome != RotatorStatus::Move::Outcome::Send)
        MsgBox(RotatorMoveRefusal(move), vbconst::vbExclamation, QStringLiteral("VKM"));
}

std::optional<int32_t> CurrentRotatorValue(Serial *link, QStringView code, bool mayAsk)
{
    return link ? RotatorStatus::Value(*link, code, mayAsk) : std::nullopt;
}

std::optional<Report> Vouched(const Serial *link, QStringView code)
{
    if (!link || !link->Connected())
        return std::nullopt;
    const ControllerReports &reports = link->Reports();
    const ControllerReports::Value *value = reports.Last(code);
    if (!value || !reports.Holds(code))
        return std::nullopt;
    return value->report;
}

std::optional<Report> Reported(Serial *link, QStringView code, const QString &query, bool mayAsk)
{
    if (std::optional<Report> now = Vouched(link, code); now || !mayAsk || !link)
        return now;
    const ControllerReports &reports = link->Reports();
    if (link->Transmit(query) != Serial::SendResult::Sent)
        return std::nullopt;
    const uint64_t epoch = reports.Epoch();
    Wait::Until(RotatorStatus::AnswerWaitMs, [&] { return reports.Epoch() != epoch || Vouched(link, code); });
    return reports.Epoch() == epoch ? Vouched(link, code) : std::nullopt;
}

bool RecallOn(const Report &r)
{
    return ReportValue::RecallCode(r).value_or(0) != 0;
}

namespace {

// Either of two codes of one answer, as Reported: the first asked for, the second as it stands.
std::optional<bool> eitherReported(Serial *link, const char16_t *first, bool (*firstOn)(const Report &),
                                   const char16_t *second, const QString &query, bool mayAsk)
{
    const std::optional<Report> a = Reported(link, QStringView(first), query, mayAsk);
    const std::optional<Report> b = Vouched(link, QStringView(second));
    if ((a && firstOn(*a)) || (b && RecallOn(*b)))
        return true;
    if (a || b)
        return false;
    return std::nullopt;
}


} // namespace

std::optional<bool> FocuserHomed(Serial *link, bool mayAsk)
{
    return eitherReported(link, u":h", [](const Report &r) { return r.numeric && r.v == 1; }, u":frp",
                          QStringLiteral(" Q "), mayAsk);
}

namespace {

// A window's way of asking: through its link, serving events while it waits; a timer's tick
// (`mayAsk` false) asks nothing.
FocuserStatus::Asking windowAsking(Serial &link, bool mayAsk)
{
    return {[&link, mayAsk](const QString &q) { return mayAsk && link.Transmit(q) == Serial::SendResult::Sent; },
            [](int ms, const std::function<bool()> &done) { Wait::Until(ms, done); }};
}

// The focuser's state decided on the record, asked for with " Q " when it cannot decide.
std::optional<bool> statusDecided(Serial *link, bool (*holds)(const Serial &), bool (*decide)(const Serial &), bool mayAsk)
{
    if (!link || !link->Connected())
        return std::nullopt;
    if (!FocuserStatus::Ask(*link, FocuserStatus::Status, [&] { return holds(*link); }, windowAsking(*link, mayAsk))
        || !link->Connected())
        return std::nullopt;
    return decide(*link);
}

} // namespace

std::optional<bool> Compensating(Serial *link, bool mayAsk)
{
    return statusDecided(link, &FocuserStatus::CompensationHolds,
                         [](const Serial &l) { return FocuserStatus::Compensation(l) != 0; }, mayAsk);
}

std::optional<bool> MotorForcedOff(Serial *link, bool mayAsk)
{
    return statusDecided(link, &FocuserStatus::MotorHolds, &FocuserStatus::MotorForcedOff, mayAsk);
}

std::optional<double> CompensationTemperature(Serial *link)
{
    if (!link || !link->Connected())
        return std::nullopt;
    FocuserStatus::Ask(*link, FocuserStatus::Temperatures, [&] { return FocuserStatus::Temperature(*link).has_value(); },
                       windowAsking(*link, true));
    return link->Connected() ? FocuserStatus::Temperature(*link) : std::nullopt;
}

std::optional<bool> RotatorHomed(Serial *link, bool mayAsk)
{
    return eitherReported(link, u":rh", [](const Report &r) { return r.numeric && r.v != 0; }, u":rrp",
                          QStringLiteral(" R "), mayAsk);
}

void WarnWrapLimit()
{
    WarnRotatorMove({RotatorStatus::Move::Outcome::PastLimit});
}

} // namespace WindowRules
