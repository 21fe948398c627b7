#include "alignment/RotatorTurn.h"

#include "alignment/AlignmentRun.h"
#include "link/ControlWindowHooks.h"
#include "link/ModuleState.h"
#include "link/RotatorStatus.h"
#include "link/RotatorSteps.h"
#include "link/Serial.h"
#include "link/StepScope.h"
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

// The controller's word that the move is done: an answer written after the move's command
// with the move's own target as its target and as its position.
bool moveArrived(int64_t target)
{
    const std::shared_ptr<Serial> link = MainWindowLink();
    if (!link || !RotatorStatus::Current(*link))
        return false;
    const ControllerReports &reports = link->Reports();
    const ControllerReports::Value *set = reports.Last(u":rs");
    const ControllerReports::Value *actual = reports.Last(u":rt");
    return set && actual && sameAngle(set->report.v, target) && sameAngle(actual->report.v, target);
}

// After a wait of the turn: a halt of the rotator (whoever sent it) or a port or controller
// change ends the run.
void requireWanted(const StepScope &turn)
{
    if (!turn.Wanted())
        throw RunRefused(QStringLiteral("The rotator's turn stopped: %1.").arg(turn.Cause()).toStdString());
}

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
    // A command that did not leave ends the run: no answer to it is waited for.
    switch (link ? link->Transmit(command) : Serial::SendResult::PortClosed) {
    case Serial::SendResult::Sent:
        return;
    case Serial::SendResult::PortClosed:
        throw RunRefused("The communications port is not open.");
    case Serial::SendResult::UploadOwnsLine:
        throw RunRefused("A firmware upload is in progress.");
    case Serial::SendResult::NotDelivered:
        break;
    }
    throw RunRefused("The command could not be written to the communications port.");
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
    run.Log(QStringLiteral("Rotating ZEL by ") + vb::Format(double(steps) / RotatorStepsPerDegree, QStringLiteral("0.00"))
            + QStringLiteral(" degrees"));
    run.AbortTest();
    const std::shared_ptr<Serial> link = MainWindowLink();
    if (!link || !link->Connected())
        throw RunRefused("The communications port is not open.");
    const StepScope turn(link.get(), MovedDevice::Rotator);
    // On the wrap the controller reports now and every move sent since, whoever sent it.
    const RotatorStatus::Move move = RotatorStatus::WithinWrap(*link, steps, true);
    if (link->Connected())
        requireWanted(turn);
    if (move.outcome == RotatorStatus::Move::Outcome::NoReport)
        throw RunRefused(link->Connected() ? "No response from rotator" : "The communications port is not open.");
    if (move.outcome == RotatorStatus::Move::Outcome::PastLimit)
        throw RunRefused("Can not turn past wrap limit.");
    if (move.steps != steps)
        run.Log(QStringLiteral("WRAP limit detected, reversing direction."));
    Send(run, QStringLiteral("j") + vb::CStr(move.steps) + QLatin1Char(' '));
    return move.steps;
}

bool WaitForMove(AlignmentRun &run, int64_t target)
{
    ModuleState &m = Module();
    const StepScope turn(MainWindowLink().get(), MovedDevice::Rotator);
    m.rotator.RotatorSetPosition = inTurn(target);
    m.rotator.RotatorMoving = true;
    uint32_t lastDot = Clock::GetTickCount();
    uint32_t lastQuery = lastDot - 250; // the first query at once
    const auto arrived = [&] { return moveArrived(target); };
    const auto portClosed = [] {
        const std::shared_ptr<Serial> link = MainWindowLink();
        return !link || !link->Connected();
    };
    while (!run.AbortRequested() && !arrived()) {
        Wait::Until(AlignmentRun::PollMs, [&] { return run.AbortRequested() || arrived() || portClosed(); });
        // No report can come any more.
        if (!run.AbortRequested() && !arrived() && portClosed())
            throw RunRefused("The communications port is not open.");
        if (!run.AbortRequested() && !arrived())
            requireWanted(turn);
        // Whatever the windows poll, the run asks for itself while no query is on its way.
        const std::shared_ptr<Serial> link = MainWindowLink();
        if (link && Clock::TicksSince(lastQuery) >= 250 && link->Reports().Pending(u'R') == 0) {
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
