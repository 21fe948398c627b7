#pragma once

#include <cstdint>

// Where the program's time comes from. The program runs on the monotonic clock; a test can
// install a source of its own (tests/support/TestClock) that moves time forward whenever
// the program has nothing else to do, so that long waits and timers pass at once.
class TimeSource
{
public:
    virtual ~TimeSource() = default;
    // Milliseconds on this source's monotonic scale.
    virtual int64_t now() const = 0;
    // A wait that ends at `deadline` (on this scale) serves events: returns after some
    // events were served, or once time has moved on.
    virtual void serveEvents(int64_t deadline) = 0;
};

// The millisecond tick count the program measures waits and cache ages with.
// Monotonic, wrapping at 32 bits; compare ticks only by unsigned difference (TicksSince).
// The count starts high, so a stamp of 0 ("never") reads as long ago from the very first
// call.
namespace Clock {

uint32_t GetTickCount();

// Milliseconds from `since` to now, correct across the 32-bit wrap.
inline uint32_t TicksSince(uint32_t since) { return GetTickCount() - since; }

// Milliseconds since the process started; what waits and timers are scheduled on.
int64_t Now();

// Puts `source` in charge of time (nullptr: the monotonic clock). Running timers keep the
// time they have left.
void Install(TimeSource *source);
TimeSource *Installed();

} // namespace Clock
