#pragma once

#include "link/DeviceHalts.h"

#include <QString>
#include <cstdint>
#include <functional>

class Serial;

// Whether a procedure's step may go on after a wait or a late-bound call (both serve events,
// so a click, a close or another client's call can land inside it). Made when the step
// begins, it captures the link's port and controller epoch, the halts of the device the step
// moves, and the starter's own condition (the follow still on, its window open). After each
// wait the step asks; a step no longer wanted sends nothing more and, where an earlier step
// took effect, says what took effect.
class StepScope
{
public:
    // The starter's condition: empty while it still wants the step, else why not, in words
    // ("the window closed").
    using Condition = std::function<QString()>;

    enum class Stop { None, LinkChanged, Halted, Withdrawn };

    explicit StepScope(const Serial *link, MovedDevice device = MovedDevice::None, Condition wanted = {});

    Stop Why() const;
    bool Wanted() const { return Why() == Stop::None; }
    // Why the step is no longer wanted, in words; empty while it is.
    QString Cause() const;

private:
    const Serial *m_link;
    MovedDevice m_device;
    Condition m_wanted;
    uint64_t m_epoch = 0;
    uint64_t m_halts = 0;
};
