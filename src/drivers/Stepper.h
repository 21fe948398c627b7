#pragma once

#include "drivers/DriverFrame.h"

#include <array>

// The controller's four auxiliary stepper channels (numbered 1 to 4) and the primary mirror
// cover as automation clients see them. Creating one opens the shared port at once when it
// is closed, on the number the link already holds.
//
// Status getters share a query per kind (presence, limit switches, positions, motion,
// cover) and read the link's record: each kind asks when more than 500 ms have passed since
// its last query or the record cannot vouch for its value (not reported since the port
// opened, or changed by a command since), then waits up to 500 ms for the answer; a value
// never reported, or no whole number, is refused. IsMovingN counts a move sent until an
// answer to a query written after it tells otherwise. Settings getters (currents, microstep
// modes, operation mode) and the cover moves read the controller's settings report: they
// ask "1 " when no report since the last command that changes the value (from anyone)
// vouches for it, and refuse when none comes. A cover move that waited for it is not sent
// once a halt of the steppers (from anyone) or another port or controller came meanwhile.
// Every member that
// reaches the controller or reads its reports refuses on a closed port or while a firmware
// upload owns the line; a setting out of range is refused.
class Stepper : public DriverFrame
{
public:
    Stepper();

    bool Connected() const { return linkedNow(); }
    void setConnected(bool value);

    bool StepperPresent(int channel);
    bool StepperLimitSwitch(int channel, bool switchB);
    int32_t StepperPosition(int channel);
    bool IsMoving(int channel);
    int16_t PrimaryCoverState();

    // Amperes, 0 to 1: set in steps of 1/60 A; read back as the controller reports it, in
    // steps of 1/90 A.
    double StepperCurrent(int channel);
    void setStepperCurrent(int channel, double amperes);
    int16_t MicrostepMode(int channel);
    void setMicrostepMode(int channel, int16_t mode);
    // Channel 1: 0 general stepper, 1 primary mirror cover.
    int16_t OperationMode();
    void setOperationMode(int16_t mode);

    void PrimaryOpen();
    void PrimaryClose();
    void Halt(int16_t channel);
    void MoveRelative(int channel, int32_t steps);

protected:
    void dispatchReport(QStringView code, QStringView value) override;

private:
    enum Query { PresenceQuery, SwitchQuery, PositionQuery, MovingQuery, CoverQuery, QueryCount };
    // The status value `code` as a whole number, after the query rule of its kind.
    int32_t query(Query kind, const QString &command, QStringView code);
    // The whole number the settings report gives for `code`, held now.
    int16_t setting(const QString &code);
    void moveCover(const QString &command);

    std::array<uint32_t, QueryCount> m_lastQuery{};
};
