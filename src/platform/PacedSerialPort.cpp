#include "platform/PacedSerialPort.h"

#include "platform/Clock.h"

#include <QSocketNotifier>

namespace {

// The port reads its device when its own read notifier fires.
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

PacedSerialPort::PacedSerialPort(int holdMs) : m_holdMs(holdMs)
{
    m_hold.setSingleShot(true);
    connect(&m_hold, &ClockTimer::timeout, this, &PacedSerialPort::look);
    // Closing drops the notifier; an open makes a new one, watching.
    connect(this, &QIODevice::aboutToClose, this, [this] {
        m_hold.stop();
        m_unwatched.clear();
        m_closeRuns = 0;
    });
}

qint64 PacedSerialPort::readData(char *data, qint64 maxSize)
{
    if (m_unwatched)
        return 0; // the hold's look watches again when nothing more comes
    // A chunk the line split in two is no stream yet; a third close behind is.
    const int64_t now = Clock::Now();
    m_closeRuns = now - m_lastEmptied < 2 * m_holdMs ? m_closeRuns + 1 : 0;
    m_lastEmptied = now;
    if (m_closeRuns >= 2) {
        hold();
        if (m_unwatched)
            return 0;
    }
    return QSerialPort::readData(data, maxSize);
}

void PacedSerialPort::hold()
{
    m_unwatched = watchingNotifier(*this);
    if (!m_unwatched)
        return;
    m_unwatched->setEnabled(false);
    m_hold.start(m_holdMs);
}

void PacedSerialPort::look()
{
    // Rearmed first: a handler of what comes may serve events in its readyRead, and the
    // device is looked at meanwhile too.
    m_hold.start(m_holdMs);
    if (waitForReadyRead(0) && m_unwatched)
        return;
    // Nothing came (or the port closed): watched again.
    m_hold.stop();
    if (m_unwatched)
        m_unwatched->setEnabled(true);
    m_unwatched.clear();
}
