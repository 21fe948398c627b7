#include "platform/Wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace Wait {

bool Until(int timeoutMs, const std::function<bool()> &done)
{
    if (done && done())
        return true;
    QDeadlineTimer deadline(std::max(timeoutMs, 0), Qt::PreciseTimer);
    // The wake timer only makes the blocking wait below return at the deadline.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(std::max(timeoutMs, 0));
    while (!deadline.hasExpired()) {
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
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace Wait
