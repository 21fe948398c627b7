#include "windows/TheSkyFollow.h"

#include "alignment/PierSide.h"
#include "alignment/TheSkyAutomation.h"
#include "alignment/frmSynchTS.h"
#include "alignment/frmTheSkyMove.h"
#include "alignment/frmZELEastWest.h"
#include "alignment/frmZELPromptFlip.h"
#include "link/ModuleState.h"
#include "link/OperatorSend.h"
#include "link/RotatorSteps.h"
#include "platform/Clock.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/Wait.h"
#include "windows/WindowRules.h"
#include "windows/frmPromptMoveTelescope.h"

#include <cmath>
#include <functional>
#include <utility>

namespace TS = TheSkyAutomation;

int TheSkyFollow::SlewWaitLimitMs = 5 * 60 * 1000;
int TheSkyFollow::SlewPollMs = 50;

namespace {

const QString ErrorTitle = QStringLiteral("VKM ERROR OCCURED");

// Thrown when a tick is no longer wanted after a wait, a prompt or a late-bound call: it
// ends quietly, having said what took effect.
struct NoLongerWanted
{
};

// Marks a tick or connect under way for its whole length, prompts and waits included.
class BusyScope
{
public:
    BusyScope() { TheSkyFollow::shared().Busy = true; }
    ~BusyScope() { TheSkyFollow::shared().Busy = false; }
};

// The indicator's angle less ZELOffset, folded into 0..360 degrees.
double IndicatorDegrees(double angle)
{
    double d = std::fmod(angle - double(Module().thesky.ZELOffset), 360.0);
    if (d < 0)
        d += 360;
    return d >= 360 ? 0 : d;
}

int32_t IndicatorSteps(double angle)
{
    return int32_t(vb::Int(IndicatorDegrees(angle) * RotatorStepsPerDegree));
}

// Two step counts compared within one turn: the difference in -36000..36000.
int64_t StepsApart(int64_t a, int64_t b)
{
    int64_t d = (a - b) % RotatorStepsPerTurn;
    if (d > RotatorStepsPerHalfTurn)
        d -= RotatorStepsPerTurn;
    else if (d < -RotatorStepsPerHalfTurn)
        d += RotatorStepsPerTurn;
    return d;
}

// Indicator and set position agree when both, rounded to a twentieth of a degree, name the
// same angle; whole turns apart count as the same.
bool AnglesAgree(double angle, int32_t setPosition)
{
    const int64_t indicator = int64_t(vb::Int(IndicatorDegrees(angle) * 20 + 0.5));
    const int64_t rotator = int64_t(vb::Int(setPosition / 10.0 + 0.5));
    return (indicator - rotator) % (RotatorStepsPerTurn / 10) == 0;
}

void Warn(const QString &text, int icon = vbconst::vbExclamation)
{
    MsgBox(text, icon, QStringLiteral("VKM"));
}

} // namespace

TheSkyFollow::TheSkyFollow(TheSkyFollowHost &host) : m_host(host) {}

TheSkyFollow::Shared &TheSkyFollow::shared()
{
    static Shared s;
    return s;
}

Serial::SendResult TheSkyFollow::send(const QString &letter, int32_t value)
{
    return m_host.Transmit(letter + vb::CStr(value) + QLatin1Char(' '));
}

// --- connection ---

StepScope::Condition TheSkyFollow::stillOn(uint64_t stops, bool following) const
{
    return [this, stops, following] {
        if (m_host.Closing())
            return QStringLiteral("the window closed");
        if (shared().Stops != stops || (following && !Module().thesky.TheSky))
            return QStringLiteral("the follow was stopped");
        return QString();
    };
}

// Goes on only while the box stays ticked and the window open: withdrawn meanwhile, it keeps
// none of the objects it made, starts no follow and shows nothing more.
void TheSkyFollow::ConnectTheSky(bool boxChecked)
{
    ModuleState &m = Module();
    m.thesky.UtilitiesFormOpen = false;
    if (!boxChecked) {
        Disconnect();
        return;
    }
    BusyScope busy;
    const uint64_t connect = ++shared().Connects;
    // A connect ticked again inside this one's wait runs with its own scope.
    std::optional<StepScope> outer =
        std::exchange(m_tick, StepScope(nullptr, MovedDevice::None, stillOn(shared().Stops, false)));
    bool createdNow = false;
    try {
        connectObjects(createdNow);
    } catch (const NoLongerWanted &) {
        // What a later connect made is its own.
        if (createdNow && shared().Connects == connect)
            TS::ReleaseObjects();
    }
    m_tick = std::move(outer);
}

