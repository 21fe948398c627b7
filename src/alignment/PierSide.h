#pragma once

#include <cstdint>

// Records the pier side at which rotator and sky were last brought into step (0: never) in
// ZELSynchedToTelescope and the driver key. VbError 1 "Unable to read registry" when the key
// cannot be opened; the variable is then left as it was.
void RecordZELSynchedToTelescope(int16_t pierSide);

// The rotator's position counter relabelled by half a turn, for a telescope now on the
// other side of the pier: setPosition - 36000 above 36000, else setPosition + 36000.
int32_t OtherPierSidePosition(int32_t setPosition);

// Hours folded into -12..+12, so that 23.9 h and 0.2 h lie 0.3 h apart: the hour angle
// (sidereal time less right ascension) whose sign gives the telescope's side of the pier.
double FoldHourAngle(double hours);
