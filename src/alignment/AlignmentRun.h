#pragma once

#include "alignment/AlignmentSettings.h"
#include "platform/Dispatch.h"
#include "platform/Held.h"

#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>

// Where a run writes its log: the window's `lstStatus`.
class RunLog
{
public:
    // A new last line, shown.
    virtual void Log(const QString &line) = 0;
    // "." appended to the last line, shown.
    virtual void AppendDot() = 0;

protected:
    ~RunLog() = default;
};

// Thrown at an abort point that finds Abort pressed; the run ends through its aborted tail.
struct RunAborted
{
};

// Thrown by a step that no failure mode passes over (a rotator command that cannot reach the
// controller or would wind the cable past its limit); the run ends through its error tail.
struct RunRefused : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// The state one alignment run shares between its steps: the settings and the abort flag it
// reads live, its log, the outside programs' objects it created, and its counters. The
// steps (exposure, telescope, solve, spiral search, chart, rotator, slew) take it by
// reference; it outlives none of them.
class AlignmentRun
{
public:
    AlignmentRun(const AlignmentSettings &settings, const bool &abortRequested, RunLog &log);

    const AlignmentSettings &settings;
    RunLog &log;

    std::shared_ptr<Dispatch> Camera;
    std::shared_ptr<Dispatch> ImageDocument; // with CCDSoft or the TheSky engine only
    std::shared_ptr<Dispatch> Plate;         // with the PinPoint engine only
    // The objects as the steps reach them: a settings change during a wait can ask for one
    // that this run never made, which is error 91 and not a crash.
    Dispatch &camera() const { return Held(Camera); }
    Dispatch &imageDocument() const { return Held(ImageDocument); }
    Dispatch &plate() const { return Held(Plate); }
    int16_t CameraXSize = 0, CameraYSize = 0; // MaxIm DL's sensor, for the spiral search
    int16_t ImageNumber = 0;  // of the last temporary image written
    int16_t SpiralStep = 0;   // spiral retries made in this run, by every solve
    int16_t Binning = 0;      // of the last plate-solver solve
    bool MirrorDetected = false;
    // After a plate-solver solve the following steps pass their failures over; after the
    // camera program's or TheSky's solve a failure ends the run.
    bool PassOverFailures = false;

    // Run start: the camera, image document and plate for the settings, MaxIm DL set up
    // (`enableLink`: also its link), the catalog checked. On a stop logs its one line and
    // returns false.
    bool CreateObjects(bool enableLink);

    void Log(const QString &line) { log.Log(line); }
    bool AbortRequested() const { return m_abortRequested; }
    // An abort point: throws RunAborted when Abort was pressed.
    void AbortTest() const;

    // Polls `done` while serving events, a progress dot every second, until it holds or
    // Abort is pressed. False when Abort ended it.
    bool ProgressWait(const std::function<bool()> &done);

    // Runs a step in the failure mode the last solve left (PassOverFailures).
    void Step(const std::function<void()> &step) const;
    // Runs a step whose failures are always passed over; true when it succeeded.
    static bool PassOver(const std::function<void()> &step);

    // How often waits poll the outside programs.
    static constexpr int PollMs = 20;

private:
    const bool &m_abortRequested;
};
