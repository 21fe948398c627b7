#pragma once

#include <QString>
#include <cstdint>
#include <optional>

class Serial;

// The record of the pier side at which rotator and sky were last brought into step (0:
// never): ZELSynchedToTelescope and the driver key. The key opens when this is made (else
// VbError 1 "Unable to read registry"), so an action of several steps makes it before its
// first step and records last.
class ZELSynchRecord
{
public:
    ZELSynchRecord();
    ~ZELSynchRecord();
    ZELSynchRecord(const ZELSynchRecord &) = delete;
    ZELSynchRecord &operator=(const ZELSynchRecord &) = delete;

    void record(int16_t pierSide);

private:
    uint32_t m_key = 0; // HKEY
};

// ZELSynchRecord().record(pierSide): the variable is left as it was when the key cannot be
// opened.
void RecordZELSynchedToTelescope(int16_t pierSide);

// The box for an action whose later step failed (`failure`, a sentence) after "p<steps>"
// relabelled the rotator's counter: what took effect, and that nothing was recorded.
void ReportRelabelledOnly(const QString &failure, int32_t steps);

// Whether the controller reports the rotator's position recorded (":rrp" odd and 8 or more) in
// an answer written after the last rotator command; asks when the record holds none.
std::optional<bool> RotatorPositionRecorded(Serial &link);

// The rotator's position counter relabelled by half a turn, for a telescope now on the
// other side of the pier: setPosition - 36000 above 36000, else setPosition + 36000.
int32_t OtherPierSidePosition(int32_t setPosition);

// Hours folded into -12..+12, so that 23.9 h and 0.2 h lie 0.3 h apart: the hour angle
// (sidereal time less right ascension) whose sign gives the telescope's side of the pier.
double FoldHourAngle(double hours);
