#pragma once

#include <QStringView>
#include <cstdint>

// A device whose moves a halt ends.
enum class MovedDevice : uint8_t { None, Focuser, Rotator, Stepper };

// Counts the halts of each device that left the port, whoever sent them ("S " stops the
// focuser, "q0 " the rotator, "3<channel> " the steppers): a move that began before the count
// changed is no longer wanted.
class DeviceHalts
{
public:
    // Text that left the port (blank-separated commands).
    void Sent(QStringView text);
    uint64_t Count(MovedDevice device) const;

private:
    uint64_t m_focuser = 0;
    uint64_t m_rotator = 0;
    uint64_t m_stepper = 0;
};
