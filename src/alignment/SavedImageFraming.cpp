#include "alignment/SavedImageFraming.h"

#include "alignment/AlignmentRun.h"
#include "alignment/ExposureStep.h"
#include "alignment/PierSide.h"
#include "alignment/PlateSolve.h"
#include "alignment/RotatorTurn.h"
#include "alignment/TelescopeSlew.h"
#include "alignment/TheSkyAutomation.h"
#include "link/ModuleState.h"
#include "link/RotatorSteps.h"
#include "link/Sexagesimal.h"
#include "platform/Clock.h"
#include "platform/Vb.h"
#include "platform/Wait.h"

#include <cmath>

namespace {

using namespace ImagingAutomation;

QString fitsKeyword(Dispatch &image, const char *keyword)
{
    return image.Get(QStringLiteral("FITSKeyword"), {QString::fromLatin1(keyword)}).toString();
}

void autoContrast(Dispatch &image)
{
    image.Call(QStringLiteral("AutoContrast"), {int16_t(1), int16_t(1), int16_t(3)});
}

RaDec imagePosition()
{
    const ModuleState::Alignment &a = Module().alignment;
    return {a.ImageRA, a.ImageDec};
}

// "RA: hh:mm:ss.s, DEC: dd:mm:ss.s, Angle: a.aa" after five blanks.
QString positionLine(RaDec position, double angle)
{
    return QStringLiteral("     RA: ") + FormatSexagesimal(position.ra) + QStringLiteral(", DEC: ")
           + FormatSexagesimal(position.dec) + QStringLiteral(", Angle: ") + vb::Format(angle, QStringLiteral("0.00"));
}

// The telescope's position of date into TelescopeRA / TelescopeDec.
TheSkyAutomation::RaDec readTelescope()
{
    const TheSkyAutomation::RaDec ofDate = TheSkyAutomation::TelescopePosition();
    Module().alignment.TelescopeRA = ofDate.ra;
    Module().alignment.TelescopeDec = ofDate.dec;
    return ofDate;
}

} // namespace

SavedImageFraming::SavedImageFraming(AlignmentRun &run, int backlashMs) : run(run), m_backlashMs(backlashMs)
{
}

double SavedImageFraming::RotationError(double savedAngle, double imageAngle)
{
    double d = std::fmod(savedAngle - imageAngle + 180, 360.0);
    if (d < 0)
        d += 360;
    return std::abs(d - 180);
}

double SavedImageFraming::Separation(RaDec a, RaDec b)
{
    return std::hypot((a.ra - b.ra) * 15, a.dec - b.dec) * 3600;
}

void SavedImageFraming::Run(const QString &file)
{
    readHeader(file);
    solveSavedImage();
    firstImage();
    const AlignmentSettings &s = run.settings;
    for (;;) {
        turnRotator();
        framingImage();
        imageAngle = solveNewImage(true);
        reportPass();
        ++passCount;
        const bool missed = RotationError(savedAngle, imageAngle) > s.MaxRotErr || separation > s.MaxPosErr;
        if (!missed || passCount >= s.MaxItterations)
            break;
    }
    if (Module().settings.CheckTelescope)
        recordPierSide(saved.ra);
}

// --- the saved image's header ---

void SavedImageFraming::readHeader(const QString &file)
{
    if (run.settings.AstrometricEngine == TheSkyEngine)
        readHeaderFromDocument(file);
    else
        readHeaderFromPlate(file);
}

