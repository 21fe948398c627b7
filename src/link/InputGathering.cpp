#include "link/InputGathering.h"

#include "platform/Clock.h"

#include <QSerialPort>
#include <QSocketNotifier>

namespace {

// A chunk this small is a trickle's; whole answers come larger and start no hold.
constexpr qsizetype SmallChunk = 4;

// The port's own read notifier, while it watches the device.
QSocketNotifier *watchingNotifier(QSerialPort &port)
{
    if (!port.isOpen())
        return nullptr;
    const auto notifiers = port.findChildren<QSocketNotifier *>(Qt::FindDirectChildrenOnly);
    for (QSocketNotifier *notifier : notifiers)
        if (notifier->type() == QSocketNotifier::Read && notifier->isEnabled() && notifier->socket() == port.handle())
            return notifier;
    return nullptr;
}

} // namespace

InputGathering::InputGathering(QSerialPort &port, int holdMs, std::function<bool()> look)
    : m_port(port)
    , m_holdMs(holdMs)
    , m_look(std::move(look))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &ClockTimer::timeout, this, &InputGathering::onTimer);
    connect(&m_port, &QIODevice::aboutToClose, this, &InputGathering::endHold);
}

void InputGathering::chunkRead(qsizetype size)
{
    const int64_t now = Clock::Now();
    m_closeChunks = size <= SmallChunk && now - m_lastChunk < 2 * m_holdMs ? m_closeChunks + 1 : 0;
    m_lastChunk = now;
    if (m_closeChunks < 2 || holding())
        return;
    m_unwatched = watchingNotifier(m_port);
    if (!m_unwatched)
        return; // no notifier of its own: the port is left as it is
    m_emptyLooks = 0;
    m_timer.start(m_holdMs);
    m_unwatched->setEnabled(false);
}

void InputGathering::onTimer()
{
    // Rearmed before looking: a receiver of what comes may serve events meanwhile, and the
    // device must be looked at then too.
    m_timer.start(m_holdMs);
    const bool came = m_look();
    if (!m_port.isOpen()) {
        endHold();
        return;
    }
    // A single empty look is a pause in the trickle, not its end.
    m_emptyLooks = came ? 0 : m_emptyLooks + 1;
    if (m_emptyLooks >= 2) {
        watch();
        return;
    }
    // Reading the port's buffer lets it watch again; held while the trickle lasts.
    if (holding() && m_unwatched)
        m_unwatched->setEnabled(false);
}

void InputGathering::watch()
{
    // Watching first: the timer stops only once the notifier looks.
    if (m_unwatched)
        m_unwatched->setEnabled(true);
    endHold();
}

void InputGathering::endHold()
{
    m_timer.stop();
    m_unwatched.clear();
    m_closeChunks = 0;
}
