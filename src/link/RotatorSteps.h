#pragma once

#include <cstdint>
#include <optional>

// Rotator step arithmetic: 200 steps per degree, 72000 per turn. The Rotator driver and the
// windows (goto, jog, TheSky follow, dial, the alignment runs) share these rules.
constexpr int32_t RotatorStepsPerDegree = 200;
constexpr int32_t RotatorStepsPerTurn = 72000;
constexpr int32_t RotatorStepsPerHalfTurn = 36000;

// Folds the magnitude of `steps` into 1..72000 keeping the sign; 0 stays 0 and a whole
// number of turns stays a full turn (144000 gives 72000).
void ReduceRotatorSteps(int32_t &steps);

// The half-turn fold that follows ReduceRotatorSteps before a move: a count of more than half
// a turn goes the short way (steps - 72000). Whether exactly half a turn (36000) folds differs
// between the callers: the Rotator driver and the TheSky follow fold it (`halfTurnFolds`
// true: 36000 gives -36000), the main window's goto keeps it. Negative counts are not folded.
int32_t FoldRotatorHalfTurn(int32_t steps, bool halfTurnFolds);

// ReduceRotatorSteps, then FoldRotatorHalfTurn: the relative move as the driver computes it.
int32_t FoldRotatorMove(int32_t steps, bool halfTurnFolds);

// The cable-wrap limit in steps: ZELLimit (degrees) x 200, exact for any ZELLimit.
int64_t RotatorWrapLimitSteps(int32_t zelLimit);

// The same move the other way round: steps - 72000 for a positive count, steps + 72000 for
// 0 or a negative one (0 becomes a full turn).
int32_t RotatorOtherWayRound(int32_t steps);

// The one cable-wrap rule of every rotator move (driver, windows, TheSky follow, alignment
// runs): the move of `steps` from the wrap `wrap` to send, or nothing. A move that ends within
// the limit, or nearer to zero wrap than `wrap` on the same side (it unwinds), goes as it is.
// Otherwise, when the caller may turn the other way (`mayReverse`), the other way round goes
// under the same test; else nothing does. A step of 0 winds no farther and always goes; a move
// that ends past the limit on the other side does not. `steps` is already folded where the
// caller folds.
std::optional<int32_t> RotatorStepsWithinWrap(int64_t steps, int64_t wrap, int32_t zelLimit, bool mayReverse);

// The same rule for a rotator whose wrap may be anywhere from `low` to `high` (moves sent that
// no report shows done yet): the move goes only as it passes from every wrap in that range.
std::optional<int32_t> RotatorStepsWithinWrapSpan(int64_t steps, int64_t low, int64_t high, int32_t zelLimit,
                                                  bool mayReverse);
