#pragma once

#include <functional>

// Waits that keep the program alive: they block in the Qt event loop, so receive events,
// timers and automation calls are served meanwhile, and they nest like a stack. None of
// them spins the processor.
namespace Wait {

// Serves events until `done` returns true or `timeoutMs` has passed. `done` is checked
// before blocking and after every batch of events; a wait of more than 0 ms serves at least
// one batch. Returns the last answer of `done`.
bool Until(int timeoutMs, const std::function<bool()> &done);

// Serves events for `ms` milliseconds.
void For(int ms);

// Serves the events that are pending now and returns at once.
void DoEvents();

} // namespace Wait
