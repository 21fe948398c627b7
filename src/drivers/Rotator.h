#pragma once

#include "drivers/DriverFrame.h"
#include "platform/Variant.h"

// The instrument rotator (the ZEL) as automation clients see it: angles in degrees, relative
// and absolute moves inside the cable-wrap limit, homing, halting, the cable wrap and its
// limit, the position counter and the controller's power-up recall of the position.
//
// Creating one opens the shared port at once when it is closed, on the number the link
// already holds. The four status getters (Position, SetPosition, IsMoving, Wrap) share one
// cache age: they send " R " when more than 500 ms have passed since this object's last
// query, then wait up to 500 ms for their report. MoveAbsolute first asks for the angle (same
// bound) when none has been reported since creation, linking or the last move. Link and
// Connected read False while the shared port is closed, whoever closed it.
class Rotator : public DriverFrame
{
public:
    Rotator();

    Variant Link() const { return Variant(linkedNow()); }
    void setLink(const Variant &value);
    bool Connected() const { return linkedNow(); }
    void setConnected(bool value);

    double Position();
    double SetPosition();
    bool absolute() const { return Homed; }
    void GoHome();
    double PosPositionLimit() const { return PosLimit; }
    void setPosPositionLimit(const Variant &value);
    double NegPositionLimit() const { return NegLimit; }
    void setNegPositionLimit(const Variant &value);
    bool ActivatePositionLimit() const { return ActivateLimit; }
    void setActivatePositionLimit(const Variant &value);
    bool IsMoving();
    void Move(double degrees);
    void MoveAbsolute(double degrees);
    void Halt();
    bool RecallRotatorPosition() const;
    void setRecallRotatorPosition(bool value);
    bool RotatorPositionRecorded() const;
    void RecordRotatorPosition();
    double Wrap();
    void ZeroWrap();
    void Unwrap(const Variant &degrees);
    int32_t WrapLimit() const;
    void setWrapLimit(const Variant &value);
    void ResetPosition(float angle);
    bool Reverse() const { return ReverseFlag; }
    void setReverse(bool value) { ReverseFlag = value; }

protected:
    void dispatchReport(QStringView code, QStringView value) override;

private:
    // The query rule; `alwaysQuery` adds the getter's own reason to ask (no report seen yet).
    void queryStatus(int16_t &replies, bool alwaysQuery);
    // The moves' refusal: the line rule (port closed, or a firmware upload owns the line).
    void requireOpenPort() const;
    // Folds `steps`, applies the wrap rule, sends "j<steps> " and returns the folded steps.
    int32_t sendRelativeMove(int32_t steps);

    double ActualAngle = 0;
    double TargetAngle = 0;
    double PosLimit = 0;
    double NegLimit = 0;
    bool Homed = false;
    bool MovingState = false;
    bool ActivateLimit = false;
    int16_t MovingReplies = 0;
    int16_t PositionReplies = 0;
    int16_t TargetReplies = 0;
    bool TargetSeen = false;
    bool ActualSeen = false; // a numeric ":rt" since creation, linking or the last move
    bool WrapSeen = false;
    bool ReverseFlag = false;
};