void SavedImageFraming::readHeaderFromDocument(const QString &file)
{
    Dispatch &image = run.imageDocument();
    image.Let(QStringLiteral("Path"), file);
    image.Call(QStringLiteral("Open"));
    image.Call(QStringLiteral("SetActive"));
    QString raText, decText; // as the header shows them
    AlignmentRun::PassOver([&] {
        raText = fitsKeyword(image, "OBJCTRA").trimmed();
        target.ra = ParseSexagesimal(raText);
    });
    AlignmentRun::PassOver([&] {
        decText = fitsKeyword(image, "OBJCTDEC").trimmed();
        if (!decText.isEmpty())
            target.dec = ParseSexagesimal(decText);
    });
    AlignmentRun::PassOver([&] { run.Log(QStringLiteral("Object: ") + fitsKeyword(image, "OBJECT")); });
    const bool fromCcdBin = AlignmentRun::PassOver([&] { run.Binning = vb::CInt(vb::Val(fitsKeyword(image, "CCDXBIN"))); });
    if (!fromCcdBin || run.Binning < 1)
        AlignmentRun::PassOver([&] { run.Binning = vb::CInt(vb::Val(fitsKeyword(image, "XBINNING"))); });
    pixelScale = PlateSolve::BinnedScale(run, true);
    AlignmentRun::PassOver([&] { image.Let(QStringLiteral("ScaleInArcsecondsPerPixel"), pixelScale); });
    if (fallBackToTelescope()) {
        raText = FormatSexagesimal(target.ra);
        decText = FormatSexagesimal(target.dec);
        writePointing();
    }
    run.Log(QStringLiteral("Coord (2000): RA:") + raText + QStringLiteral(", DEC:") + decText);
    // Its error is the first the WCS insertion is judged by.
    try {
        autoContrast(image);
    } catch (const VbError &e) {
        m_wcsError = e;
    }
}

void SavedImageFraming::readHeaderFromPlate(const QString &file)
{
    Dispatch &plate = run.plate();
    AttachFITS(plate, file);
    AlignmentRun::PassOver([&] { target = Target(plate); });
    AlignmentRun::PassOver([&] { run.Log(QStringLiteral("Object: ") + TargetName(plate)); });
    AlignmentRun::PassOver([&] { run.Binning = BinningHoriz(plate); });
    pixelScale = PlateSolve::BinnedScale(run, true);
    AlignmentRun::PassOver([&] { SetPlateScale(plate, pixelScale); });
    if (fallBackToTelescope())
        SetTarget(plate, target);
    // The solve's first attempt logs the plate's start position.
}

bool SavedImageFraming::fallBackToTelescope()
{
    // 0 is a part the header lacks; a pointing off the sky counts as lacking too.
    if (target.ra > 0 && target.ra <= 24 && target.dec != 0 && std::abs(target.dec) <= 90)
        return false;
    run.Log(QStringLiteral("Unable to obtain coordinates from saved image, using telescope coordinates"));
    const auto j2000 = TheSkyAutomation::PrecessNowTo2000(TheSkyAutomation::TelescopePosition());
    target = {j2000.ra, j2000.dec};
    return true;
}

// --- the saved image's solve ---

void SavedImageFraming::solveSavedImage()
{
    if (run.settings.AstrometricEngine == TheSkyEngine)
        solveSavedWithImageLink();
    else
        solveSavedWithPinPoint();
    run.PassOverFailures = false;
    run.AbortTest();
    run.Log(QStringLiteral("Image link Coordinates (2000):"));
    run.Log(positionLine(saved, savedAngle));
}

void SavedImageFraming::solveSavedWithPinPoint()
{
    Dispatch &plate = run.plate();
    PlateSolve::SearchWithSpiral(run, plate, target);
    AlignmentRun::PassOver([&] { run.Log(QStringLiteral("     WCS insertion successful")); });
    // The solve is what the telescope and the rotator are sent to: a read that fails ends
    // the run.
    saved = SolvedCentre(plate);
    savedAngle = PlateSolve::PinPointAngle(RollAngle(plate), ArcsecPerPixelHoriz(plate), ArcsecPerPixelVert(plate),
                                           run.MirrorDetected);
    if (run.MirrorDetected)
        run.Log(QStringLiteral("AO7 detected, reversing slew directions."));
    PlateSolve::ShowSolvedField(plate, saved, savedAngle, false);
}

