#pragma once

#include <QStringView>
#include <cstdint>

class Serial;

// Whether a sampler may take a stored value as new (the data log's records, the graph's
// points): the port is open and the controller reported that value since the port opened
// and since the sampler's previous sample. Without that evidence the value is an old one.
class ReportFreshness
{
public:
    // Counts from now: what came before does not count.
    void Restart(const Serial *link);
    // Whether `code` was reported since the last Restart or Advance, on the port as it is now open.
    bool Fresh(const Serial *link, QStringView code) const;
    // The next sample counts from now.
    void Advance(const Serial *link);

private:
    uint64_t m_mark = 0;
    uint64_t m_epoch = 0;
};
