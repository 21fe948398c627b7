#include "alignment/ExposureStep.h"

#include "alignment/AlignmentRun.h"
#include "alignment/ImagingAutomation.h"
#include "alignment/TheSkyAutomation.h"
#include "link/ModuleState.h"
#include "link/Sexagesimal.h"
#include "platform/DataFolder.h"
#include "platform/VbError.h"

#include <QFile>

namespace ExposureStep {

QString TemporaryImageFile(int16_t number)
{
    return DataFolder::file(QStringLiteral("temp%1.fit").arg(number));
}

namespace {

// The next temporary image's name, an older file of that name removed.
QString nextImageFile(AlignmentRun &run)
{
    ++run.ImageNumber;
    const QString file = TemporaryImageFile(run.ImageNumber);
    if (QFile::exists(file) && !QFile::remove(file))
        throw VbError(75, QStringLiteral("Path/File access error"));
    return file;
}

} // namespace

void TakeImage(AlignmentRun &run)
{
    using namespace ImagingAutomation;
    run.Log(QStringLiteral("Taking image"));
    Dispatch &camera = run.camera();
    const int16_t program = run.settings.ImagingProgram;
    StartExposure(camera, program, run.settings.ExposureTime);
    if (!run.ProgressWait([&] { return ExposureComplete(camera, program); })) {
        // The abort stands even when the camera refuses to stop.
        AlignmentRun::PassOver([&] { AbortExposure(camera, program); });
        throw RunAborted();
    }
    // Images are taken 2 x 2 binned.
    const double scale = 2 * run.settings.ImageScale;
    if (program == CCDSoft) {
        AttachActiveImage(run.imageDocument(), scale);
        SaveImageAs(run.imageDocument(), nextImageFile(run));
        return;
    }
    const QString file = nextImageFile(run);
    SaveCameraImage(camera, file);
    if (run.settings.AstrometricEngine == TheSkyEngine)
        OpenImage(run.imageDocument(), file, scale);
}

QString ObjectRaKeyword(const QString &raText)
{
    return raText.mid(0, 2) + QLatin1Char(' ') + raText.mid(3, 2) + QLatin1Char(' ') + raText.right(4);
}

QString ObjectDecKeyword(const QString &decText)
{
    if (decText.startsWith(QLatin1Char('-')))
        return decText.mid(0, 3) + QLatin1Char(' ') + decText.mid(4, 2) + QLatin1Char(' ') + decText.right(4);
    return QLatin1Char('+') + ObjectRaKeyword(decText);
}

void WritePointingKeywords(Dispatch &image, const Pointing &pointing)
{
    ImagingAutomation::SetFitsKeyword(image, QStringLiteral("OBJCTRA"), ObjectRaKeyword(pointing.raText));
    ImagingAutomation::SetFitsKeyword(image, QStringLiteral("OBJCTDEC"), ObjectDecKeyword(pointing.decText));
}

Pointing ReadTelescopePosition(AlignmentRun &run)
{
    run.AbortTest();
    const auto j2000 = TheSkyAutomation::PrecessNowTo2000(TheSkyAutomation::TelescopePosition());
    ModuleState::Alignment &a = Module().alignment;
    a.TelescopeRA = j2000.ra;
    a.TelescopeDec = j2000.dec;
    return {FormatSexagesimal(a.TelescopeRA), FormatSexagesimal(a.TelescopeDec)};
}

} // namespace ExposureStep
