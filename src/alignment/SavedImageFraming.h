#pragma once

#include "alignment/ImagingAutomation.h"

#include "platform/VbError.h"

#include <QString>
#include <cstdint>
#include <optional>

class AlignmentRun;

// Frame from Saved Image: the saved image's centre and angle are solved, then the telescope
// and the rotator are brought onto them pass by pass, a new image solved each time, until
// the new image agrees within the run's limits or the passes are spent.
class SavedImageFraming
{
public:
    using RaDec = ImagingAutomation::RaDec;

    // `backlashMs`: the settle time of a pass's slew (the first slew settles 2000 ms).
    SavedImageFraming(AlignmentRun &run, int backlashMs);

    // The whole procedure on the saved image `file`; ends by returning (the goal met or the
    // passes spent), RunAborted, or the failing step's error.
    void Run(const QString &file);

    // The rotation still missing, folded into 0..180 degrees.
    static double RotationError(double savedAngle, double imageAngle);
    // Arcseconds between two J2000 positions, hours and degrees.
    static double Separation(RaDec a, RaDec b);

private:
    void readHeader(const QString &file);
    void readHeaderFromDocument(const QString &file);
    void readHeaderFromPlate(const QString &file);
    // The telescope's J2000 position as the target when the header gives no pointing on the
    // sky, with the line that says so; true then.
    bool fallBackToTelescope();
    void solveSavedImage();
    void solveSavedWithPinPoint();
    void solveSavedWithImageLink();
    void firstImage();
    void slewTo(RaDec ofDate);
    void reportFirstImage();
    void turnRotator();
    void framingImage();
    void reportPass();
    // `pass`: a framing pass's solve, whose spiral retries each start on a new plate.
    double solveNewImage(bool pass);
    void recordPierSide(double ra);
    void writePointing();

    AlignmentRun &run;
    int m_backlashMs;
    RaDec target;            // the saved image's pointing, J2000: hint of its solve
    double pixelScale = 0;
    RaDec saved;             // solved centre of the saved image, J2000
    double savedAngle = 0;
    RaDec slew;              // last position sent to the telescope, of date
    double imageAngle = 0;
    double separation = 0;
    int16_t passCount = 0;
    // The saved image's WCS insertion failed with this (its header's last call counts too).
    std::optional<VbError> m_wcsError;
};
