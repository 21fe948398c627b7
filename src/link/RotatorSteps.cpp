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
