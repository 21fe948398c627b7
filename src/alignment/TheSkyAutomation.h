#pragma once

#include "platform/Variant.h"

#include <QString>
#include <cstdint>

// The planetarium program's automation objects as the program uses them: the five objects
// of Module().thesky, reached late-bound. A call on an object that is not created raises
// VbError 91; a member the program refuses raises its own error. Angles are degrees, right
// ascensions hours, declinations degrees, FOVI offsets arcminutes.
namespace TheSkyAutomation {

// --- creation ---
// Creates TheSky, TheSkyFOVs, TheSkyChart and TheSkyUtils in that order, each replacing the
// one held. On the first that fails: "Unable to creat object '<ProgID>'.  Make sure the
// correct version of TheSky is installed." (exclamation, "VKM"), false; those created
// before it stay.
bool CreateChartObjects();
// Creates TheSkyTelescope, with the same message when it fails.
bool CreateTelescopeObject();
// Releases all five.
void ReleaseObjects();

// --- field-of-view indicator named by the Detector setting (TheSkyFOVs.Property) ---
enum FoviProperty : int32_t { FoviVisible = 0, FoviAngle = 1, FoviOffsetEastWest = 3, FoviOffsetNorthSouth = 4 };
Variant GetFovi(int32_t property);
void SetFovi(int32_t property, const Variant &value);
// The camera indicator's position angle.
double CameraAngle();
void SetCameraAngle(double degrees);

// --- chart ---
Variant ChartDocumentProperty(int16_t index);
void SetChartDocumentProperty(int16_t index, const Variant &value);
void RefreshChart();

// --- TheSky: the chart's centre, rotation and width, and image linking ---
double ScreenRa();
double ScreenDec();
double ScreenRotation();
void SetScreenRa(double hours);
void SetScreenDec(double degrees);
void SetScreenRotation(double degrees);
void SetScreenFOV(double degrees);
// Solves the image open in the camera program near ra/dec at `scale` arcseconds per pixel.
void ImageLink(double scale, double ra, double dec);

struct RaDec
{
    double ra = 0;
    double dec = 0;
};
// The solved centre of the last image link, J2000.
RaDec ImageLinkCentre2000();

// --- telescope ---
bool TelescopeConnected();
void ConnectTelescope();
// The mount's position of date (GetRaDec, then dRA and dDec).
RaDec TelescopePosition();
// The mount's right ascension alone (GetRaDec, then dRA).
double TelescopeRa();
// Returns once the slew is over.
void SlewToRaDec(double ra, double dec);
bool IsSlewComplete();
// IsSlewComplete answers exactly 1: an asynchronous slew has ended.
bool SlewEnded();
void AbortSlew();
void SetAsynchronous(int16_t value);
// direction: "North", "South", "East" or "West".
void Jog(double amount, const QString &direction);

// --- utilities ---
double LocalSiderealTime();
RaDec PrecessNowTo2000(RaDec ofDate);
RaDec Precess2000ToNow(RaDec j2000);

} // namespace TheSkyAutomation
