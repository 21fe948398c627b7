#pragma once

// Blocks the calling thread for `ms` milliseconds without serving any event: for loops that
// must not let timers or received text in between their steps (upload pacing, calibration
// pauses, the firmware exchange). Prefer Wait everywhere else.
void Pause(int ms);
