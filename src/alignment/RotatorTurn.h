#pragma once

#include <QString>
#include <cstdint>

class AlignmentRun;

// Turning the rotator from an alignment run: its commands go through the main window's link
// (VbError 91 when the main window is not loaded).
namespace RotatorTurn {

// Sends `command` through the main window's link.
void SendThroughMainWindow(const QString &command);

// "p" and the angle in steps, rounded down: the rotator's position counter takes `angle`.
void SetPositionCounter(double angle);

// The steps that turn the rotator from `measured` degrees the short way to 0, within one
// turn and -36000..36000; `reversed` (the chart's document property 22 at 1) negates them.
int32_t ShortWayToZero(double measured, bool reversed);

// Logs "Rotating ZEL by <degrees> degrees" and sends the relative move "j<steps> ", the
// other way round (with "WRAP limit detected, reversing direction.") when the move would
// wind the cable further past ZELLimit.
void Turn(AlignmentRun &run, int32_t steps);

// Waits, serving events and adding a dot a second, until the controller reports the
// rotator at `target` steps, counted from reports that arrive after the call; while the
// options window holds the main window's poll, asks " R " itself every 250 ms. On Abort
// sends "q0 ", serves events once and returns false.
bool WaitForMove(AlignmentRun &run, int32_t target);

} // namespace RotatorTurn
