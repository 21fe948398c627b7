#include "support/TestClock.h"

#include "platform/ClockTimer.h"
#include "support/ControllerSimulator.h"

#include <QAbstractEventDispatcher>
#include <QThread>
#include <QTimer>

namespace {

// A batch of events that keeps coming back (a zero-time timer) counts as served after this
// many rounds.
constexpr int MaxRounds = 100;

} // namespace

TestClock::TestClock()
    : m_previous(Clock::Installed())
    , m_start(Clock::Now())
{
    m_real.start();
    Clock::Install(this);
}

TestClock::~TestClock()
{
    Clock::Install(m_previous);
}

int64_t TestClock::now() const
{
    return m_start + m_real.elapsed() + m_skipped;
}

void TestClock::serveEvents(int64_t deadline)
{
    QAbstractEventDispatcher *dispatcher = QThread::currentThread()->eventDispatcher();
    bool served = false;
    for (int round = 0; round < MaxRounds && dispatcher->processEvents(QEventLoop::AllEvents); ++round)
        served = true;
    if (served)
        return;
    if (ControllerSimulator::anyLineBusy()) {
        // Bytes are on their way: let them arrive in their own time.
        QTimer wake;
        wake.setSingleShot(true);
        wake.start(1);
        dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        return;
    }
    int64_t target = deadline;
    if (const auto next = ClockTimer::NextDue(); next && *next < target)
        target = *next;
    if (const int64_t gap = target - now(); gap > 0) {
        m_skipped += gap;
        ClockTimer::TimeMoved();
    }
}
