#include "link/RotatorSteps.h"

#include <cstdlib>

void ReduceRotatorSteps(int32_t &steps)
{
    // 64-bit so that the magnitude of the most negative count does not overflow.
    const int64_t magnitude = std::llabs(static_cast<int64_t>(steps));
    if (magnitude == 0)
        return;
    const int64_t turns = (magnitude - 1) / RotatorStepsPerTurn;
    if (turns >= 1) {
        const int64_t folded = magnitude - turns * RotatorStepsPerTurn;
        steps = static_cast<int32_t>(steps < 0 ? -folded : folded);
    }
}

int32_t FoldRotatorHalfTurn(int32_t steps, bool halfTurnFolds)
{
    const bool beyondHalf = halfTurnFolds ? steps >= RotatorStepsPerHalfTurn : steps > RotatorStepsPerHalfTurn;
    // Only counts already within one turn reach here from the movers; 64-bit keeps any
    // other count from wrapping.
    return beyondHalf ? static_cast<int32_t>(int64_t(steps) - RotatorStepsPerTurn) : steps;
}

int32_t FoldRotatorMove(int32_t steps, bool halfTurnFolds)
{
    ReduceRotatorSteps(steps);
    return FoldRotatorHalfTurn(steps, halfTurnFolds);
}

int64_t RotatorWrapLimitSteps(int32_t zelLimit)
{
    return int64_t(zelLimit) * RotatorStepsPerDegree;
}

int32_t RotatorOtherWayRound(int32_t steps)
{
    // Counts within one turn stay within 32 bits either way.
    return static_cast<int32_t>(steps > 0 ? int64_t(steps) - RotatorStepsPerTurn
                                          : int64_t(steps) + RotatorStepsPerTurn);
}

namespace {

bool allowedByWrap(int64_t steps, int64_t wrap, int32_t zelLimit)
{
    // Past the limit only a move that unwinds on the same side, or no move, goes: ending past
    // the limit on the other side winds the cable there, however near zero that is.
    const int64_t end = steps + wrap;
    const bool unwinds = (end > 0) == (wrap > 0) && std::llabs(end) < std::llabs(wrap);
    return std::llabs(end) <= RotatorWrapLimitSteps(zelLimit) || unwinds || steps == 0;
}

// The limit holds between its ends when it holds at both: the end's distance from zero wrap
// is largest at one of them.
bool allowedFromSpan(int64_t steps, int64_t low, int64_t high, int32_t zelLimit)
{
    return allowedByWrap(steps, low, zelLimit) && allowedByWrap(steps, high, zelLimit);
}

} // namespace

std::optional<int32_t> RotatorStepsWithinWrap(int64_t steps, int64_t wrap, int32_t zelLimit, bool mayReverse)
{
    return RotatorStepsWithinWrapSpan(steps, wrap, wrap, zelLimit, mayReverse);
}

std::optional<int32_t> RotatorStepsWithinWrapSpan(int64_t steps, int64_t low, int64_t high, int32_t zelLimit,
                                                  bool mayReverse)
{
    if (steps < INT32_MIN || steps > INT32_MAX)
        return std::nullopt;
    if (allowedFromSpan(steps, low, high, zelLimit))
        return int32_t(steps);
    if (!mayReverse || std::llabs(steps) > RotatorStepsPerTurn)
        return std::nullopt;
    const int32_t other = RotatorOtherWayRound(int32_t(steps));
    if (allowedFromSpan(other, low, high, zelLimit))
        return other;
    return std::nullopt;
}
