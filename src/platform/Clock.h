#pragma once

#include <cstdint>

// The millisecond tick count the program measures waits and cache ages with.
// Monotonic, wrapping at 32 bits like the original; compare ticks only by unsigned
// difference (TicksSince). The count starts high, so a stamp of 0 ("never") reads as
// long ago from the very first call.
namespace Clock {

uint32_t GetTickCount();

// Milliseconds from `since` to now, correct across the 32-bit wrap.
inline uint32_t TicksSince(uint32_t since) { return GetTickCount() - since; }

} // namespace Clock