void TheSkyFollow::connectObjects(bool &createdNow)
{
    const ModuleState &m = Module();
    if (!m.thesky.TheSky) {
        createdNow = true;
        const bool created = TS::CreateChartObjects();
        requireWanted();
        if (!created || !showIndicator()) {
            m_host.SetConnectBox(false);
            return;
        }
    }
    const bool newTelescope = !m.thesky.TheSkyTelescope;
    if (newTelescope) {
        createdNow = true;
        const bool created = TS::CreateTelescopeObject();
        requireWanted();
        if (!created) {
            m_host.SetConnectBox(false);
            return;
        }
    }
    connectSteps(createdNow, newTelescope);
}

bool TheSkyFollow::showIndicator()
{
    bool visible = false;
    try {
        visible = TS::GetFovi(TS::FoviVisible).toBoolean();
        requireWanted();
    } catch (const VbError &) {
        requireWanted(); // a call the untick cut short says nothing
        Warn(QStringLiteral("The current FOVI is not found the TheSky available FOVIs.  Please choose a new FOVI "
                            "under Rotator Options."));
        return false;
    }
    if (visible)
        return true;
    try {
        TS::SetFovi(TS::FoviVisible, true);
        requireWanted();
    } catch (const VbError &) {
        requireWanted();
        Warn(QStringLiteral("Unable to set FOVI visiblity."));
        return false;
    }
    Warn(QStringLiteral("FOVI set visible."), vbconst::vbInformation);
    requireWanted();
    return true;
}

void TheSkyFollow::connectSteps(bool createdNow, bool newTelescope)
{
    const ModuleState &m = Module();
    // With objects made by this click a failing step ends the connect; with objects that
    // were already there it is skipped.
    auto step = [&](const std::function<void()> &work) {
        try {
            work();
            requireWanted();
            return true;
        } catch (const VbError &e) {
            requireWanted();
            if (!createdNow)
                return true;
            if (e.number() == 429) {
                MsgBox(QStringLiteral("Error:  Unable to connect to the sky.  Please make sure The Sky version 5.00.100 "
                                      "or greater is installed, and that the proper The Sky version is configured in "
                                      "VKM options."),
                       vbconst::vbExclamation, ErrorTitle);
                m_host.EnableUtilities(false);
            } else {
                MsgBox(e.description(), vbconst::vbExclamation, ErrorTitle);
            }
            m_host.SetConnectBox(false);
            return false;
        }
    };
    if (newTelescope && !step([this] {
            const bool connected = TS::TelescopeConnected();
            requireWanted();
            if (!connected)
                TS::ConnectTelescope();
        }))
        return;
    if (m.settings.CheckTelescope && !step([this] { findPierSide(); }))
        return;
    m_host.EnableUtilities(true);
    if (!step([this] { compareAtConnect(); }) || !step([this] { resetOffsets(); }))
        return;
    m_host.EnableFollowTimer(true);
}

void TheSkyFollow::findPierSide()
{
    const double lst = TS::LocalSiderealTime();
    const double ra = TS::TelescopeRa();
    const double hourAngle = FoldHourAngle(lst - ra);
    requireWanted();
    int16_t side = hourAngle < 0 ? -1 : 1; // east of the meridian: the telescope is on the west side
    if (std::abs(hourAngle) < 0.67) {
        side = frmZELEastWest::ask(m_host.PromptParent());
        requireWanted();
    }
    Module().thesky.PierSide = side;
}

void TheSkyFollow::compareAtConnect()
{
    const ModuleState &m = Module();
    const double angle = TS::CameraAngle();
    requireWanted();
    // Without the controller's own target the angles cannot be shown to agree.
    const std::optional<int32_t> set = WindowRules::CurrentRotatorValue(m_host.Link(), u":rs", true);
    requireWanted();
    bool differ = !set || std::llabs(StepsApart(IndicatorSteps(angle), *set)) > 2;
    const int16_t synched = m.settings.ZELSynchedToTelescope;
    if (!differ && m.settings.CheckTelescope && synched != 0
        && m_host.Link() && RotatorPositionRecorded(*m_host.Link()).value_or(false))
        differ = synched != m.thesky.PierSide;
    if (!differ)
        return;
    Warn(QStringLiteral("Warning:  TheSky and the ZEL angles are different.  You must set a synchronization option."));
    requireWanted();
    frmSynchTS::ask(m_host.PromptParent());
    requireWanted();
}

