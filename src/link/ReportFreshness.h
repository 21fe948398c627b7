#pragma once

#include <cstdint>

class Serial;

// Whether a sampler may take the stored values as new (the data log's records, the graph's
// points): the port is open and the controller has sent something since the sampler's
// previous sample. Without that evidence the values are the last ones it reported.
class ReportFreshness
{
public:
    // Counts from now: what came before does not count.
    void Restart(const Serial *link);
    // True when `link` is open and has received since the last Restart or Take.
    bool Take(const Serial *link);

private:
    uint64_t m_mark = 0;
};
