#include "platform/VbTimer.h"

VbTimer::VbTimer(QObject *parent) : QObject(parent)
{
    connect(&m_timer, &ClockTimer::timeout, this, &VbTimer::fire);
}

void VbTimer::setInterval(int ms)
{
    m_interval = std::max(ms, 0);
    apply();
}

void VbTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    apply();
}

void VbTimer::apply()
{
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}

void VbTimer::fire()
{
    if (m_inTick)
        return;
    m_inTick = true;
    emit Tick();
    m_inTick = false;
}