void TheSkyFollow::resetOffsets()
{
    Shared &s = shared();
    s.LastFOVIOffsetDec = 0;
    s.LastFOVIOffsetRA = 0;
    TS::SetFovi(TS::FoviOffsetEastWest, 0.0);
    requireWanted();
    TS::SetFovi(TS::FoviOffsetNorthSouth, 0.0);
    requireWanted();
    TS::RefreshChart();
    requireWanted();
}

void TheSkyFollow::Disconnect()
{
    ++shared().Stops;
    TS::ReleaseObjects();
    m_host.EnableUtilities(false);
    m_host.EnableFollowTimer(false);
}

// --- follow tick ---

void TheSkyFollow::Tick()
{
    const ModuleState &m = Module();
    if (shared().Busy || !m.thesky.TheSky || m.rotator.RotatorMovePending || m.thesky.UtilitiesFormOpen)
        return;
    BusyScope busy;
    m_tick.emplace(m_host.Link(), MovedDevice::Rotator, stillOn(shared().Stops, true));
    try {
        keepChartSetting();
        watchMeridian();
        followIndicator();
        if (m.settings.EnableSlew)
            slewToOffset();
    } catch (const NoLongerWanted &) {
    } catch (const std::exception &e) {
        // A call the stop cut short (objects released under it) is no error of the follow.
        if (m_tick->Wanted())
            stopFollowing(QString::fromUtf8(e.what()));
    }
    m_tick.reset();
}

void TheSkyFollow::stopFollowing(const QString &description)
{
    MsgBox(description, vbconst::vbExclamation, ErrorTitle);
    ++shared().Stops;
    m_host.EnableFollowTimer(false);
    Module().thesky.TheSky.reset();
    m_host.SetConnectBox(false);
    m_host.EnableUtilities(false);
}

void TheSkyFollow::keepChartSetting()
{
    const bool reversed = TS::ChartDocumentProperty(22).toDouble() == 1;
    requireWanted();
    if (reversed) {
        TS::SetChartDocumentProperty(22, int16_t(0));
        requireWanted();
        TS::RefreshChart();
        requireWanted();
    }
}

void TheSkyFollow::watchMeridian()
{
    const ModuleState &m = Module();
    if (!m.thesky.TheSkyTelescope || !m.settings.CheckTelescope)
        return;
    const bool connected = TS::TelescopeConnected();
    requireWanted();
    if (!connected)
        return;
    Shared &s = shared();
    const bool slewing = !TS::IsSlewComplete();
    requireWanted();
    if (slewing)
        ++s.SlewTickCount;
    if (s.SlewTickCount > 10 && !slewing) {
        s.SlewTickCount = 0; // also when the check ends the tick
        checkMeridian();
    }
}

void TheSkyFollow::checkMeridian()
{
    const double lst = TS::LocalSiderealTime();
    const double ra = TS::TelescopeRa();
    const double hourAngle = FoldHourAngle(lst - ra);
    requireWanted();
    const int16_t side = Module().thesky.PierSide;
    if (hourAngle < -0.1 && side == 1)
        flip(-1);
    else if (hourAngle >= -0.1 && side == -1)
        flip(1);
}

// Either choice checks the link and the driver key first and records the new side last: a
// refusal or a failed step leaves pier side, registry and TheSky as they were.
void TheSkyFollow::flip(int16_t newSide)
{
    const int16_t choice = frmZELPromptFlip::ask(m_host.PromptParent());
    requireWanted();
    if (choice == 0 || !OperatorSend::Ready(Module().link.SharedSerial.get()))
        return;
    ZELSynchRecord record;
    // Read after the answer, as the controller reports it now.
    const std::optional<int32_t> set = WindowRules::CurrentRotatorValue(m_host.Link(), u":rs", true);
    requireWanted();
    if (!set) {
        WindowRules::WarnRotatorMove({});
        return;
    }
    const int32_t n = OtherPierSidePosition(*set);
    if (!(choice == 1 ? flipRotator(n, newSide) : flipTheSky(n)))
        return;
    record.record(newSide);
    Module().thesky.PierSide = newSide;
}

