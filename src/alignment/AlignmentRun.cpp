#include "alignment/AlignmentRun.h"

#include "alignment/ImagingAutomation.h"
#include "platform/Clock.h"
#include "platform/CreateObject.h"
#include "platform/VbError.h"
#include "platform/Wait.h"

namespace {

// The object of `kind`, or nothing after logging why not.
std::shared_ptr<Dispatch> create(const ImagingAutomation::ObjectKind &kind, RunLog &log)
{
    try {
        return CreateObject(kind.progId);
    } catch (const VbError &) {
        log.Log(kind.failure);
        return nullptr;
    }
}

} // namespace

AlignmentRun::AlignmentRun(const AlignmentSettings &settings, const bool &abortRequested, RunLog &log)
    : settings(settings), log(log), m_abortRequested(abortRequested)
{
}

bool AlignmentRun::CreateObjects(bool enableLink)
{
    using namespace ImagingAutomation;
    const int16_t program = settings.ImagingProgram;
    Camera = create(CameraKind(program), log);
    if (!Camera)
        return false;
    if (program != CCDSoft) {
        try {
            PrepareMaxIm(camera(), enableLink);
            CameraXSize = ImagingAutomation::CameraXSize(camera());
            CameraYSize = ImagingAutomation::CameraYSize(camera());
        } catch (const VbError &e) {
            log.Log(QStringLiteral("Unable to set up 'MaxIm.CCDCamera'.  ") + e.description());
            return false;
        }
    }
    if (settings.AstrometricEngine == TheSkyEngine || program == CCDSoft) {
        ImageDocument = create(ImageDocumentKind(), log);
        if (!ImageDocument)
            return false;
    }
    // Every engine but TheSky's is the plate solver, here as at the solve.
    if (settings.AstrometricEngine != TheSkyEngine) {
        Plate = create(PlateKind(), log);
        if (!Plate)
            return false;
        if (settings.CatalogPath.isEmpty()) {
            log.Log(QStringLiteral("Catalog Path is invalid."));
            return false;
        }
        if (settings.Catalog == 2) {
            log.Log(QStringLiteral("Catalog is invalid."));
            return false;
        }
    }
    return true;
}

void AlignmentRun::AbortTest() const
{
    if (m_abortRequested)
        throw RunAborted();
}

bool AlignmentRun::ProgressWait(const std::function<bool()> &done)
{
    uint32_t lastDot = Clock::GetTickCount();
    while (!m_abortRequested && !done()) {
        // Served events may press Abort; the poll itself is the camera's or telescope's.
        Wait::Until(PollMs, [this] { return m_abortRequested; });
        if (Clock::TicksSince(lastDot) > 1000) {
            lastDot = Clock::GetTickCount();
            log.AppendDot();
        }
    }
    return !m_abortRequested;
}

void AlignmentRun::Step(const std::function<void()> &step) const
{
    if (PassOverFailures)
        PassOver(step);
    else
        step();
}

bool AlignmentRun::PassOver(const std::function<void()> &step)
{
    try {
        step();
        return true;
    } catch (const VbError &) {
        return false;
    }
}
