#include "link/ReportFreshness.h"

#include "link/Serial.h"

void ReportFreshness::Restart(const Serial *link)
{
    Advance(link);
}

void ReportFreshness::Advance(const Serial *link)
{
    m_mark = link ? link->Reports().LastSerial() : 0;
    m_epoch = link ? link->Reports().Epoch() : 0;
}

bool ReportFreshness::Fresh(const Serial *link, QStringView code) const
{
    if (!link || !link->Connected())
        return false;
    const ControllerReports &reports = link->Reports();
    // Values from before the port last opened are gone from the record; a mark taken on an
    // earlier opening counts every value reported since this one.
    return reports.ReportedSince(code, reports.Epoch() == m_epoch ? m_mark : 0);
}
