#pragma once

#include "drivers/DriverFrame.h"
#include "link/FocuserStatus.h"
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
    bool TempComp();
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
    bool FocusPositionRecorded();
    void RecordFocusPosition();

protected:
    void dispatchReport(QStringView code, QStringView value) override;

private:
    // Whether the reports leave the focuser moving; the owner of reported values decides.
    bool moving() const;
    // The report of `code` that holds now (answering a query written after the last command
    // that changes it, from anyone): asked for with `query` when the record cannot vouch;
    // refused with `unavailable` when no number (or none `usable` takes) comes.
    const Report &held(QStringView code, const QString &query, const QString &unavailable,
                       const std::function<bool(const Report &)> &usable = {});
    // How this object asks for the record's FocuserStatus decisions.
    FocuserStatus::Asking asking();
    // Asks " Q " unless `holds` says the record decides already; refused "No response from
    // focuser" only when no answer came.
    void awaitStatus(bool (*holds)(const Serial &));
    // The controller's compensation: 0 off, 1 automatic, 2 manual (FocuserStatus::Compensation).
    int16_t compensationMode();
    // ":frp" that holds, asked for: 0, 4 or 8.
    int16_t recallCode();
    // The temperature sensor's slope the controller reports; refused while unknown or 0.
    float sensorSlope();

    // The mode the client asked TempComp = True to switch on, once it asked.
    bool ManualRequested = false;
    bool ManualRequestSet = false;
};