void SavedImageFraming::solveSavedWithImageLink()
{
    Dispatch &image = run.imageDocument();
    run.Log(QStringLiteral("Attempting WCS insertion:"));
    try {
        InsertWCS(image);
    } catch (const VbError &e) {
        m_wcsError = e;
    }
    const bool linked = m_wcsError.has_value();
    if (linked)
        run.Log(QStringLiteral("    WCS Insertion Failed:  ") + m_wcsError->description());
    if (!linked) {
        run.Log(QStringLiteral("     WCS insertion successful"));
        saved = ImageCentre(image);
    } else {
        run.Log(QStringLiteral("Attempting Image Link"));
        run.AbortTest();
        TheSkyAutomation::ImageLink(pixelScale, target.ra, target.dec);
        run.Log(QStringLiteral("    Image Link Successful"));
        const auto centre = TheSkyAutomation::ImageLinkCentre2000();
        saved = {centre.ra, centre.dec};
    }
    // The solve's reads count either way: the telescope and the rotator are sent by them.
    if (TheSkyAutomation::ChartDocumentProperty(22).toDouble() == 1)
        run.MirrorDetected = true;
    savedAngle = TheSkyAutomation::ScreenRotation();
    if (run.MirrorDetected)
        run.Log(QStringLiteral("AO7 detected, reversing slew directions."));
    // Only a log line: after a WCS insertion its failure is passed over.
    const auto foviLine = [&] { run.Log(QStringLiteral("fovi angle") + vb::CStr(TheSkyAutomation::CameraAngle())); };
    if (linked)
        foviLine();
    else
        AlignmentRun::PassOver(foviLine);
}

// --- the first new image ---

void SavedImageFraming::slewTo(RaDec ofDate)
{
    TelescopeSlew::SlewTo(run, {ofDate.ra, ofDate.dec});
    slew = ofDate;
    if (!run.ProgressWait([] { return TheSkyAutomation::SlewEnded(); })) {
        // The abort stands even when the telescope refuses to stop.
        AlignmentRun::PassOver([] { TheSkyAutomation::AbortSlew(); });
        throw RunAborted();
    }
}

void SavedImageFraming::firstImage()
{
    run.Log(QStringLiteral("Slewing Telescope"));
    if (run.settings.AstrometricEngine == TheSkyEngine)
        CloseImage(run.imageDocument());
    // Left asynchronous: every slew of the run waits by polling.
    TheSkyAutomation::SetAsynchronous(1);
    const auto ofDate = TheSkyAutomation::Precess2000ToNow({saved.ra, saved.dec});
    slewTo({ofDate.ra, ofDate.dec});
    if (Module().settings.CheckTelescope)
        recordPierSide(slew.ra);
    run.Log(QStringLiteral("Running out backlash"));
    Wait::For(2000);
    run.AbortTest();
    ExposureStep::TakeImage(run);
    if (run.settings.ImagingProgram != CCDSoft && run.settings.AstrometricEngine == TheSkyEngine) {
        autoContrast(run.imageDocument());
        writePointing();
    }
    run.AbortTest();
    run.PassOverFailures = true;
    imageAngle = solveNewImage(false);
    reportFirstImage();
}

double SavedImageFraming::solveNewImage(bool pass)
{
    // The plate solver searches from the saved image's solved centre.
    if (run.settings.AstrometricEngine != TheSkyEngine)
        target = saved;
    return PlateSolve::SolveImage(run, saved, pass);
}

void SavedImageFraming::reportFirstImage()
{
    PlateSolve::CloseImage(run);
    run.Step([&] { TheSkyAutomation::SetCameraAngle(imageAngle); });
    run.AbortTest();
    run.Step([&] {
        run.Log(QStringLiteral("Initial Image Link Coords (2000):"));
        run.Log(positionLine(imagePosition(), imageAngle));
    });
    separation = Separation(imagePosition(), saved);
    run.Step([&] {
        run.Log(QStringLiteral("     Separation angle: ") + vb::Format(separation, QStringLiteral("0.00"))
                + QLatin1Char('"'));
    });
    run.Step([&] {
        // The mount settles a second before its position counts.
        Wait::For(1001);
        const TheSkyAutomation::RaDec ofDate = readTelescope();
        const auto j2000 = TheSkyAutomation::PrecessNowTo2000(ofDate);
        run.Log(QStringLiteral("Telescope coords (2000): ") + PlateSolve::Coordinates({j2000.ra, j2000.dec}));
    });
}

