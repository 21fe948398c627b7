#pragma once

#include <functional>

// Automation calls run side by side on the one event-loop thread. Each call runs on a stack
// of its own (a fiber); a wait inside it suspends only that call, and the event loop resumes
// it once its condition holds or its time is up, whatever other calls are waiting. So one
// client's wait never delays another client's answer, as nested event loops would, where an
// outer wait can return only after every wait begun inside it has.
namespace CallFiber {

// Runs `body` on a new fiber; returns when it finishes or first suspends. An error that
// escapes `body` goes to the event loop's guard (EventLoopGuard), never past the fiber.
void Start(std::function<void()> body);

// True when the running code is a fiber's own and may suspend: not the main stack, and not
// inside an event loop that the fiber runs itself (a modal box or dialog), which must keep
// nesting as it does.
bool CanSuspend();

// Suspends the running fiber until `done` returns true (checked after every batch of
// events) or `timeoutMs` has passed. A null `done` waits for the time alone; 0 ms lets the
// events pending now run first. Returns the last answer of `done`. Only when CanSuspend().
bool SuspendUntil(int timeoutMs, const std::function<bool()> &done);

// Waits that pump the event loop themselves mark their extent with this, so that code run
// by their events on a fiber's stack does not suspend the fiber beneath them.
class PumpScope
{
public:
    PumpScope();
    ~PumpScope();
    PumpScope(const PumpScope &) = delete;
    PumpScope &operator=(const PumpScope &) = delete;
};

} // namespace CallFiber
