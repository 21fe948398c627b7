#pragma once

#include "platform/Dispatch.h"

#include <QString>
#include <cstdint>
#include <memory>

// The camera programs, the camera program's image document and the plate solver as the
// alignment runs use them, reached late-bound through objects the run creates. Every call
// raises the outside program's error as it came.
namespace ImagingAutomation {

// The `ImagingProgram` setting.
enum ImagingProgramKind : int16_t { CCDSoft = 0, MaxImDL = 1 };
// The `AstrometricEngine` setting.
enum EngineKind : int16_t { PinPointEngine = 0, TheSkyEngine = 1 };

// --- creation: the ProgID and the one log line when it fails ---
struct ObjectKind
{
    QString progId;
    QString failure;
};
ObjectKind CameraKind(int16_t imagingProgram);
ObjectKind ImageDocumentKind();
ObjectKind PlateKind();

// --- camera (both programs; `program` is the ImagingProgram setting) ---
// Sets the camera up for a 2 x 2 binned exposure of `seconds` and starts it.
void StartExposure(Dispatch &camera, int16_t program, int16_t seconds);
// CCDSoft: IsExposureComplete equals 1 (True, -1, is not done); MaxIm DL: ImageReady is True.
bool ExposureComplete(Dispatch &camera, int16_t program);
void AbortExposure(Dispatch &camera, int16_t program);
// MaxIm DL writes its image itself.
void SaveCameraImage(Dispatch &camera, const QString &file);
// MaxIm DL set-up at run start: no automatic shutdown, optionally the link enabled.
void PrepareMaxIm(Dispatch &camera, bool enableLink);
int16_t CameraXSize(Dispatch &camera);
int16_t CameraYSize(Dispatch &camera);

// --- image document ---
// Takes the camera program's newest image at `scale` arcseconds per pixel.
void AttachActiveImage(Dispatch &image, double scale);
void SaveImageAs(Dispatch &image, const QString &file);
// Opens a file written by another program at `scale` and makes it the active image.
void OpenImage(Dispatch &image, const QString &file, double scale);
void SetFitsKeyword(Dispatch &image, const QString &keyword, const QString &value);
void InsertWCS(Dispatch &image);
struct RaDec
{
    double ra = 0;
    double dec = 0;
};
// The J2000 position of the image's centre pixel.
RaDec ImageCentre(Dispatch &image);
void CloseImage(Dispatch &image);

// --- plate solver ---
void AttachFITS(Dispatch &plate, const QString &file);
QString TargetName(Dispatch &plate);
int16_t BinningHoriz(Dispatch &plate);
void SetPlateScale(Dispatch &plate, double arcsecPerPixel);
void SetTarget(Dispatch &plate, RaDec target);
RaDec Target(Dispatch &plate);
// The catalog and the search start of the next solve.
void PrepareSolve(Dispatch &plate, const QString &catalogPath, int16_t catalog, RaDec centre);
// Solves the attached image (no error = solved).
void Solve(Dispatch &plate);
void UpdateFITS(Dispatch &plate);
RaDec SolvedCentre(Dispatch &plate);
double RollAngle(Dispatch &plate);
double ArcsecPerPixelHoriz(Dispatch &plate);
double ArcsecPerPixelVert(Dispatch &plate);
int32_t Columns(Dispatch &plate);

} // namespace ImagingAutomation
