#pragma once

#include "link/ReportFreshness.h"

#include <QPointer>
#include <QString>
#include <QVector>
#include <cstdint>
#include <memory>

class Serial;
class Dispatch;

// One stored focus position: a 50-character description, a position in steps and the
// compensation temperature in degrees Fahrenheit.
struct FocusRecord
{
    QString Description;
    int32_t Position = 0;
    float Temperature = 0;
};

// One stored rotator position: a 50-character description and a position.
struct RotatorRecord
{
    QString Description;
    int32_t Position = 0;
};

// The state that the windows, drivers and tools share for the life of the process.
// Integer is int16_t, Long int32_t, Single float, so rounding and overflow follow the types.
// Temperatures are degrees Fahrenheit; rotator positions are steps (200 per degree).
struct ModuleState
{
    struct Link
    {
        std::shared_ptr<Serial> SharedSerial;
        int16_t ClientCount = 0;
        int16_t PortNumber = 0;
        int16_t ControlConsole = 0;
        bool MainFormOpen = false;
        bool ConsoleFormOpen = false;
        bool SettingsWindowOpen = false;
        QString FirmwareVersion;
    } link;

    // Values of the driver key in the registry (CheckRegistry fills them).
    struct Settings
    {
        bool Absolute = false;
        int16_t Prompt = 0;
        float StepSize = 0;
        int16_t FocusStep = 0;
        int16_t RotateStep = 0;
        QString RotateStepOption;
        int32_t MainPosX = 0;
        int32_t MainPosY = 0;
        int32_t MiniPosX = 0;
        int32_t MiniPosY = 0;
        int16_t ErrorMessage = 0;
        int16_t LargeStepSize = 0;
        int16_t SmallStepSize = 0;
        int32_t ZELLimit = 0;
        int16_t AutoReverse = 0;
        int16_t Celcius = 0;
        bool CheckTelescope = false;
        bool PromptTheSky = false;
        int16_t EnableSlew = 0;
        int16_t ZELSynchedToTelescope = 0;
        QString Detector;
    } settings;

    struct Temperatures
    {
        double AmbientTemperature = 0;
        double PrimaryTemperature = 0;
        double SecondaryTemperature = 0;
        int16_t FanSpeed = 0;
        int16_t SecondaryHeaterPower = 0;
    } temperatures;

    struct Focuser
    {
        int32_t FocuserPosition = 0;
        bool ForceMotorOff = false;
        int16_t TempCompMode = 0;
        bool TempCompCoefficientKnown = false;
        float TempCompCoefficient = 0;
        int32_t TempCompThreshold = 0;
        float TempCompOffset = 0;
        float TempCompSlope = 0;
        float TempCompTemperature = 0;
    } focuser;

    struct Rotator
    {
        int32_t RotatorSetPosition = 0;
        int32_t RotatorPosition = 0;
        bool RotatorMoving = false;
        bool RotatorMovePending = false;
        int16_t RotatorDirection = 0;
        int32_t RotatorWrap = 0;
        int32_t LastWrap = 0;
        bool RotatorHomed = false;
        bool RotatorPositionRecorded = false;
        bool RotatorTabShown = false;
        int16_t UnwrapChoice = 0;
        bool RotIndicatorShown = false;
    } rotator;

    // The planetarium program's automation objects and the answers of its prompts.
    struct TheSky
    {
        std::shared_ptr<Dispatch> TheSky;
        std::shared_ptr<Dispatch> TheSkyTelescope;
        std::shared_ptr<Dispatch> TheSkyFOVs;
        std::shared_ptr<Dispatch> TheSkyChart;
        std::shared_ptr<Dispatch> TheSkyUtils;
        float ZELOffset = 0;
        int16_t PierSide = 0;
        int16_t EastWestChoice = 0;
        int16_t FlipChoice = 0;
        int16_t TheSkySyncChoice = 0;
        bool TheSkyMoveChoice = false;
        bool MoveTelescopeConfirmed = false;
        bool UtilitiesFormOpen = false;
    } thesky;

    struct Tools
    {
        bool LoggingActive = false;
        int16_t LogFileNumber = 0;
        int32_t LogTimerId = 0;
        int32_t LogInterval = 0;
        bool GraphRunning = false;
        int32_t GraphPeriod = 0;
        bool HeaterWizardOpen = false;
        bool FlashAckFlag = false;
        bool FlashIgnoreAck = false;
        int16_t FlashStatus = 0;
        bool FlashInProgress = false;
        int32_t DownloadState = 0;
        // A ":x" report from the boot loader: FlashStatus takes the code of the value's
        // first character and, while an upload runs and FlashIgnoreAck is clear, the link
        // holds received data for the upload. Outside an upload it never holds the link.
        void FlashStatusReport(QStringView value);
        // Data log: flips on every log timer tick (request, then record); the channels chosen.
        bool LogPollPhase = false;
        bool LogAmbient = false;
        bool LogPrimary = false;
        bool LogSecondary = false;
        bool LogFanPower = false;
        bool LogSecondaryPower = false;
        bool LogFocusPosition = false;
        bool LogFocusTemperature = false;
        // Which values the controller reported since the last record; the operator has been
        // told that it stopped (once until it answers again); records lost since the last
        // one written (the count is told once the log writes again).
        ReportFreshness LogReports;
        bool LogSilenceTold = false;
        int32_t LogLostRecords = 0;
    } tools;

    // What the main window hands to the stored-position editors, and the stored positions.
    struct Positions
    {
        int32_t StorePosition = 0;
        int32_t StoreIndex = 0;
        std::optional<float> StoreTemperature; // none: no temperature was reported
        bool StoreRotatorMode = false;
        QVector<FocusRecord> FocusPositions;
        QVector<float> FocusTemperatures;
        int16_t FocusPositionCount = 0;
        QVector<RotatorRecord> RotatorPositions;
        int32_t RotatorPositionCount = 0;
    } positions;

    // Positions the alignment runs share: the telescope's J2000 position read for the current
    // image and the solved centre of the last image (hours, degrees).
    struct Alignment
    {
        double TelescopeRA = 0;
        double TelescopeDec = 0;
        double ImageRA = 0;
        double ImageDec = 0;
    } alignment;
};

// The one instance, alive for the whole process.
ModuleState &Module();
