#include "alignment/PlateSolve.h"

#include "alignment/AlignmentRun.h"
#include "alignment/ExposureStep.h"
#include "alignment/TheSkyAutomation.h"
#include "link/ModuleState.h"
#include "link/Sexagesimal.h"
#include "platform/CreateObject.h"
#include "platform/Vb.h"
#include "platform/VbError.h"

#include <cmath>

namespace PlateSolve {

namespace {

using namespace ImagingAutomation;

VbError unsolved()
{
    return VbError(1, QStringLiteral("Unable to solve plate"), QStringLiteral("VKM"));
}

void storeCentre(RaDec centre)
{
    Module().alignment.ImageRA = centre.ra;
    Module().alignment.ImageDec = centre.dec;
}

// Binning and scale hints of the run's plate from the image's header, passed over when the
// plate is missing; `logged`: with their lines.
void setScale(AlignmentRun &run, bool logged)
{
    AlignmentRun::PassOver([&] { run.Binning = BinningHoriz(run.plate()); });
    const double scale = BinnedScale(run, logged);
    AlignmentRun::PassOver([&] { SetPlateScale(run.plate(), scale); });
}

// A new plate on the run's last image with its object logged and its scale set. On the
// first attempt of a solve a failing creation is passed over; on a retry it ends the run.
void attachNewPlate(AlignmentRun &run, bool firstAttempt)
{
    run.Plate.reset();
    const auto create = [&] {
        run.Plate = CreateObject(PlateKind().progId);
        AttachFITS(run.plate(), ExposureStep::TemporaryImageFile(run.ImageNumber));
    };
    if (firstAttempt)
        AlignmentRun::PassOver(create);
    else
        create();
    AlignmentRun::PassOver([&] { run.Log(QStringLiteral("Object: ") + TargetName(run.plate())); });
    setScale(run, firstAttempt);
}

// The next spiral start around `searchCentre`, counted and logged, or "Unable to solve
// plate" when the search is off or spent.
RaDec nextSpiralTarget(AlignmentRun &run, RaDec searchCentre)
{
    if (run.settings.SpiralSearch != 1 || run.SpiralStep > 11)
        throw unsolved();
    const RaDec target = SpiralTarget(run.settings, run.SpiralStep, searchCentre, run.CameraXSize, run.CameraYSize);
    ++run.SpiralStep;
    run.Log(QStringLiteral("Spiral search #)%1").arg(run.SpiralStep));
    return target;
}

// One attempt from the plate's present target; true when solved.
bool attempt(AlignmentRun &run, Dispatch &plate)
{
    const RaDec target = Target(plate);
    run.Log(QStringLiteral("Coord (2000): ") + Coordinates(target));
    PrepareSolve(plate, run.settings.CatalogPath, run.settings.Catalog, target);
    return AlignmentRun::PassOver([&] {
        run.Log(QStringLiteral("Attempting PinPoint WCS insertion:"));
        Solve(plate);
    });
}

} // namespace

double BinnedScale(AlignmentRun &run, bool logged)
{
    // A binning below 1 is one the header lacks.
    if (run.Binning < 1) {
        if (logged)
            run.Log(QStringLiteral("Unable to extract binning from FIT header.  Using default value of 1x1"));
        run.Binning = 1;
    }
    const double scale = run.Binning * run.settings.ImageScale;
    if (logged)
        run.Log(QStringLiteral("Binning: %1, Image Scale=%2").arg(run.Binning).arg(vb::Format(scale, QStringLiteral("0.000"))));
    return scale;
}

QString Coordinates(RaDec position)
{
    return QStringLiteral("RA:") + FormatSexagesimal(position.ra) + QStringLiteral(", DEC:")
           + FormatSexagesimal(position.dec);
}

double SolveImage(AlignmentRun &run, RaDec hint, bool newPlatePerAttempt)
{
    run.Log(QStringLiteral("Attempting WCS insertion:"));
    if (run.settings.AstrometricEngine == TheSkyEngine)
        return SolveWithImageLink(run, hint);
    return SolveWithPinPoint(run, hint, newPlatePerAttempt);
}

double SolveWithImageLink(AlignmentRun &run, RaDec hint)
{
    run.PassOverFailures = false;
    if (AlignmentRun::PassOver([&] { InsertWCS(run.imageDocument()); })) {
        run.Log(QStringLiteral("     WCS insertion successful"));
        storeCentre(ImageCentre(run.imageDocument()));
    } else {
        run.Log(QStringLiteral("Attempting Image Link"));
        run.AbortTest();
        TheSkyAutomation::ImageLink(2 * run.settings.ImageScale, hint.ra, hint.dec);
        run.Log(QStringLiteral("    Image link successful"));
        const TheSkyAutomation::RaDec centre = TheSkyAutomation::ImageLinkCentre2000();
        storeCentre({centre.ra, centre.dec});
    }
    return TheSkyAutomation::ScreenRotation();
}

double SolveWithPinPoint(AlignmentRun &run, RaDec searchCentre, bool newPlatePerAttempt)
{
    attachNewPlate(run, true);
    if (newPlatePerAttempt) {
        SetTarget(run.plate(), searchCentre);
        while (!attempt(run, run.plate())) {
            const RaDec next = nextSpiralTarget(run, searchCentre);
            attachNewPlate(run, false);
            SetTarget(run.plate(), next);
        }
    } else {
        AlignmentRun::PassOver([&] { SetTarget(run.plate(), searchCentre); });
        SearchWithSpiral(run, run.plate(), searchCentre);
    }
    Dispatch &plate = run.plate();
    AlignmentRun::PassOver([&] { UpdateFITS(plate); });
    AlignmentRun::PassOver([&] { run.Log(QStringLiteral("     WCS insertion successful")); });
    // A solve whose result cannot be read is no solve.
    storeCentre(SolvedCentre(plate));
    const double angle = PinPointAngle(RollAngle(plate), ArcsecPerPixelHoriz(plate), ArcsecPerPixelVert(plate),
                                       run.MirrorDetected);
    if (run.MirrorDetected)
        run.Log(QStringLiteral("AO7 detected, reversing slew directions."));
    ShowSolvedField(plate, {Module().alignment.ImageRA, Module().alignment.ImageDec}, angle);
    run.PassOverFailures = true;
    return angle;
}

void SearchWithSpiral(AlignmentRun &run, Dispatch &plate, RaDec searchCentre)
{
    while (!attempt(run, plate))
        SetTarget(plate, nextSpiralTarget(run, searchCentre));
}

double PinPointAngle(double rollAngle, double horizScale, double vertScale, bool &mirror)
{
    double a = rollAngle < 0 ? rollAngle + 360 : rollAngle;
    a = 360 - a;
    if (horizScale * vertScale < 0)
        mirror = true;
    else if (horizScale > 0)
        a = a > 180 ? a - 180 : a + 180;
    return a;
}

RaDec SpiralTarget(const AlignmentSettings &settings, int row, RaDec base, int16_t xSize, int16_t ySize)
{
    const auto &m = settings.SpiralOffsetTable[size_t(row)];
    // Degrees on the sky; right ascension is kept in hours.
    const double raStep = (double(ySize) / 4) * m[1] * (settings.ImageScale / 3600);
    double ra = base.ra + raStep / 15;
    if (ra > 24)
        ra -= 24;
    if (ra < 0)
        ra += 24;
    const double dec = (double(xSize) / 4) * m[0] * (settings.ImageScale / 3600) + base.dec;
    return {ra, dec};
}

void ShowSolvedField(Dispatch &plate, RaDec centre, double angle, bool zoom)
{
    AlignmentRun::PassOver([&] { TheSkyAutomation::SetScreenRa(centre.ra); });
    AlignmentRun::PassOver([&] { TheSkyAutomation::SetScreenDec(centre.dec); });
    AlignmentRun::PassOver([&] { TheSkyAutomation::SetScreenRotation(angle); });
    AlignmentRun::PassOver([&] {
        if (!zoom)
            return;
        const double width = std::abs(Columns(plate) * ArcsecPerPixelHoriz(plate));
        // The image fills 70 % of the chart.
        if (width > 0)
            TheSkyAutomation::SetScreenFOV(width / 0.7 / 3600);
    });
    AlignmentRun::PassOver([&] { TheSkyAutomation::SetCameraAngle(angle); });
    AlignmentRun::PassOver([] { TheSkyAutomation::RefreshChart(); });
}

void TurnIndicator(AlignmentRun &run, double angle)
{
    run.Step([&] { TheSkyAutomation::SetCameraAngle(angle); });
    run.Step([] { TheSkyAutomation::RefreshChart(); });
}

void CloseImage(AlignmentRun &run)
{
    if (run.ImageDocument)
        run.Step([&] { ImagingAutomation::CloseImage(run.imageDocument()); });
}

} // namespace PlateSolve
