#include "link/ReportFreshness.h"

#include "link/Serial.h"

void ReportFreshness::Restart(const Serial *link)
{
    m_mark = link ? link->ChunksReceived() : 0;
}

bool ReportFreshness::Take(const Serial *link)
{
    if (!link)
        return false;
    const uint64_t received = link->ChunksReceived();
    const bool fresh = link->Connected() && received != m_mark;
    m_mark = received;
    return fresh;
}
