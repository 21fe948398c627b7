#pragma once

#include <cstdint>
#include <functional>

// Timers without a window: SetTimer starts a periodic callback and returns its
// identifier (never 0); KillTimer stops it. Callbacks run in the event loop.
namespace SystemTimer {

uint32_t SetTimer(uint32_t periodMs, std::function<void()> callback);
// Returns false when no timer has that identifier.
bool KillTimer(uint32_t id);
// The period of a running timer; 0 when no timer has that identifier.
uint32_t Period(uint32_t id);

} // namespace SystemTimer