// A half turn that did not leave after "p" had relabelled the counter.
bool TheSkyFollow::turnSent(Serial::SendResult result, int32_t n)
{
    if (result == Serial::SendResult::Sent)
        return true;
    ReportRelabelledOnly(QStringLiteral("Error:  The rotator's half turn was not sent: %1.").arg(OperatorSend::Cause(result)), n);
    return false;
}

// The counter is relabelled by half a turn, then the rotator turns half a turn back, under
// the wrap rule; a half turn it refuses leaves counter and pier side as they were.
bool TheSkyFollow::flipRotator(int32_t n, int16_t newSide)
{
    const bool main = m_host.kind() == TheSkyFollowHost::Window::Main;
    const int32_t towards = newSide == -1 ? 1 : -1;
    // The main window takes the half turn that unwinds, the console the new side's way; both
    // on the wrap the controller reports now and every move sent since.
    const std::optional<int32_t> wrap = WindowRules::CurrentRotatorValue(m_host.Link(), u":wr", true);
    requireWanted();
    if (!wrap) {
        WindowRules::WarnRotatorMove({});
        return false;
    }
    const int32_t half = main ? (*wrap > 18000 ? -RotatorStepsPerHalfTurn : RotatorStepsPerHalfTurn)
                              : RotatorStepsPerHalfTurn * towards;
    const RotatorStatus::Move move = WindowRules::RotatorMove(m_host.Link(), half, main, false);
    if (move.outcome != RotatorStatus::Move::Outcome::Send) {
        WindowRules::WarnRotatorMove(move);
        return false;
    }
    const std::optional<int32_t> steps = move.steps;
    if (!OperatorSend::Left(send(QStringLiteral("p"), n)))
        return false;
    if (main) {
        m_host.HoldTheSkyUpdate();
        return turnSent(send(QStringLiteral("j"), *steps), n);
    }
    // The console turns a first step, lets the controller take it, then the rest.
    if (!consoleStep(2 * towards, n))
        return false;
    m_host.HoldTheSkyUpdate();
    for (int pass = 0; pass < 1000; ++pass) {
        Wait::DoEvents();
        requireWanted(n);
    }
    return consoleStep((RotatorStepsPerHalfTurn - 2) * towards, n);
}

// One step of the console's half turn, checked under the wrap rule as it leaves: a move any
// sender made since the last step counts. A refused step says that the counter was relabelled.
bool TheSkyFollow::consoleStep(int32_t steps, int32_t n)
{
    const RotatorStatus::Move move = WindowRules::RotatorMove(m_host.Link(), steps, false, false);
    if (move.outcome != RotatorStatus::Move::Outcome::Send) {
        ReportRelabelledOnly(WindowRules::RotatorMoveRefusal(move), n);
        return false;
    }
    return turnSent(send(QStringLiteral("q"), move.steps), n);
}

// TheSky's indicator turns half a turn with the relabelled counter; the rotator stays.
bool TheSkyFollow::flipTheSky(int32_t n)
{
    ModuleState &m = Module();
    if (!OperatorSend::Left(send(QStringLiteral("p"), n)))
        return false;
    m.rotator.RotatorMovePending = true;
    m_host.RestartMoveWatch();
    try {
        TS::SetCameraAngle(double(n) / RotatorStepsPerDegree + double(m.thesky.ZELOffset));
        requireWanted(n);
        TS::RefreshChart();
        requireWanted(n);
    } catch (const VbError &e) {
        requireWanted(n); // a call the stop cut short: the stop is what is said
        ReportRelabelledOnly(QStringLiteral("Error:  TheSky did not take the camera angle: %1.").arg(e.description()), n);
        return false;
    }
    m.rotator.RotatorSetPosition = n;
    return true;
}

// Whether the follow may turn the rotator now: with the link not taking commands the turn is
// refused, said once until the link takes them again, and the operator is not asked.
bool TheSkyFollow::turnPossible()
{
    const Serial::SendResult prospect = OperatorSend::Prospect(Module().link.SharedSerial.get());
    bool &refused = shared().TurnRefused;
    if (prospect == Serial::SendResult::Sent) {
        refused = false;
        return true;
    }
    if (!refused) {
        refused = true;
        OperatorSend::Left(prospect);
    }
    return false;
}

