#include "platform/ClockTimer.h"

#include "platform/Clock.h"

#include <algorithm>
#include <vector>

namespace {

std::vector<ClockTimer *> &running()
{
    static std::vector<ClockTimer *> timers;
    return timers;
}

uint64_t nextOrder = 0;

} // namespace

ClockTimer::ClockTimer(QObject *parent) : QObject(parent)
{
    m_wake.setSingleShot(true);
    m_wake.setTimerType(Qt::PreciseTimer);
    connect(&m_wake, &QTimer::timeout, this, &ClockTimer::onWake);
}

ClockTimer::~ClockTimer()
{
    stop();
}

void ClockTimer::start(int ms)
{
    m_interval = std::max(ms, 0);
    m_due = Clock::Now() + m_interval;
    m_order = ++nextOrder;
    if (!m_active)
        running().push_back(this);
    m_active = true;
    arm();
}

void ClockTimer::stop()
{
    m_wake.stop();
    if (!m_active)
        return;
    m_active = false;
    std::erase(running(), this);
}

void ClockTimer::arm()
{
    m_wake.start(int(std::clamp<int64_t>(m_due - Clock::Now(), 0, INT32_MAX)));
}

void ClockTimer::onWake()
{
    const int64_t now = Clock::Now();
    if (now < m_due) { // the event loop's timer may run a little ahead of the clock
        arm();
        return;
    }
    if (m_singleShot) {
        stop();
    } else {
        m_due += std::max(m_interval, 1);
        if (m_due <= now)
            m_due = now + std::max(m_interval, 1);
        m_order = ++nextOrder;
        arm();
    }
    emit timeout();
}

std::optional<int64_t> ClockTimer::NextDue()
{
    std::optional<int64_t> next;
    for (const ClockTimer *timer : running())
        next = next ? std::min(*next, timer->m_due) : timer->m_due;
    return next;
}

void ClockTimer::TimeMoved()
{
    // Re-armed in due order, so that timers due together fire in that order.
    std::vector<ClockTimer *> timers = running();
    std::sort(timers.begin(), timers.end(), [](const ClockTimer *a, const ClockTimer *b) {
        return a->m_due != b->m_due ? a->m_due < b->m_due : a->m_order < b->m_order;
    });
    for (ClockTimer *timer : timers)
        timer->arm();
}

void ClockTimer::Rebase(int64_t delta)
{
    for (ClockTimer *timer : running())
        timer->m_due += delta;
    TimeMoved();
}