void SavedImageFraming::writePointing()
{
    // Cut from the formatted target: a header's own text may have another layout.
    ExposureStep::WritePointingKeywords(run.imageDocument(), {FormatSexagesimal(target.ra), FormatSexagesimal(target.dec)});
}

// --- a framing pass ---

void SavedImageFraming::turnRotator()
{
    run.Step([&] { RotatorTurn::SetPositionCounter(run, imageAngle); });
    PlateSolve::TurnIndicator(run, imageAngle);
    Module().thesky.ZELOffset = 0;
    int32_t steps = vb::CLng(vb::Int((savedAngle - imageAngle) * RotatorStepsPerDegree));
    ReduceRotatorSteps(steps);
    if (run.MirrorDetected)
        steps = -steps;
    int32_t sent = steps;
    run.Step([&] { sent = RotatorTurn::Turn(run, steps); });
    bool arrived = true;
    const int64_t goal = int64_t(RotatorTurn::PositionCounter(imageAngle)) + sent;
    run.Step([&] { arrived = RotatorTurn::WaitForMove(run, goal); });
    if (!arrived)
        throw RunAborted();
}

void SavedImageFraming::framingImage()
{
    run.Step([&] { run.Log(QStringLiteral("Slewing telescope")); });
    const RaDec image = imagePosition();
    const auto next = TelescopeSlew::FoldTarget({slew.ra + saved.ra - image.ra, slew.dec + saved.dec - image.dec});
    run.Step([&] { slewTo({next.ra, next.dec}); });
    run.Step([&] { run.Log(QStringLiteral("Running out backlash")); });
    Wait::For(m_backlashMs);
    run.AbortTest();
    PlateSolve::CloseImage(run);
    // A pass whose exposure failed has no image of its own to solve.
    ExposureStep::TakeImage(run);
    if (run.ImageDocument && (run.settings.ImagingProgram == CCDSoft || run.settings.AstrometricEngine == TheSkyEngine)) {
        run.Step([&] {
            Dispatch &image = run.imageDocument();
            if (run.settings.ImagingProgram != CCDSoft) {
                autoContrast(image);
                writePointing();
                return;
            }
            // CCDSoft's image goes to the file with its pointing.
            writePointing();
            image.Call(QStringLiteral("Save"));
        });
    }
    run.Step([] { readTelescope(); });
    run.PassOverFailures = true;
    if (run.settings.AstrometricEngine == TheSkyEngine)
        AlignmentRun::PassOver([&] { autoContrast(run.imageDocument()); });
}

void SavedImageFraming::reportPass()
{
    PlateSolve::CloseImage(run);
    run.Step([&] { TheSkyAutomation::SetCameraAngle(imageAngle); });
    run.AbortTest();
    run.Step([&] {
        run.Log(QStringLiteral("     Image coords (2000): ") + PlateSolve::Coordinates(imagePosition())
                + QStringLiteral(", Angle: ") + vb::Format(imageAngle, QStringLiteral("0.00")));
    });
    separation = Separation(imagePosition(), saved);
    run.Step([&] {
        run.Log(QStringLiteral("     Separation angle: ") + vb::Format(separation, QStringLiteral("0.00"))
                + QLatin1Char('"'));
    });
}

void SavedImageFraming::recordPierSide(double ra)
{
    run.Step([&] {
        const double hourAngle = FoldHourAngle(TheSkyAutomation::LocalSiderealTime() - ra);
        // More than 0.1 h east of the meridian: the telescope is on the west side.
        Module().thesky.PierSide = hourAngle < -0.1 ? int16_t(-1) : int16_t(1);
    });
}