void TheSkyFollow::followIndicator()
{
    ModuleState &m = Module();
    const double angle = TS::CameraAngle();
    requireWanted();
    // Decided on the target the controller reported after the last rotator command: a turn
    // already sent waits for a report that shows where it goes, whichever tab is shown.
    const std::optional<int32_t> set = WindowRules::CurrentRotatorValue(m_host.Link(), u":rs", false);
    // Without the link the shown target tells whether the operator must hear that no turn goes.
    if (!set && !AnglesAgree(angle, m.rotator.RotatorSetPosition))
        turnPossible();
    if (!set || AnglesAgree(angle, *set) || !turnPossible())
        return;
    const bool turn = !m.settings.PromptTheSky || frmTheSkyMove::ask(m_host.PromptParent());
    requireWanted();
    if (turn) {
        turnRotatorTo(angle);
    } else {
        // Put TheSky back to the rotator.
        TS::SetCameraAngle(double(*set) / RotatorStepsPerDegree + double(m.thesky.ZELOffset));
        requireWanted();
        TS::RefreshChart();
        requireWanted();
        m.rotator.RotatorMovePending = true;
        m_host.RestartMoveWatch();
    }
    m_host.HoldTheSkyUpdate();
}

void TheSkyFollow::turnRotatorTo(double angle)
{
    const ModuleState &m = Module();
    // The prompt may have let reports or moves in: read the position afresh.
    const std::optional<int32_t> position = WindowRules::CurrentRotatorValue(m_host.Link(), u":rt", false);
    if (!position)
        return;
    const int64_t apart = int64_t(IndicatorSteps(angle)) - *position;
    if (apart < INT32_MIN || apart > INT32_MAX)
        throw VbError::overflow();
    const int32_t steps = FoldRotatorMove(int32_t(apart), true);
    const RotatorStatus::Move move = WindowRules::RotatorMove(m_host.Link(), steps, m.settings.AutoReverse != 0, false);
    if (move.outcome == RotatorStatus::Move::Outcome::Send)
        OperatorSend::Left(send(QStringLiteral("j"), move.steps));
    else
        WindowRules::WarnRotatorMove(move);
}

// --- offset slew ---

void TheSkyFollow::slewToOffset()
{
    Shared &s = shared();
    const double y = TS::GetFovi(TS::FoviOffsetNorthSouth).toDouble();
    const double x = TS::GetFovi(TS::FoviOffsetEastWest).toDouble();
    requireWanted();
    if (std::abs(y - s.LastFOVIOffsetDec) <= 1.0 / 120 && std::abs(x - s.LastFOVIOffsetRA) <= 1.0 / 120)
        return;
    const bool move = frmPromptMoveTelescope::ask(m_host.PromptParent());
    requireWanted();
    if (!move) {
        // Not offered again until the indicator moves once more.
        s.LastFOVIOffsetDec = y;
        s.LastFOVIOffsetRA = x;
        return;
    }
    TS::SetAsynchronous(0);
    requireWanted();
    if (y != 0) {
        TS::Jog(std::abs(y), y < 0 ? QStringLiteral("North") : QStringLiteral("South"));
        waitForSlew();
    }
    if (x != 0) {
        TS::Jog(std::abs(x), x < 0 ? QStringLiteral("East") : QStringLiteral("West"));
        waitForSlew();
    }
    const double ra = TS::ScreenRa();
    const double dec = TS::ScreenDec();
    requireWanted();
    TS::SetScreenRa(ra - x / 60 / 15);
    TS::SetScreenDec(dec - y / 60);
    requireWanted();
    resetOffsets();
}

// Serves events meanwhile; a telescope that never stands ends the follow.
void TheSkyFollow::waitForSlew()
{
    requireWanted(); // after the jog's call
    const uint32_t start = Clock::GetTickCount();
    while (!TS::IsSlewComplete()) {
        if (Clock::TicksSince(start) >= uint32_t(SlewWaitLimitMs))
            throw VbError(1, QStringLiteral("Error:  TheSky did not report the end of the telescope slew."));
        Wait::For(SlewPollMs);
        requireWanted();
    }
}

void TheSkyFollow::requireWanted(std::optional<int32_t> relabelled) const
{
    if (m_tick ? m_tick->Wanted() : !m_host.Closing())
        return;
    if (relabelled && m_tick)
        ReportRelabelledOnly(QStringLiteral("Error:  The flip stopped: %1.").arg(m_tick->Cause()), *relabelled);
    throw NoLongerWanted{};
}
