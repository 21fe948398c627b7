#include "platform/Clock.h"

#include <chrono>

namespace Clock {

uint32_t GetTickCount()
{
    // Counted from process start plus about twelve days, so "never" (0) reads as long ago
    // and the 32-bit wrap comes only after five weeks of running.
    using namespace std::chrono;
    static const auto start = steady_clock::now();
    constexpr uint64_t startOffset = 1ull << 30;
    const auto ms = duration_cast<milliseconds>(steady_clock::now() - start).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(ms) + startOffset);
}

} // namespace Clock
