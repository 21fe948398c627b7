#include "link/StepScope.h"

#include "link/Serial.h"

StepScope::StepScope(const Serial *link, MovedDevice device, Condition wanted)
    : m_link(link), m_device(device), m_wanted(std::move(wanted))
{
    if (m_link) {
        m_epoch = m_link->Reports().Epoch();
        m_halts = m_link->Halts().Count(m_device);
    }
}

StepScope::Stop StepScope::Why() const
{
    // The starter's own word first: a window that closed outranks what happened on its link.
    if (m_wanted && !m_wanted().isEmpty())
        return Stop::Withdrawn;
    if (m_link && m_link->Reports().Epoch() != m_epoch)
        return Stop::LinkChanged;
    if (m_link && m_device != MovedDevice::None && m_link->Halts().Count(m_device) != m_halts)
        return Stop::Halted;
    return Stop::None;
}

QString StepScope::Cause() const
{
    switch (Why()) {
    case Stop::None: break;
    case Stop::Withdrawn: return m_wanted();
    case Stop::LinkChanged: return QStringLiteral("the port or the controller changed meanwhile");
    case Stop::Halted:
        switch (m_device) {
        case MovedDevice::Focuser: return QStringLiteral("the focuser was halted meanwhile");
        case MovedDevice::Rotator: return QStringLiteral("the rotator was halted meanwhile");
        case MovedDevice::Stepper: return QStringLiteral("the steppers were halted meanwhile");
        case MovedDevice::None: break;
        }
        break;
    }
    return QString();
}
