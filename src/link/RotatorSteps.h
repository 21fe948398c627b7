#pragma once

#include <cstdint>

// Rotator step arithmetic: 200 steps per degree, 72000 per turn.
constexpr int32_t RotatorStepsPerDegree = 200;
constexpr int32_t RotatorStepsPerTurn = 72000;

// Folds the magnitude of `steps` into 1..72000 keeping the sign; 0 stays 0 and a whole
// number of turns stays a full turn (144000 gives 72000).
void ReduceRotatorSteps(int32_t &steps);
