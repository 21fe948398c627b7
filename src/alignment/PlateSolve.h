#pragma once

#include "alignment/ImagingAutomation.h"

#include <cstdint>

class AlignmentRun;
struct AlignmentSettings;

// The solve step of a measurement: the J2000 centre of the run's last image into ImageRA /
// ImageDec and its position angle, by the camera program's WCS insertion, TheSky's Image
// Link or the plate solver with its spiral search and chart update.
namespace PlateSolve {

using ImagingAutomation::RaDec;

// Logs "Attempting WCS insertion:", then solves by the run's engine near `hint` (J2000).
// Returns the measured angle. A plate that cannot be solved ends the run ("Unable to solve
// plate"); Abort is tested before an Image Link. `newPlatePerAttempt`: see SolveWithPinPoint.
double SolveImage(AlignmentRun &run, RaDec hint, bool newPlatePerAttempt = false);

// The camera program's WCS insertion, else TheSky's Image Link at `hint`; the angle is
// TheSky's chart rotation. Leaves the run's later steps ending it on a failure.
double SolveWithImageLink(AlignmentRun &run, RaDec hint);

// A fresh plate on the run's last image, searched from `searchCentre`, with the spiral
// search on failure and the chart update on success. Leaves the run's later steps passing
// failures over. `newPlatePerAttempt` (a framing pass): every spiral retry starts on a new
// plate, its object logged again.
double SolveWithPinPoint(AlignmentRun &run, RaDec searchCentre, bool newPlatePerAttempt = false);

// Solve attempts on the attached plate from its present target, the first logged from it;
// on a failure the spiral search's next start, while retries are left in the run, else
// "Unable to solve plate".
void SearchWithSpiral(AlignmentRun &run, Dispatch &plate, RaDec searchCentre);

// The position angle of a plate-solver solve from its roll angle and scales; `mirror` is
// set when the scales have opposite signs (a mirrored image).
double PinPointAngle(double rollAngle, double horizScale, double vertScale, bool &mirror);

// The search start of spiral retry `row` (0..11) around `base`: quarter fields of the
// camera's sensor at the unbinned scale; the right-ascension step converted to hours and
// the result wrapped once into 0..24.
RaDec SpiralTarget(const AlignmentSettings &settings, int row, RaDec base, int16_t xSize, int16_t ySize);

// The chart centred on the solved field `centre`, turned (and with `zoom` zoomed) to it,
// and the camera indicator turned; each call passed over when TheSky refuses it.
void ShowSolvedField(Dispatch &plate, RaDec centre, double angle, bool zoom = true);

// The camera indicator turned to `angle` and the chart redrawn, in the run's failure mode.
void TurnIndicator(AlignmentRun &run, double angle);

// Closes the image document when the run has one, in the run's failure mode.
void CloseImage(AlignmentRun &run);

// The scale of the run's binning as a header gave it; a binning below 1 is taken as 1.
// `logged`: with the lines that say so ("Unable to extract binning ...", "Binning: ...").
double BinnedScale(AlignmentRun &run, bool logged);

// "RA:hh:mm:ss.s, DEC:dd:mm:ss.s" of a position.
QString Coordinates(RaDec position);

} // namespace PlateSolve
