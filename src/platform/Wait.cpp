#include "platform/Wait.h"

#include "platform/CallFiber.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QTimer>

namespace Wait {

bool Until(int timeoutMs, const std::function<bool()> &done)
{
    if (done && done())
        return true;
    // An automation call waits on its own fiber, so other calls are not held up behind it.
    if (CallFiber::CanSuspend())
        return CallFiber::SuspendUntil(timeoutMs, done);
    const CallFiber::PumpScope pumping;
    const int64_t deadline = Clock::Now() + std::max(timeoutMs, 0);
    // On the monotonic clock the wake timer only makes the blocking wait below return at
    // the deadline; an installed time source serves the events itself.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    if (!Clock::Installed())
        wake.start(std::max(timeoutMs, 0));
    // A wait serves events at least once, also when the thread was held up past its
    // deadline before it got here.
    for (bool first = timeoutMs > 0; first || Clock::Now() < deadline; first = false) {
        if (TimeSource *source = Clock::Installed())
            source->serveEvents(deadline);
        else
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (done && done())
            return true;
    }
    return done ? done() : false;
}

void For(int ms)
{
    Until(ms, nullptr);
}

void DoEvents()
{
    if (CallFiber::CanSuspend()) {
        CallFiber::SuspendUntil(0, nullptr);
        return;
    }
    const CallFiber::PumpScope pumping;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace Wait
