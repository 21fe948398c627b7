#pragma once

#include "alignment/TheSkyAutomation.h"

class AlignmentRun;

// Slewing the telescope from an alignment run, through TheSky.
namespace TelescopeSlew {

using TheSkyAutomation::RaDec;

// A J2000 position brought into range: a declination beyond a pole reflected over it (the
// right ascension then turns by 12 hours), the right ascension folded into [0, 24).
RaDec FoldTarget(RaDec j2000);

// Slews to the J2000 position `j2000` (folded first), precessed to the equinox of date, and
// returns when the slew is over: TheSky's telescope is set synchronous first, since a run
// before may have left it asynchronous.
void SlewToJ2000(const AlignmentRun &run, RaDec j2000);

// TheSky's slew to `ofDate`, Abort tested right before it (RunAborted): the calls before a
// slew serve events, so Abort may have been pressed in them.
void SlewTo(const AlignmentRun &run, RaDec ofDate);

} // namespace TelescopeSlew
