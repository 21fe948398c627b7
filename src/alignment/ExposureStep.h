#pragma once

#include <QString>
#include <cstdint>

class AlignmentRun;
class Dispatch;

// The steps that begin every measurement: one image taken and saved, and the telescope's
// position read for it.
namespace ExposureStep {

// The run's temporary image `number` in the data folder: "temp<number>.fit".
QString TemporaryImageFile(int16_t number);

// Logs "Taking image", exposes 2 x 2 binned with the chosen camera program, waits for it
// (a dot a second) and saves it as the next temporary image; with CCDSoft, or with the
// TheSky engine, the image document then holds it. Abort during the wait cancels the
// exposure and throws RunAborted. Failures end the run.
void TakeImage(AlignmentRun &run);

// The pointing texts of a position (FormatSexagesimal) and their header keyword values.
struct Pointing
{
    QString raText;
    QString decText;
};
QString ObjectRaKeyword(const QString &raText);   // "hh mm ss.s"
QString ObjectDecKeyword(const QString &decText); // "+dd mm ss.s" or "-dd mm ss.s"
// Writes OBJCTRA and OBJCTDEC into the open image.
void WritePointingKeywords(Dispatch &image, const Pointing &pointing);

// An abort point, then the telescope's position read from TheSky and precessed to J2000
// into TelescopeRA / TelescopeDec. Returns its texts.
Pointing ReadTelescopePosition(AlignmentRun &run);

} // namespace ExposureStep
