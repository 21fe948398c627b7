#include "alignment/RotatorTurn.h"

#include "alignment/AlignmentRun.h"
#include "link/ControlWindowHooks.h"
#include "link/ModuleState.h"
#include "link/ReplyState.h"
#include "link/RotatorSteps.h"
#include "link/Serial.h"
#include "platform/Clock.h"
#include "platform/Vb.h"
#include "platform/VbError.h"
#include "platform/Wait.h"

#include <QObject>
#include <cmath>

namespace RotatorTurn {

namespace {

// Reports give the rotator within one turn, 0 to 71999 steps.
int32_t inTurn(int64_t steps)
{
    return int32_t(((steps % RotatorStepsPerTurn) + RotatorStepsPerTurn) % RotatorStepsPerTurn);
}

bool sameAngle(double reported, int64_t steps)
{
    return reported == std::floor(reported) && std::abs(reported) < 1e15 && inTurn(int64_t(reported)) == inTurn(steps);
}

// Watches the rotator reports that reach the main window's link while it lives for the
// controller's word that this move is done: a target (":rs") equal to the move's own target,
// then a position (":rt") equal to it. The controller answers in order, so the first bursts,
// as many as queries were unanswered when the watch began, carry the old target and
// position and never count.
class MoveReports : public QObject
{
public:
    explicit MoveReports(int64_t target)
        : m_parser([this, target](QStringView code, QStringView value) {
              if (m_stale > 0) {
                  if (code == u":rt")
                      --m_stale;
                  return;
              }
              const bool atTarget = sameAngle(vb::Val(value.toString()), target);
              if (code == u":rs")
                  m_target = atTarget;
              else if (code == u":rt" && m_target && atTarget)
                  m_position = true;
          })
    {
        if ((m_link = MainWindowLink())) {
            m_stale = m_link->Reports().Pending(u'R');
            m_link->subscribe(this, [this](const QString &chunk) { m_parser.Handle_Received(chunk); });
        }
    }
    ~MoveReports() override
    {
        if (m_link)
            m_link->unsubscribe(this);
    }
    bool arrived() const { return m_position; }

private:
    ReplyState m_parser;
    std::shared_ptr<Serial> m_link;
    int m_stale = 0; // bursts still to pass over
    bool m_target = false;
    bool m_position = false;
};

// Polls and stops: sent when the link is there, else left out.
void sendIfLinked(const QString &command)
{
    if (const std::shared_ptr<Serial> link = MainWindowLink())
        link->Transmit(command);
}

} // namespace

void Send(const AlignmentRun &run, const QString &command)
{
    run.AbortTest();
    const std::shared_ptr<Serial> link = MainWindowLink();
    if (!link || !link->Connected())
        throw RunRefused("The communications port is not open.");
    // The upload owns the line and would drop the command unsaid.
    if (Module().tools.FlashInProgress)
        throw RunRefused("A firmware upload is in progress.");
    link->Transmit(command);
}

int32_t PositionCounter(double angle)
{
    return vb::CLng(vb::Int(angle * RotatorStepsPerDegree));
}

void SetPositionCounter(const AlignmentRun &run, double angle)
{
    Send(run, QStringLiteral("p") + vb::CStr(PositionCounter(angle)) + QLatin1Char(' '));
}

int32_t ShortWayToZero(double measured, bool reversed)
{
    int32_t steps = vb::CLng(vb::Int(-measured * RotatorStepsPerDegree));
    // Above half a turn forward goes back, below half a turn back goes forward.
    steps = FoldRotatorMove(steps, false);
    steps = -FoldRotatorHalfTurn(-steps, false);
    return reversed ? -steps : steps;
}

int32_t Turn(AlignmentRun &run, int32_t steps)
{
    const ModuleState &m = Module();
    run.Log(QStringLiteral("Rotating ZEL by ") + vb::Format(double(steps) / RotatorStepsPerDegree, QStringLiteral("0.00"))
            + QStringLiteral(" degrees"));
    const int32_t wrap = m.rotator.RotatorWrap, limit = m.settings.ZELLimit;
    const std::optional<int32_t> move = RotatorStepsWithinWrap(steps, wrap, limit, true);
    if (!move)
        throw RunRefused("Can not turn past wrap limit.");
    if (*move != steps)
        run.Log(QStringLiteral("WRAP limit detected, reversing direction."));
    Send(run, QStringLiteral("j") + vb::CStr(*move) + QLatin1Char(' '));
    return *move;
}

bool WaitForMove(AlignmentRun &run, int64_t target)
{
    ModuleState &m = Module();
    const MoveReports reports(target);
    m.rotator.RotatorSetPosition = inTurn(target);
    m.rotator.RotatorMoving = true;
    uint32_t lastDot = Clock::GetTickCount();
    uint32_t lastQuery = lastDot - 250; // the first query at once
    const auto arrived = [&] { return reports.arrived(); };
    const auto portClosed = [] {
        const std::shared_ptr<Serial> link = MainWindowLink();
        return !link || !link->Connected();
    };
    while (!run.AbortRequested() && !arrived()) {
        Wait::Until(AlignmentRun::PollMs, [&] { return run.AbortRequested() || arrived() || portClosed(); });
        // No report can come any more.
        if (!run.AbortRequested() && !arrived() && portClosed())
            throw RunRefused("The communications port is not open.");
        // The options window holds the main window's status poll.
        if (m.link.SettingsWindowOpen && Clock::TicksSince(lastQuery) >= 250) {
            lastQuery = Clock::GetTickCount();
            sendIfLinked(QStringLiteral(" R "));
        }
        if (Clock::TicksSince(lastDot) > 1000) {
            lastDot = Clock::GetTickCount();
            run.log.AppendDot();
        }
    }
    if (!run.AbortRequested())
        return true;
    // The abort stands even when the stop cannot be sent.
    sendIfLinked(QStringLiteral("q0 "));
    Wait::DoEvents();
    return false;
}

} // namespace RotatorTurn
