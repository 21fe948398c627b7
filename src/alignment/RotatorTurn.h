#pragma once

#include <QString>
#include <cstdint>

class AlignmentRun;

// Turning the rotator from an alignment run: its commands go through the main window's link.
namespace RotatorTurn {

// Sends a rotator command ("p", "j") through the main window's link, Abort tested right
// before it (RunAborted). A command that cannot reach the controller, without the main
// window, with its port closed or while a firmware upload owns the line, ends the run
// (RunRefused with the reason).
void Send(const AlignmentRun &run, const QString &command);

// An angle in steps, rounded down: what the position counter takes from "p".
int32_t PositionCounter(double angle);
// Send of "p" and PositionCounter(angle): the rotator's position counter takes `angle`.
void SetPositionCounter(const AlignmentRun &run, double angle);

// The steps that turn the rotator from `measured` degrees the short way to 0, within one
// turn and -36000..36000; `reversed` (the chart's document property 22 at 1) negates them.
int32_t ShortWayToZero(double measured, bool reversed);

// Logs "Rotating ZEL by <degrees> degrees" and sends the relative move "j<steps> " under the
// rotator's one wrap rule on the controller's wrap and the moves sent since (RotatorStatus::
// WithinWrap, the other way round allowed), asking for it first when needed; "WRAP limit
// detected, reversing direction." when that sends it another way. A move the rule refuses is
// not sent: RunRefused. Returns the steps sent.
int32_t Turn(AlignmentRun &run, int32_t steps);

// Waits, serving events and adding a dot a second, until the controller reports `target`
// (the position counter plus the steps sent) as its rotator target and its position in an
// answer written after the move; asks " R " itself every 250 ms while no query is on its way.
// Answers to queries written before the move never count, however late they come. A port that closes ends the run (RunRefused). On Abort sends
// "q0 " (when it can), serves events once and returns false.
bool WaitForMove(AlignmentRun &run, int64_t target);

} // namespace RotatorTurn
