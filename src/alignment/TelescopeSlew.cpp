#include "alignment/TelescopeSlew.h"

#include "alignment/AlignmentRun.h"

#include <cmath>

namespace TelescopeSlew {

RaDec FoldTarget(RaDec j2000)
{
    double ra = j2000.ra;
    double dec = std::fmod(j2000.dec, 360.0);
    if (dec > 180)
        dec -= 360;
    else if (dec < -180)
        dec += 360;
    if (dec > 90 || dec < -90) {
        dec = (dec > 0 ? 180 : -180) - dec;
        ra += 12;
    }
    ra = std::fmod(ra, 24.0);
    if (ra < 0)
        ra += 24;
    return {ra, dec};
}

void SlewToJ2000(const AlignmentRun &run, RaDec j2000)
{
    const RaDec ofDate = TheSkyAutomation::Precess2000ToNow(FoldTarget(j2000));
    TheSkyAutomation::SetAsynchronous(0);
    SlewTo(run, ofDate);
}

void SlewTo(const AlignmentRun &run, RaDec ofDate)
{
    run.AbortTest();
    TheSkyAutomation::SlewToRaDec(ofDate.ra, ofDate.dec);
}

} // namespace TelescopeSlew
