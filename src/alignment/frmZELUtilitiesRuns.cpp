// The alignment tools window's run frame and its procedures: Align Camera, Image Link and
// Synch, and Frame from Saved Image.
#include "alignment/frmZELUtilities.h"

#include "alignment/ExposureStep.h"
#include "alignment/PierSide.h"
#include "alignment/PlateSolve.h"
#include "alignment/RotatorTurn.h"
#include "alignment/SavedImageFraming.h"
#include "alignment/TelescopeSlew.h"
#include "alignment/TheSkyAutomation.h"
#include "link/ModuleState.h"
#include "platform/Screen.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbError.h"
#include "platform/Wait.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <cmath>

namespace {

PlateSolve::RaDec telescopePosition()
{
    const ModuleState::Alignment &a = Module().alignment;
    return {a.TelescopeRA, a.TelescopeDec};
}

PlateSolve::RaDec imagePosition()
{
    const ModuleState::Alignment &a = Module().alignment;
    return {a.ImageRA, a.ImageDec};
}

bool theSkyEngine(const AlignmentRun &run)
{
    return run.settings.AstrometricEngine == ImagingAutomation::TheSkyEngine;
}

// After a solve: the image closed, its position logged (`withAngle`: and its angle), TheSky's
// camera indicator turned, the rotator's position counter set to the angle, the offset cleared.
void synchronise(AlignmentRun &run, double angle, bool withAngle)
{
    PlateSolve::CloseImage(run);
    run.Step([&] {
        QString line = QStringLiteral("Image coords (2000): ") + PlateSolve::Coordinates(imagePosition());
        if (withAngle)
            line += QStringLiteral(", Angle") + vb::Format(angle, QStringLiteral("0.00"));
        run.Log(line);
    });
    PlateSolve::TurnIndicator(run, angle);
    run.Step([&] { RotatorTurn::SetPositionCounter(run, angle); });
    Module().thesky.ZELOffset = 0;
}

} // namespace

void frmZELUtilities::RunProcedure(const RunKind &kind, const std::function<void(AlignmentRun &)> &body)
{
    // Creating the objects serves events: the run holds its buttons and the window from here.
    if (m_running)
        return;
    m_running = true;
    enableRunButtons(false);
    AbortRequested = false;
    cmdAbort->setEnabled(true);
    AlignmentRun run(Settings, AbortRequested, *this);
    if (run.CreateObjects(kind.enableMaxImLink)) {
        const QString endLine = QStringLiteral("********END %1**********").arg(kind.name);
        Log(QString());
        Log(QStringLiteral("********START %1**********").arg(kind.name));
        try {
            // A close while the objects were made is an Abort.
            run.AbortTest();
            body(run);
        } catch (const RunAborted &) {
            Log(kind.aborted);
        } catch (const std::exception &e) {
            const auto *error = dynamic_cast<const VbError *>(&e);
            Log(kind.errorPrefix + (error ? error->description() : QString::fromUtf8(e.what())));
            AbortRequested = false;
        }
        Log(endLine);
        Log(QString());
        if (kind.clearAbortAtEveryEnd)
            AbortRequested = false;
        cmdAbort->setEnabled(false);
        Screen::SetMousePointer(Screen::vbDefault);
    }
    run.Camera.reset();
    run.ImageDocument.reset();
    m_running = false;
    enableRunButtons(true);
    if (m_closePending) {
        m_closePending = false;
        reject();
    }
}

void frmZELUtilities::cmdAlignCCD_Click()
{
    RunProcedure({QStringLiteral("ALIGN CAMERA"), QStringLiteral("Align Camera Aborted"), false},
                 [this](AlignmentRun &run) { alignCamera(run); });
}

void frmZELUtilities::cmdImageLink_Click()
{
    RunProcedure({QStringLiteral("IMAGE LINK AND SYNCH"), QStringLiteral("Image Link and Synch Aborted"), true},
                 [this](AlignmentRun &run) { imageLink(run); });
}

