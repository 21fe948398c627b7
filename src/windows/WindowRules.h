#pragma once

#include <optional>

#include "link/ReportTable.h"
#include "link/RotatorStatus.h"

#include <QString>
#include <qnamespace.h>
#include <cstdint>
#include <exception>
#include <functional>

class QObject;
class QSpinBox;
class Serial;
class StepScope;

// Rules that the main window and the console apply alike: their shared report handling,
// the rotator jog's wrap guard, stopping the data log and the handlers' error box.
namespace WindowRules {

// Thrown after a wait when an operator window's command is no longer wanted (StepScope): the
// command sends nothing more and its handler ends quietly.
struct StepWithdrawn
{
};
// After a wait or a late-bound call: throws StepWithdrawn unless `step` is still wanted.
void RequireWanted(const StepScope &step);

// One statement of a report parser: a failing conversion or control write skips it alone.
template <typename F>
void skip(F &&statement)
{
    try {
        statement();
    } catch (const std::exception &) {
    }
}

// A spinner takes a report's value only inside its range; outside it nothing changes.
void setSpin(QSpinBox *spin, int32_t value);

// Whether an operator window may close while data logging runs: with the other window open
// or no logging, yes; when the window is the only holder, logging stops; otherwise the
// operator chooses to go on logging, to stop it (`stopLogging`) or to keep the window (false).
bool MayCloseWhileLogging(bool otherWindowOpen, const std::function<void()> &stopLogging);

// Stops data logging: clears LoggingActive, closes the log file and kills its timer.
void StopDataLogging();

// The custom rotator step, typed in degrees, under the one rule of both windows: a number by
// the strict rule with 0 < step < 360 that comes to at least one step and less than a turn.
// Its steps, or nothing.
std::optional<int32_t> CustomRotateSteps(const QString &degrees);
// The box for a custom step the rule refuses.
void RefuseCustomRotateStep(const QString &degrees);

// A new rotator target (steps) that differs from the set position is pushed to the
// planetarium's field-of-view indicator unless the follow holds it. True when pushed: the
// move is then pending and the caller restarts its move-watch timer.
bool PushRotatorTargetToTheSky(double v, bool theSkyUpdateHold);

// The rotator's actual position (steps): direction when it changed, then the position and
// the moving flag. True when the position changed.
bool NoteRotatorActual(double v);

// True when the wrap just reported has grown past the limit or fallen below its negative;
// never for the first report after a wrap of 0 or an unchanged one.
bool WrapLimitCrossed();

// The stop both parsers make once a reported wrap crosses the limit (and `stopped` is clear):
// "q0 " and the wrap message; `stopped` is set. A stop that did not leave is said with the
// operator windows' refusal box, opened from the event loop once the delivery has returned
// (`window` gone: not at all). True when it stopped.
bool StopAtWrapLimit(QObject *window, Serial *link, bool &stopped);

// The pointer's buttons now; tests replace it.
extern std::function<Qt::MouseButtons()> PointerButtons;

// Whether a jog button's repeat may go on: only while the operator holds the pointer down. A
// release that never reached the button (a box took the pointer, or the window manager kept
// the release) ends the repeat at its next tick.
bool JogPointerHeld();

// A rotator move of `signedSteps` from an operator window under the one wrap rule, decided on
// the link's record of what the controller reported and every move sent since, whoever sent
// it (RotatorStatus::WithinWrap): the steps to send, the other way round (`mayReverse`), or
// nothing. A press (`mayAsk`) asks the controller first when the record holds no answer
// written after the last rotator command; a jog's repeat decides on what the record vouches
// for, counting every step sent and not yet reported.
RotatorStatus::Move RotatorMove(Serial *link, int64_t signedSteps, bool mayReverse, bool mayAsk);
// The box every operator window shows for a rotator move the wrap rule refuses.
void WarnWrapLimit();
// The box for a move that was not sent: the wrap limit's, or that the rotator did not answer.
void WarnRotatorMove(const RotatorStatus::Move &move);
// That box's text.
QString RotatorMoveRefusal(const RotatorStatus::Move &move);
// The rotator's target, position or cable wrap (`code` ":rs", ":rt" or ":wr", in steps) as the
// controller reported it in an answer written after the last rotator command. When the record
// holds none, a press (`mayAsk`) asks and waits for the answer; a timer's tick asks without
// waiting (unless a query is already on its way) and gets nothing this time.
std::optional<int32_t> CurrentRotatorValue(Serial *link, QStringView code, bool mayAsk);

// A value of the controller's state as the link's record vouches for it now: reported since
// the port opened, after the last command that changes it, whoever sent it. Nothing else.
std::optional<Report> Vouched(const Serial *link, QStringView code);
// The same; when the record cannot vouch, a press (`mayAsk`) writes `query` and serves events
// until an answer does (RotatorStatus::AnswerWaitMs at most). Nothing when the record still
// cannot vouch.
std::optional<Report> Reported(Serial *link, QStringView code, const QString &query, bool mayAsk);

// The controller's focuser state from its status answer (" Q "), as Reported: homed (":h" 1, or
// ":frp" odd).
std::optional<bool> FocuserHomed(Serial *link, bool mayAsk);
// Compensating temperature and the motor forced off, as FocuserStatus decides them, asking
// " Q " when the record cannot; nothing only when no answer came.
std::optional<bool> Compensating(Serial *link, bool mayAsk);
std::optional<bool> MotorForcedOff(Serial *link, bool mayAsk);
// The temperature compensation works from (FocuserStatus::Temperature), asking " T " when the
// record holds none; nothing when none came.
std::optional<double> CompensationTemperature(Serial *link);
// The rotator homed (":rh" not 0, or ":rrp" odd), from its status answer (" R ").
std::optional<bool> RotatorHomed(Serial *link, bool mayAsk);
// A recall report's value (":frp", ":rrp") is odd: the position is recalled at power-up.
bool RecallOn(const Report &r);

} // namespace WindowRules
