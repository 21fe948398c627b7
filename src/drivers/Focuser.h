#pragma once

#include "drivers/DriverFrame.h"
#include "platform/Variant.h"


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
    // Whether the reports leave the focuser moving; the owner of reported values decides.
    bool moving() const;
    void pollStatus();

    int32_t Actual = 0;
    int32_t Target = 0;
    Variant TemperatureValue;
    bool CompensationActive = false;
    bool CompensationManual = false;
    bool ManualRequested = false;
    bool ManualRequestSet = false;
    int16_t CompensationSeen = 0;
};