void frmZELUtilities::cmdSavedImage_Click()
{
    RunProcedure({QStringLiteral("FRAME FROM SAVED IMAGE"), QStringLiteral("Frame from Saved Image Aborted."), true,
                  QStringLiteral("ERROR:  "), true},
                 [this](AlignmentRun &run) {
                     // A cancelled choice ends the run.
                     const std::optional<QString> file = UserPrompts::current().openFile(FileDialogRequest());
                     if (!file)
                         return;
                     Log(QStringLiteral("Saved image file: ") + *file);
                     SavedImageFraming(run, BacklashWaitMs).Run(*file);
                 });
}

void frmZELUtilities::alignCamera(AlignmentRun &run)
{
    const auto measure = [&run] {
        ExposureStep::TakeImage(run);
        const ExposureStep::Pointing pointing = ExposureStep::ReadTelescopePosition(run);
        if (theSkyEngine(run))
            ExposureStep::WritePointingKeywords(run.imageDocument(), pointing);
        const double angle = PlateSolve::SolveImage(run, telescopePosition());
        synchronise(run, angle, true);
        return angle;
    };
    double angle = measure();
    int16_t iterations = 0;
    double residual = 0;
    do {
        ++iterations;
        bool reversed = false;
        run.Step([&] { reversed = TheSkyAutomation::ChartDocumentProperty(22).toDouble() == 1; });
        const int32_t steps = RotatorTurn::ShortWayToZero(angle, reversed);
        int32_t sent = steps;
        run.Step([&] { sent = RotatorTurn::Turn(run, steps); });
        bool arrived = true;
        const int64_t target = int64_t(RotatorTurn::PositionCounter(angle)) + sent;
        run.Step([&] { arrived = RotatorTurn::WaitForMove(run, target); });
        if (!arrived)
            throw RunAborted();
        angle = measure();
        residual = angle > 350 ? angle - 360 : angle;
    } while (std::abs(residual) > Settings.MaxRotErr && iterations < Settings.MaxItterations);
}

void frmZELUtilities::imageLink(AlignmentRun &run)
{
    ExposureStep::TakeImage(run);
    const ExposureStep::Pointing pointing = ExposureStep::ReadTelescopePosition(run);
    if (theSkyEngine(run)) {
        ExposureStep::WritePointingKeywords(run.imageDocument(), pointing);
        run.imageDocument().Call(QStringLiteral("Save"));
    }
    const double angle = PlateSolve::SolveImage(run, telescopePosition());
    synchronise(run, angle, false);
    if (chkSlewTele->isChecked()) {
        const PlateSolve::RaDec telescope = telescopePosition();
        const PlateSolve::RaDec image = imagePosition();
        run.Step([&] { run.Log(QStringLiteral("Telescope coords (2000): ") + PlateSolve::Coordinates(telescope)); });
        run.Step([&] { run.Log(QStringLiteral("Slewing telescope")); });
        // The telescope moves by its own error, so the image centre comes onto its position.
        run.Step([&] {
            TelescopeSlew::SlewToJ2000(run, {2 * telescope.ra - image.ra, 2 * telescope.dec - image.dec});
        });
        run.AbortTest();
        run.Step([&] { run.Log(QStringLiteral("Running out backlash")); });
        Wait::For(BacklashWaitMs);
        run.AbortTest();
        ExposureStep::TakeImage(run);
        run.AbortTest();
        if (theSkyEngine(run))
            ExposureStep::WritePointingKeywords(run.imageDocument(), pointing);
        PlateSolve::SolveImage(run, telescope);
        PlateSolve::CloseImage(run);
    }
    // An Abort pressed in the second pass stands: nothing is recorded.
    run.AbortTest();
    const ModuleState &m = Module();
    run.Step([&] { RecordZELSynchedToTelescope(m.settings.CheckTelescope ? m.thesky.PierSide : int16_t(0)); });
}
