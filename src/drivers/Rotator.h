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
// query, then wait up to 500 ms for the answer to that query. The moves decide on the cable
// wrap the controller reported since creation, linking or the last move (MoveAbsolute also on
// its reported angle), asking for it first and refusing when it does not come, and obey the
// one wrap rule (RotatorStepsWithinWrap). Link and
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
    // The getters' query rule: the line rule, then a query when `alwaysQuery` or the cache
    // is old.
    void queryStatus(bool alwaysQuery);
    // Sends " R " and serves events until the controller answers this very query (answers to
    // queries written before it pass by), within 500 ms. True when it answered.
    bool askStatus();
    // The bursts still to come that answer queries written before now.
    void passOverEarlierAnswers();
    // Asks the controller unless `reported` holds; refuses when its answer leaves it false.
    void requireReported(const bool &reported);
    // Sends `command` and the steps the wrap rule makes of `steps` (reversed only when
    // `mayReverse`); refuses a move the rule does not allow.
    void sendWithinWrap(const QString &command, int64_t steps, bool mayReverse);

    double ActualAngle = 0;
    double TargetAngle = 0;
    double PosLimit = 0;
    double NegLimit = 0;
    bool Homed = false;
    bool MovingState = false;
    bool ActivateLimit = false;
    bool TargetSeen = false;
    // Reports that arrived since creation, linking or this object's last move, not answering
    // a query written before that: the rotator's angle (":rt") and the controller's wrap.
    bool ActualSeen = false;
    bool WrapCurrent = false;
    bool WrapSeen = false;
    int m_staleBursts = 0;  // bursts still to come that answer earlier queries
    bool m_answered = false; // this object's last query has its answer
    bool ReverseFlag = false;
};
