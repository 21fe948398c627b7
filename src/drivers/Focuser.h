#pragma once

#include "drivers/DriverFrame.h"
#include "platform/Variant.h"

#include <optional>

// The focuser as automation clients see it: absolute moves in steps, halt, position and
// motion, the focuser temperature, temperature compensation and the recorded position.
struct Report;

class Focuser : public DriverFrame
{
public:
    Focuser();

    Variant Link() const { return Variant(linkedNow()); }
    void setLink(const Variant &value);
    bool Connected() const { return linkedNow(); }
    void setConnected(bool value);

    int16_t IsMoving();
    int32_t Position();
    bool TempComp() const { return CompensationActive; }
    void setTempComp(bool value);
    bool TempCompManualMode();
    void setTempCompManualMode(bool value);
    Variant Temperature();
    void Move(int32_t Position);
    void Halt();
    float TempCompCoefficient();
    void setTempCompCoefficient(float value);
    int16_t TempCompMovementThreshold();
    void setTempCompMovementThreshold(int16_t value);
    int32_t SetPosition();
    bool RecallFocusPosition();
    void setRecallFocusPosition(bool value);
    bool FocusPositionRecorded() const;
    void RecordFocusPosition();

protected:
    void dispatchReport(QStringView code, QStringView value) override;
    void compensationModeReport(const Report &r); // ":tc"

private:
    void evaluateMotion(QStringView value);
    void targetReport(int32_t target); // ":s"
    bool pollStatus();

    int32_t Actual = 0;
    int32_t Target = 0;
    // This object's last move until the reports show the controller's target has taken it.
    std::optional<int32_t> ExpectedTarget;
    int16_t TargetsSinceMove = 0;
    uint32_t LastMotion = 0; // tick of the last change of the reported position or target
    bool Moving = false;
    int16_t TargetCount = 0;
    int16_t ActualCount = 0;
    int16_t EvaluatedCount = 0;
    Variant TemperatureValue;
    bool TemperatureSeen = false;
    bool CompensationActive = false;
    bool CompensationManual = false;
    bool ManualRequested = false;
    bool ManualRequestSet = false;
    int16_t CompensationSeen = 0;
};
