#include "alignment/ImagingAutomation.h"

namespace ImagingAutomation {

namespace {

Variant on() { return Variant(true); }
Variant binning() { return Variant(int16_t(2)); }
VariantArray contrast() { return {Variant(int16_t(1)), Variant(int16_t(1)), Variant(int16_t(3))}; }

} // namespace

ObjectKind CameraKind(int16_t imagingProgram)
{
    if (imagingProgram == CCDSoft)
        return {QStringLiteral("CCDSOFT.Camera"),
                QStringLiteral("Unable to create object 'CCDSoft.Camera'.  Make sure CCDSoft is installed.")};
    return {QStringLiteral("MaxIm.CCDCamera"),
            QStringLiteral("Unable to create object 'MaxIm.CCDCamera'.  Make sure MaxImDL is installed.")};
}

ObjectKind ImageDocumentKind()
{
    return {QStringLiteral("CCDSoft.Image"),
            QStringLiteral("Unable to create object 'CCDSoft.Image'.  Make sure CCDSoft is installed.")};
}

ObjectKind PlateKind()
{
    return {QStringLiteral("PinPoint.Plate"),
            QStringLiteral("Unable to create object 'PinPoint.Plate'.  Make sure PinPoint is installed.")};
}

void StartExposure(Dispatch &camera, int16_t program, int16_t seconds)
{
    if (program == CCDSoft) {
        camera.Let(QStringLiteral("Asynchronous"), on());
        camera.Call(QStringLiteral("Connect"));
        camera.Let(QStringLiteral("exposureTime"), seconds);
        camera.Let(QStringLiteral("AutoContrast"), on());
        camera.Let(QStringLiteral("BinX"), binning());
        camera.Let(QStringLiteral("BinY"), binning());
        camera.Call(QStringLiteral("TakeImage"));
        return;
    }
    camera.Let(QStringLiteral("linkenabled"), on());
    camera.Let(QStringLiteral("BinX"), binning());
    camera.Let(QStringLiteral("BinY"), binning());
    camera.Let(QStringLiteral("AutoDownload"), on());
    camera.Call(QStringLiteral("Expose"), {Variant(seconds), Variant(int16_t(1))});
}

bool ExposureComplete(Dispatch &camera, int16_t program)
{
    if (program == CCDSoft)
        return camera.Get(QStringLiteral("IsExposureComplete")).toDouble() == 1;
    return camera.Get(QStringLiteral("ImageReady")).toDouble() == -1;
}

void AbortExposure(Dispatch &camera, int16_t program)
{
    camera.Call(program == CCDSoft ? QStringLiteral("Abort") : QStringLiteral("Abortexposure"));
}

void SaveCameraImage(Dispatch &camera, const QString &file)
{
    camera.Call(QStringLiteral("SaveImage"), {file});
}

void PrepareMaxIm(Dispatch &camera, bool enableLink)
{
    camera.Let(QStringLiteral("disableautoshutdown"), on());
    if (enableLink)
        camera.Let(QStringLiteral("linkenabled"), on());
}

int16_t CameraXSize(Dispatch &camera) { return camera.Get(QStringLiteral("Cameraxsize")).toInteger(); }
int16_t CameraYSize(Dispatch &camera) { return camera.Get(QStringLiteral("Cameraysize")).toInteger(); }

void AttachActiveImage(Dispatch &image, double scale)
{
    image.Let(QStringLiteral("DetachOnClose"), on());
    image.Call(QStringLiteral("AttachToActiveImager"));
    image.Let(QStringLiteral("ScaleInArcsecondsPerPixel"), scale);
    image.Call(QStringLiteral("AutoContrast"), contrast());
}

void SaveImageAs(Dispatch &image, const QString &file)
{
    image.Let(QStringLiteral("Path"), file);
    image.Call(QStringLiteral("Save"));
}

void OpenImage(Dispatch &image, const QString &file, double scale)
{
    image.Let(QStringLiteral("Path"), file);
    image.Call(QStringLiteral("Open"));
    image.Call(QStringLiteral("SetActive"));
    image.Let(QStringLiteral("ScaleInArcsecondsPerPixel"), scale);
    image.Call(QStringLiteral("AutoContrast"), contrast());
}

void SetFitsKeyword(Dispatch &image, const QString &keyword, const QString &value)
{
    image.Let(QStringLiteral("FITSKeyword"), {keyword}, value);
}

void InsertWCS(Dispatch &image)
{
    image.Call(QStringLiteral("InsertWCS"));
}

RaDec ImageCentre(Dispatch &image)
{
    const double x = image.Get(QStringLiteral("Width")).toDouble() / 2;
    const double y = image.Get(QStringLiteral("Height")).toDouble() / 2;
    const Variant centre = image.Call(QStringLiteral("XYToRADec"), {x, y});
    const VariantArray &values = centre.toArray();
    if (values.size() < 2)
        throw VbError(9, QStringLiteral("Subscript out of range"));
    return {values[0].toDouble(), values[1].toDouble()};
}

void CloseImage(Dispatch &image)
{
    image.Call(QStringLiteral("Close"));
}

void AttachFITS(Dispatch &plate, const QString &file)
{
    plate.Call(QStringLiteral("AttachFITS"), {file});
}

QString TargetName(Dispatch &plate) { return plate.Get(QStringLiteral("TargetName")).toString(); }
int16_t BinningHoriz(Dispatch &plate) { return plate.Get(QStringLiteral("BinningHoriz")).toInteger(); }

void SetPlateScale(Dispatch &plate, double arcsecPerPixel)
{
    plate.Let(QStringLiteral("ArcsecPerPixelHoriz"), arcsecPerPixel);
    plate.Let(QStringLiteral("ArcsecPerPixelVert"), arcsecPerPixel);
}

void SetTarget(Dispatch &plate, RaDec target)
{
    plate.Let(QStringLiteral("TargetRightAscension"), target.ra);
    plate.Let(QStringLiteral("TargetDeclination"), target.dec);
}

RaDec Target(Dispatch &plate)
{
    return {plate.Get(QStringLiteral("TargetRightAscension")).toDouble(),
            plate.Get(QStringLiteral("TargetDeclination")).toDouble()};
}

void PrepareSolve(Dispatch &plate, const QString &catalogPath, int16_t catalog, RaDec centre)
{
    plate.Let(QStringLiteral("CatalogPath"), catalogPath);
    plate.Let(QStringLiteral("RightAscension"), centre.ra);
    plate.Let(QStringLiteral("Declination"), centre.dec);
    plate.Let(QStringLiteral("Catalog"), catalog);
}

void Solve(Dispatch &plate)
{
    plate.Let(QStringLiteral("CatalogExpansion"), 0.8);
    plate.Call(QStringLiteral("Solve"));
}

void UpdateFITS(Dispatch &plate) { plate.Call(QStringLiteral("UpdateFITS")); }

RaDec SolvedCentre(Dispatch &plate)
{
    return {plate.Get(QStringLiteral("RightAscension")).toDouble(),
            plate.Get(QStringLiteral("Declination")).toDouble()};
}

double RollAngle(Dispatch &plate) { return plate.Get(QStringLiteral("RollAngle")).toDouble(); }
double ArcsecPerPixelHoriz(Dispatch &plate) { return plate.Get(QStringLiteral("ArcsecPerPixelHoriz")).toDouble(); }
double ArcsecPerPixelVert(Dispatch &plate) { return plate.Get(QStringLiteral("ArcsecPerPixelVert")).toDouble(); }
int32_t Columns(Dispatch &plate) { return plate.Get(QStringLiteral("Columns")).toLong(); }

} // namespace ImagingAutomation
