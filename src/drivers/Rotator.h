#pragma once

#include "drivers/DriverFrame.h"
#include "link/ControllerReports.h"
#include "platform/Variant.h"

// The instrument rotator (the ZEL) as automation clients see it: angles in degrees, relative
// and absolute moves inside the cable-wrap limit, homing, halting, the cable wrap and its
// limit, the position counter and the controller's power-up recall of the position.
//
// Creating one opens the shared port at once when it is closed, on the number the link
// already holds. Every status value comes from the link's one record of what the controller
// reported (Serial::Reports): the four status getters (Position, SetPosition, IsMoving, Wrap)
// send " R " when the record holds no answer written after the last rotator command, or this
// object asked more than 500 ms ago, and wait for that answer. The moves decide on every wrap
// the moves already sent (by any object or window) may reach, asking first and refusing when
// no answer comes, under the one wrap rule. Link and Connected read False while the shared
// port is closed, whoever closed it.
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
    bool absolute();
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
    bool RecallRotatorPosition();
    void setRecallRotatorPosition(bool value);
    bool RotatorPositionRecorded();
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
    // The handshake of Link (no port check) and Connected.
    void link(bool value, bool portCheck);
    // The getters' query rule: the line rule, then " R " unless the link's record holds an
    // answer written after the last rotator command and this object asked less than the
    // cache age ago.
    void queryStatus();
    // ":rt" or ":rs" as reported, in steps, after the query rule; refuses when never reported.
    double reportedSteps(QStringView code);
    const ControllerReports::Value *reported(QStringView code) const;
    // A code of the status answer that holds now, asked for (" R ") when the record cannot vouch.
    std::optional<Report> statusReport(QStringView code);
    // ":rrp" as statusReport reads it: 0, 4 or 8; refused when none came.
    int16_t recallCode();
    // ":rrp" as the record holds it now, without asking.
    std::optional<int16_t> heldRecallCode() const;
    // Sends `command` and the steps the wrap rule makes of `steps` (reversed only when
    // `mayReverse`); refuses a move the rule does not allow or that has no wrap to decide on.
    void sendWithinWrap(const QString &command, int64_t steps, bool mayReverse, const StepScope &step);

    double PosLimit = 0;
    double NegLimit = 0;
    bool ActivateLimit = false;
    bool ReverseFlag = false;
};
