#include "support/PseudoTerminal.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A chunk still unseen this long after its write was taken before we looked (a reader in
// another process can be that quick).
constexpr qint64 QuickTakeMs = 20;
// A chunk that nobody reads holds back the next one no longer than this.
constexpr qint64 TakenLimitMs = 500;
// Bytes left unread this long after the last write have no reader.
constexpr qint64 UnreadLimitMs = 200;

} // namespace

PseudoTerminal::PseudoTerminal(QObject *parent)
    : QObject(parent)
{
    m_takenPoll.setInterval(1);
    m_takenPoll.setTimerType(Qt::PreciseTimer);
    connect(&m_takenPoll, &QTimer::timeout, this, &PseudoTerminal::checkTaken);
    if (!open())
        close();
}

bool PseudoTerminal::open()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return fail("posix_openpt");
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail("grantpt");
    char name[128];
    if (::ptsname_r(m_master, name, sizeof name) != 0)
        return fail("ptsname");
    m_slavePath = QString::fromLocal8Bit(name);

    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slave < 0)
        return fail("open slave");
    termios tio{};
    if (::tcgetattr(m_slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B9600);
        ::tcsetattr(m_slave, TCSANOW, &tio);
    }

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PseudoTerminal::readMaster);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PseudoTerminal::flush);
    m_arrivalNotifier = new QSocketNotifier(m_slave, QSocketNotifier::Read, this);
    m_arrivalNotifier->setEnabled(false);
    connect(m_arrivalNotifier, &QSocketNotifier::activated, this, &PseudoTerminal::onSlaveReadable);
    return true;
}

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::fail(const char *what)
{
    m_error = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

void PseudoTerminal::close()
{
    hangUp();
    if (m_slave >= 0)
        ::close(m_slave);
    m_slave = -1;
}

void PseudoTerminal::hangUp()
{
    m_takenPoll.stop();
    for (QSocketNotifier **notifier : {&m_readNotifier, &m_writeNotifier, &m_arrivalNotifier}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
    m_queue.clear();
    m_pace = Pace::Free;
}

void PseudoTerminal::setCuts(const QList<int> &offsets)
{
    m_cuts = offsets;
    std::sort(m_cuts.begin(), m_cuts.end());
    m_cuts.erase(std::unique(m_cuts.begin(), m_cuts.end()), m_cuts.end());
    m_randomCuts = false;
}

void PseudoTerminal::setRandomCuts(quint32 seed, int maxChunk)
{
    m_random.seed(seed);
    m_maxChunk = std::max(maxChunk, 1);
    m_randomCuts = true;
    m_cuts.clear();
}

void PseudoTerminal::clearCuts()
{
    m_randomCuts = false;
    m_cuts.clear();
}

bool PseudoTerminal::hasPendingOutput() const
{
    return !m_queue.isEmpty() || m_pace != Pace::Free;
}

bool PseudoTerminal::hasBytesInFlight() const
{
    if (m_reading || hasPendingOutput())
        return true;
    if (m_master < 0)
        return false;
    // poll() also pushes bytes the kernel still holds on their way to the queue it reports.
    pollfd ends[2] = {{m_master, POLLIN, 0}, {m_slave, POLLIN, 0}};
    if (::poll(ends, 2, 0) <= 0)
        return false;
    if (ends[0].revents & POLLIN)
        return true;
    return (ends[1].revents & POLLIN) && m_lastWrite.isValid() && m_lastWrite.elapsed() < UnreadLimitMs;
}

QList<int> PseudoTerminal::chunkSizes(int total)
{
    QList<int> sizes;
    int start = 0;
    if (m_randomCuts) {
        while (start < total) {
            const int size = std::min(int(m_random.bounded(m_maxChunk)) + 1, total - start);
            sizes.append(size);
            start += size;
        }
        return sizes;
    }
    for (int offset : std::as_const(m_cuts)) {
        if (offset > start && offset < total) {
            sizes.append(offset - start);
            start = offset;
        }
    }
    sizes.append(total - start);
    return sizes;
}

void PseudoTerminal::write(const QByteArray &bytes)
{
    if (!isOpen() || bytes.isEmpty())
        return;
    if (!m_randomCuts && m_cuts.isEmpty()) {
        m_queue.append({bytes, false});
    } else {
        int start = 0;
        for (int size : chunkSizes(int(bytes.size()))) {
            m_queue.append({bytes.mid(start, size), true});
            start += size;
        }
    }
    flush();
}

void PseudoTerminal::flush()
{
    while (isOpen() && m_pace == Pace::Free && !m_queue.isEmpty()) {
        Chunk &chunk = m_queue.front();
        const ssize_t n = ::write(m_master, chunk.bytes.constData(), size_t(chunk.bytes.size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                m_writeNotifier->setEnabled(true);
                return;
            }
            m_queue.clear();
            break;
        }
        m_lastWrite.start();
        chunk.bytes.remove(0, n);
        if (!chunk.bytes.isEmpty()) {
            m_writeNotifier->setEnabled(true);
            return;
        }
        const bool alone = chunk.alone;
        m_queue.removeFirst();
        if (alone) {
            // Hold the rest until the reader has taken this chunk.
            m_pace = Pace::AwaitArrival;
            m_paceClock.start();
            m_arrivalNotifier->setEnabled(true);
            m_takenPoll.start();
        }
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
}

void PseudoTerminal::readMaster()
{
    // On the main thread the handling is part of the events the test clock serves; a
    // handler there may even serve events nested, which must not count as a busy line.
    const bool ownThread = QThread::currentThread() != QCoreApplication::instance()->thread();
    m_reading = ownThread;
    const auto done = qScopeGuard([this] { m_reading = false; });
    QByteArray bytes;
    char buffer[4096];
    while (m_master >= 0) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno != EAGAIN)
            m_readNotifier->setEnabled(false); // no slave end left: nothing more will come
        break;
    }
    if (!bytes.isEmpty())
        emit bytesReceived(bytes);
}

int PseudoTerminal::slaveQueued() const
{
    int queued = 0;
    if (m_master < 0 || ::ioctl(m_slave, FIONREAD, &queued) != 0)
        return 0;
    return queued;
}

void PseudoTerminal::onSlaveReadable()
{
    m_arrivalNotifier->setEnabled(false);
    if (m_pace == Pace::AwaitArrival)
        m_pace = Pace::AwaitTaken;
    checkTaken();
}

void PseudoTerminal::checkTaken()
{
    const qint64 age = m_paceClock.elapsed();
    const int queued = slaveQueued();
    if (m_pace == Pace::AwaitArrival) {
        if (queued > 0)
            m_pace = Pace::AwaitTaken;
        else if (age < QuickTakeMs)
            return;
    }
    if (m_pace == Pace::AwaitTaken && queued > 0 && age < TakenLimitMs)
        return;
    m_pace = Pace::Free;
    m_takenPoll.stop();
    if (m_arrivalNotifier)
        m_arrivalNotifier->setEnabled(false);
    flush();
}
