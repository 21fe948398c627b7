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

namespace RotatorTurn {

namespace {

std::shared_ptr<Serial> mainLink()
{
    MainWindowAccess *main = ControlWindows().Main;
    std::shared_ptr<Serial> link = main ? main->link() : nullptr;
    if (!link)
        throw VbError(91, QStringLiteral("Object variable or With block variable not set"));
    return link;
}

// Notes the rotator reports that reach the main window's link while it lives: a target
// (":rs") and, after it, a position (":rt").
class MoveReports : public QObject
{
public:
    MoveReports()
        : m_parser([this](QStringView code, QStringView) {
              if (code == u":rs")
                  m_target = true;
              else if (code == u":rt" && m_target)
                  m_position = true;
          })
    {
        MainWindowAccess *main = ControlWindows().Main;
        if ((m_link = main ? main->link() : nullptr))
            m_link->subscribe(this, [this](const QString &chunk) { m_parser.Handle_Received(chunk); });
    }
    ~MoveReports() override
    {
        if (m_link)
            m_link->unsubscribe(this);
    }
    bool targetAndPositionSeen() const { return m_position; }

private:
    ReplyState m_parser;
    std::shared_ptr<Serial> m_link;
    bool m_target = false;
    bool m_position = false;
};

} // namespace

void SendThroughMainWindow(const QString &command)
{
    mainLink()->Transmit(command);
}

void SetPositionCounter(double angle)
{
    SendThroughMainWindow(QStringLiteral("p") + vb::CStr(vb::CLng(vb::Int(angle * RotatorStepsPerDegree)))
                          + QLatin1Char(' '));
}

int32_t ShortWayToZero(double measured, bool reversed)
{
    int32_t steps = vb::CLng(vb::Int(-measured * RotatorStepsPerDegree));
    // Above half a turn forward goes back, below half a turn back goes forward.
    steps = FoldRotatorMove(steps, false);
    steps = -FoldRotatorHalfTurn(-steps, false);
    return reversed ? -steps : steps;
}

void Turn(AlignmentRun &run, int32_t steps)
{
    const ModuleState &m = Module();
    run.Log(QStringLiteral("Rotating ZEL by ") + vb::Format(double(steps) / RotatorStepsPerDegree, QStringLiteral("0.00"))
            + QStringLiteral(" degrees"));
    int32_t move = steps;
    if (RotatorMoveWindsPastWrap(steps, m.rotator.RotatorWrap, m.settings.ZELLimit)) {
        run.Log(QStringLiteral("WRAP limit detected, reversing direction."));
        move = RotatorOtherWayRound(steps);
    }
    SendThroughMainWindow(QStringLiteral("j") + vb::CStr(move) + QLatin1Char(' '));
}

bool WaitForMove(AlignmentRun &run, int32_t target)
{
    ModuleState &m = Module();
    const MoveReports reports;
    m.rotator.RotatorSetPosition = target;
    m.rotator.RotatorMoving = true;
    uint32_t lastDot = Clock::GetTickCount();
    uint32_t lastQuery = lastDot - 250; // the first query at once
    const auto arrived = [&] { return reports.targetAndPositionSeen() && !m.rotator.RotatorMoving; };
    while (!run.AbortRequested() && !arrived()) {
        Wait::Until(AlignmentRun::PollMs, [&] { return run.AbortRequested() || arrived(); });
        // The options window holds the main window's status poll.
        if (m.link.SettingsWindowOpen && Clock::TicksSince(lastQuery) >= 250) {
            lastQuery = Clock::GetTickCount();
            AlignmentRun::PassOver([] { SendThroughMainWindow(QStringLiteral(" R ")); });
        }
        if (Clock::TicksSince(lastDot) > 1000) {
            lastDot = Clock::GetTickCount();
            run.log.AppendDot();
        }
    }
    if (!run.AbortRequested())
        return true;
    SendThroughMainWindow(QStringLiteral("q0 "));
    Wait::DoEvents();
    return false;
}

} // namespace RotatorTurn
