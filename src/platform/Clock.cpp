#include "platform/Clock.h"

#include "platform/ClockTimer.h"

#include <chrono>

namespace Clock {

namespace {
TimeSource *installed = nullptr;
} // namespace

int64_t Now()
{
    if (installed)
        return installed->now();
    using namespace std::chrono;
    static const auto start = steady_clock::now();
    return duration_cast<milliseconds>(steady_clock::now() - start).count();
}

uint32_t GetTickCount()
{
    // Counted from process start plus about twelve days, so "never" (0) reads as long ago
    // and the 32-bit wrap comes only after five weeks of running.
    constexpr uint64_t startOffset = 1ull << 30;
    return static_cast<uint32_t>(static_cast<uint64_t>(Now()) + startOffset);
}

void Install(TimeSource *source)
{
    const int64_t before = Now();
    installed = source;
    ClockTimer::Rebase(Now() - before);
}

TimeSource *Installed()
{
    return installed;
}

} // namespace Clock
