#pragma once

#include "alignment/TheSkyAutomation.h"

// Slewing the telescope from an alignment run, through TheSky.
namespace TelescopeSlew {

using TheSkyAutomation::RaDec;

// A J2000 position brought into range: a declination beyond a pole reflected over it (the
// right ascension then turns by 12 hours), the right ascension folded into [0, 24).
RaDec FoldTarget(RaDec j2000);

// Slews to the J2000 position `j2000` (folded first), precessed to the equinox of date, and
// returns when the slew is over: TheSky's telescope is set synchronous first, since a run
// before may have left it asynchronous.
void SlewToJ2000(RaDec j2000);

} // namespace TelescopeSlew
