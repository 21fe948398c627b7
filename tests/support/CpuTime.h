#pragma once

#include <ctime>

// CPU time this process has used, in seconds: tells a blocking wait from a spinning one.
inline double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}
