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

Dispatch &held(const std::shared_ptr<Dispatch> &object)
{
    if (!object)
        throw VbError(91, QStringLiteral("Object variable or With block variable not set"));
    return *object;
}

void storeCentre(RaDec centre)
{
    Module().alignment.ImageRA = centre.ra;
    Module().alignment.ImageDec = centre.dec;
}

// Binning and scale hints of the plate from the image's header.
void setScale(AlignmentRun &run, Dispatch &plate)
{
    AlignmentRun::PassOver([&] { run.Binning = BinningHoriz(plate); });
    if (run.Binning == 0) {
        run.Log(QStringLiteral("Unable to extract binning from FIT header.  Using default value of 1x1"));
        run.Binning = 1;
    }
    const double scale = run.Binning * run.settings.ImageScale;
    AlignmentRun::PassOver([&] { SetPlateScale(plate, scale); });
    run.Log(QStringLiteral("Binning: %1, Image Scale=%2").arg(run.Binning).arg(vb::Format(scale, QStringLiteral("0.000"))));
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

QString Coordinates(RaDec position)
{
    return QStringLiteral("RA:") + FormatSexagesimal(position.ra) + QStringLiteral(", DEC:")
           + FormatSexagesimal(position.dec);
}

double SolveImage(AlignmentRun &run, RaDec hint)
{
    run.Log(QStringLiteral("Attempting WCS insertion:"));
    if (run.settings.AstrometricEngine == TheSkyEngine)
        return SolveWithImageLink(run, hint);
    return SolveWithPinPoint(run, hint);
}

double SolveWithImageLink(AlignmentRun &run, RaDec hint)
{
    run.PassOverFailures = false;
    if (AlignmentRun::PassOver([&] { InsertWCS(held(run.ImageDocument)); })) {
        run.Log(QStringLiteral("     WCS insertion successful"));
        storeCentre(ImageCentre(*run.ImageDocument));
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

double SolveWithPinPoint(AlignmentRun &run, RaDec searchCentre)
{
    run.Plate.reset();
    AlignmentRun::PassOver([&] {
        run.Plate = CreateObject(PlateKind().progId);
        AttachFITS(*run.Plate, ExposureStep::TemporaryImageFile(run.ImageNumber));
    });
    AlignmentRun::PassOver([&] { run.Log(QStringLiteral("Object: ") + TargetName(held(run.Plate))); });
    Dispatch *plate = run.Plate.get();
    if (plate) {
        setScale(run, *plate);
        AlignmentRun::PassOver([&] { SetTarget(*plate, searchCentre); });
    }
    SearchWithSpiral(run, held(run.Plate), searchCentre);
    AlignmentRun::PassOver([&] { UpdateFITS(*plate); });
    AlignmentRun::PassOver([&] { run.Log(QStringLiteral("     WCS insertion successful")); });
    // A solve whose result cannot be read is no solve.
    storeCentre(SolvedCentre(*plate));
    const double angle = PinPointAngle(RollAngle(*plate), ArcsecPerPixelHoriz(*plate), ArcsecPerPixelVert(*plate),
                                       run.MirrorDetected);
    if (run.MirrorDetected)
        run.Log(QStringLiteral("AO7 detected, reversing slew directions."));
    ShowSolvedField(*plate, {Module().alignment.ImageRA, Module().alignment.ImageDec}, angle);
    run.PassOverFailures = true;
    return angle;
}

void SearchWithSpiral(AlignmentRun &run, Dispatch &plate, RaDec searchCentre)
{
    while (!attempt(run, plate)) {
        if (run.settings.SpiralSearch != 1 || run.SpiralStep > 11)
            throw unsolved();
        SetTarget(plate, SpiralTarget(run.settings, run.SpiralStep, searchCentre, run.CameraXSize, run.CameraYSize));
        ++run.SpiralStep;
        run.Log(QStringLiteral("Spiral search #)%1").arg(run.SpiralStep));
    }
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
        run.Step([&] { ImagingAutomation::CloseImage(*run.ImageDocument); });
}

} // namespace PlateSolve
