#pragma once

#include "platform/Variant.h"
#include "support/FakeTheSky.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

// Scriptable stand-ins for the camera programs and the plate solver: "CCDSOFT.Camera" and
// "MaxIm.CCDCamera" (journalled as Camera), "CCDSoft.Image" (Image) and "PinPoint.Plate"
// (Plate), registered in process. They write to the journal of the FakeTheSky they were
// installed with and raise the failures scripted there (failCreation, failMember with
// "Camera.TakeImage", "Plate.Solve", "Plate.RollAngle", ...).
//
//     auto sky = FakeTheSky::Install();
//     auto imaging = FakeImaging::Install(sky);
//     imaging->notDonePolls = 2;           // the exposure is done at the third poll
//     imaging->solves = {false, true};     // the first Solve fails, the second succeeds
class FakeImaging
{
public:
    static std::shared_ptr<FakeImaging> Install(const std::shared_ptr<FakeTheSky> &sky);
    // Creating the four classes then fails with 429.
    static void Uninstall();

    // Runs as each creation starts, before it can fail (a test serves a slow creation's
    // events there).
    std::function<void(const QString &progId)> onCreation;

    std::shared_ptr<FakeTheSky> sky;

    // --- cameras ---
    // Polls of IsExposureComplete / ImageReady that answer "not done" after each start;
    // -1: never done.
    int notDonePolls = 0;
    // What CCDSoft's IsExposureComplete answers once done (1; True is -1 and not done).
    Variant ccdsoftDone = Variant(int32_t(1));
    int16_t cameraXSize = 0, cameraYSize = 0;
    int pollsLeft = 0; // of the exposure running
    // Runs as each exposure starts (a test moves the sky there).
    std::function<void()> onExposure;

    // --- image document ---
    double width = 1000, height = 800;
    double centreRa = 0, centreDec = 0; // what XYToRADec answers
    QString path;                        // its Path
    QStringList fitsKeywords;            // "OBJCTRA=05 30 00.0", in order

    // --- plate ---
    // Solve outcomes per call in turn, then solveAfter for ever.
    std::deque<bool> solves;
    bool solveAfter = true;
    QString targetName = QStringLiteral("M42");
    int16_t binning = 2;
    int32_t columns = 100;
    // What a successful solve leaves readable.
    double solvedRa = 0, solvedDec = 0, rollAngle = 0, solvedHoriz = 3.4, solvedVert = 3.4;

    // Files written by Save and SaveImage, in order (each written with a few bytes).
    QStringList savedFiles;

    // --- FITS files: the image document's FITSKeyword reads the header of the file at its
    // Path, and the plate's AttachFITS takes OBJCTRA / OBJCTDEC / OBJECT / XBINNING from it ---
    // Writes a primary header of `cards` ("OBJCTRA = '12 30 05.3'"), END and padding.
    static void WriteFits(const QString &file, const QStringList &cards);
    // The value of `keyword` in the file's header (quotes and comment removed), or nothing.
    static std::optional<QString> HeaderValue(const QString &file, const QString &keyword);
};
