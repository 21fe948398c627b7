#include "link/Serial.h"

#include "link/ModuleState.h"
#include "platform/Clock.h"
#include "platform/DeviceHandle.h"
#include "platform/Pause.h"

#include <QAbstractEventDispatcher>
#include <QScopedValueRollback>
#include <QThread>

namespace {

const QString serialSource = QStringLiteral("ASCOM Helper Serial Port Object");

VbError ownError(int32_t number, const char *text)
{
    return VbError(number, QString::fromLatin1(text), serialSource);
}

// Errors of the port layer itself carry its numbers and texts and no source.
VbError portNotOpen() { return VbError(8012, QStringLiteral("The device is not open")); }
const QString alreadyOpenText = QStringLiteral("Port already open");
const QString invalidNumberText = QStringLiteral("Invalid port number");
VbError portAlreadyOpen() { return VbError(8005, alreadyOpenText); }
VbError invalidPortNumber() { return VbError(8002, invalidNumberText); }

const QUuid IID_IDispatch(QStringLiteral("{00020400-0000-0000-C000-000000000046}"));

// How long InBufferCount and OutBufferCount wait for the port at most.
constexpr int ShortReadMs = 10;
// How long a byte of a steady trickle may wait for those behind it.
constexpr int GatherMs = 4;

// True once the tick `clock` is at or past `deadline`, across the 32-bit wrap.
bool reached(uint32_t clock, uint32_t deadline)
{
    return static_cast<int32_t>(clock - deadline) >= 0;
}

// Lowers the thread's scheduling priority while a blocking receive waits.
struct BelowNormalPriority
{
    BelowNormalPriority() { QThread::currentThread()->setPriority(QThread::LowPriority); }
    ~BelowNormalPriority() { QThread::currentThread()->setPriority(QThread::NormalPriority); }
};

} // namespace

Serial::Serial()
    : m_gathering(m_port, GatherMs, [this] { return lookAtPort(); })
{
    m_settings = QStringLiteral("9600,N,8,1");
    m_port.setFlowControl(QSerialPort::SoftwareControl);
    // Nothing is ever dropped: the input buffer grows while the firmware wizard holds it.
    m_port.setReadBufferSize(0);
    connect(&m_port, &QSerialPort::readyRead, this, &Serial::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &Serial::onError);
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &Serial::onAboutToBlock);
}

Serial::~Serial()
{
    m_port.close();
}

QString Serial::devicePath(int16_t port)
{
    const QString configured = qEnvironmentVariable(qPrintable(QStringLiteral("VKM_COM%1").arg(port)));
    return configured.isEmpty() ? QStringLiteral("/dev/ttyS%1").arg(port - 1) : configured;
}

QString Serial::deviceNamed(int16_t port)
{
    const QString variable = QStringLiteral("VKM_COM%1").arg(port);
    const QString origin = qEnvironmentVariableIsEmpty(qPrintable(variable))
        ? QStringLiteral("the default of port %1; %2 names another").arg(port).arg(variable)
        : QStringLiteral("from %1").arg(variable);
    return QStringLiteral("%1 (%2)").arg(devicePath(port), origin);
}

// The layer's error for a port that did not open, with the device and the system's reason.
VbError Serial::openRefusal(QSerialPort::SerialPortError error) const
{
    const QString device = deviceNamed(m_commPort);
    const auto refused = [&device](int32_t number, const QString &text, const QString &reason) {
        return VbError(number, QStringLiteral("%1: %2: %3").arg(text, device, reason));
    };
    if (error == QSerialPort::DeviceNotFoundError)
        return refused(8002, invalidNumberText, QStringLiteral("no such device"));
    if (error != QSerialPort::PermissionError)
        return refused(8002, invalidNumberText, m_port.errorString());
    const DeviceHandle::Refusal why = DeviceHandle::WhyNotOpened(devicePath(m_commPort));
    switch (why.cause) {
    case DeviceHandle::Refusal::Missing:
        return refused(8002, invalidNumberText, QStringLiteral("no such device"));
    case DeviceHandle::Refusal::NoPermission:
        return refused(8005, alreadyOpenText,
                       why.group.isEmpty() ? QStringLiteral("permission denied")
                                           : QStringLiteral("permission denied (the device belongs to the group \"%1\": "
                                                            "add your user to it and log in again)")
                                                 .arg(why.group));
    case DeviceHandle::Refusal::Busy:
        break;
    }
    return refused(8005, alreadyOpenText, QStringLiteral("busy (another program has it open)"));
}

void Serial::setPort(int16_t iNewValue)
{
    if (m_port.isOpen())
        throw portAlreadyOpen();
    if (iNewValue < 1)
        throw invalidPortNumber();
    m_commPort = iNewValue;
}

void Serial::setReceiveTimeout(int16_t seconds)
{
    if (seconds < 1 || seconds > 120)
        throw ownError(ErrTimeoutRange, "Timeout must be 1 - 120 seconds.");
    m_receiveTimeoutMs = seconds * 1000;
}

VbError Serial::UploadOwnsPort()
{
    return ownError(ErrUploadOwnsPort, "The port is in use by a firmware upload.");
}

void Serial::setConnected(bool bNewValue)
{
    // The firmware upload owns the line: closing, reopening or clearing it would leave the
    // controller half programmed.
    if (Module().tools.FlashInProgress)
        throw UploadOwnsPort();
    const bool wasOpen = m_port.isOpen();
    if (!bNewValue) {
        m_reports.PortChanged();
        m_port.close();
        announceState(wasOpen);
        return;
    }
    if (!m_port.isOpen()) {
        m_port.setPortName(devicePath(m_commPort));
        if (!m_port.open(QIODevice::ReadWrite)) {
            const VbError refusal = openRefusal(m_port.error());
            m_port.clearError();
            throw refusal;
        }
        applySettings();
        m_reports.PortChanged();
    }
    ClearBuffers();
    m_reports.InputCleared();
    announceState(wasOpen);
}

void Serial::announceState(bool wasOpen)
{
    if (m_port.isOpen() != wasOpen)
        emit connectedChanged(m_port.isOpen());
}

void Serial::applySettings()
{
    m_port.setBaudRate(Speed());
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::SoftwareControl);
    // A pseudo-terminal refuses the modem lines; that is not a failure to open.
    m_port.setDataTerminalReady(false);
    m_port.setRequestToSend(false);
    m_port.clearError();
}

Serial::PortSpeed Serial::Speed() const
{
    static const QList<int32_t> speeds = {ps300, ps1200, ps2400, ps4800, ps9600, ps14400,
                                          ps19200, ps28800, ps38400, ps57600, ps115200};
    const QString baud = m_settings.section(QLatin1Char(','), 0, 0);
    for (int32_t speed : speeds)
        if (baud == QString::number(speed))
            return static_cast<PortSpeed>(speed);
    throw ownError(ErrUnsupportedSpeed, "Unsupported port speed. Use the PortSpeed enumeration.");
}

void Serial::setSpeed(int32_t eNewValue)
{
    switch (eNewValue) {
    case ps300: case ps1200: case ps2400: case ps4800: case ps9600: case ps14400:
    case ps19200: case ps28800: case ps38400: case ps57600: case ps115200:
        m_settings = QString::number(eNewValue) + QStringLiteral(",N,8,1");
        if (m_port.isOpen())
            m_port.setBaudRate(eNewValue);
        return;
    default:
        throw ownError(ErrUnsupportedSpeed, "Unsupported port speed. Use the PortSpeed enumeration.");
    }
}

Serial::SendResult Serial::Transmit(const QString &Data)
{
    if (Module().tools.FlashInProgress)
        return m_port.isOpen() ? SendResult::UploadOwnsLine : SendResult::PortClosed;
    return TransmitForUpload(Data);
}

Serial::SendResult Serial::TransmitForUpload(const QString &Data)
{
    if (!m_port.isOpen())
        return SendResult::PortClosed;
    const QByteArray bytes = Data.toLatin1();
    if (m_port.write(bytes) != bytes.size())
        return SendResult::NotDelivered;
    m_reports.Sent(Data);
    m_halts.Sent(Data);
    // On the wire before we return. What a controller holding XOFF keeps back stays
    // queued and leaves from the event loop; nothing blocks.
    m_port.flush();
    return SendResult::Sent;
}

void Serial::TransmitBinary(const QByteArray &Data)
{
    requireOpen();
    if (Module().tools.FlashInProgress)
        return;
    m_port.write(Data);
    m_port.flush();
}

void Serial::requireOpen() const
{
    if (!m_port.isOpen())
        throw portNotOpen();
}

qint64 Serial::msecsLeft(uint32_t deadline) const
{
    return std::max<qint64>(0, static_cast<int32_t>(deadline - Clock::GetTickCount()));
}

bool Serial::waitForPort(bool (QSerialPort::*wait)(int), int msecs)
{
    ++m_portWaits;
    const bool result = (m_port.*wait)(msecs);
    --m_portWaits;
    return result;
}

// Reads at most `maxBytes` (all when negative); when nothing is buffered, waits up to
// `msecs` for the port without serving any other event.
QByteArray Serial::readUpTo(qint64 maxBytes, int msecs)
{
    if (m_port.bytesAvailable() == 0 && msecs > 0)
        waitForPort(&QSerialPort::waitForReadyRead, msecs);
    return maxBytes < 0 ? m_port.readAll() : m_port.read(maxBytes);
}

// Reads `readLength` characters at a time (all that is buffered when negative) until
// `complete` is satisfied or the receive time-out passes. The time-out is reported whenever
// the last clock reading was at or past the deadline, with the text read so far.
Serial::Received<QString> Serial::receiveText(qint64 readLength, const std::function<bool(const QString &)> &complete)
{
    Received<QString> result;
    if (!m_port.isOpen()) {
        result.error = portNotOpen();
        return result;
    }
    BelowNormalPriority priority;
    const uint32_t deadline = Clock::GetTickCount() + static_cast<uint32_t>(m_receiveTimeoutMs);
    std::optional<uint32_t> clock; // no reading yet
    while (!complete(result.value) && !(clock && reached(*clock, deadline))) {
        clock = Clock::GetTickCount();
        result.value += QString::fromLatin1(readUpTo(readLength, int(msecsLeft(deadline))));
    }
    if (clock && reached(*clock, deadline))
        result.error = ownError(ErrTimedOut, "Timed out waiting for received data.");
    return result;
}

Serial::Received<QString> Serial::Receive()
{
    return receiveText(-1, [](const QString &text) { return !text.isEmpty(); });
}

Serial::Received<QString> Serial::ReceiveCounted(int16_t Count)
{
    if (Count < 1)
        return {QString(), ownError(ErrCharacterCount, "Character count must be positive and greater than 0.")};
    return receiveText(1, [Count](const QString &text) { return text.size() >= Count; });
}

Serial::Received<QString> Serial::ReceiveTerminated(const QString &Terminator)
{
    if (Terminator.isEmpty())
        return {QString(), ownError(ErrEmptyTerminator, "Terminator string must have at least one character.")};
    return receiveText(1, [&Terminator](const QString &text) { return text.endsWith(Terminator); });
}

Serial::Received<uint8_t> Serial::ReceiveByte()
{
    Received<uint8_t> result;
    if (!m_port.isOpen()) {
        result.error = portNotOpen();
        return result;
    }
    BelowNormalPriority priority;
    const uint32_t deadline = Clock::GetTickCount() + static_cast<uint32_t>(m_receiveTimeoutMs);
    for (;;) {
        if (reached(Clock::GetTickCount(), deadline)) {
            result.error = ownError(ErrTimedOut, "Timed out waiting for received data.");
            return result;
        }
        const QByteArray byte = readUpTo(1, int(msecsLeft(deadline)));
        if (!byte.isEmpty()) {
            result.value = static_cast<uint8_t>(byte[0]);
            return result;
        }
    }
}

void Serial::ClearBuffers()
{
    requireOpen();
    m_port.clear(QSerialPort::AllDirections);
    m_port.readAll(); // what Qt had already taken in
}

int16_t Serial::InBufferCount()
{
    if (!m_port.isOpen()) {
        Pause(ShortReadMs); // nothing will come; a caller's polling loop must not spin
        return 0;
    }
    // A blocking read, not a spin: when nothing is buffered wait briefly for the port.
    waitForPort(&QSerialPort::waitForReadyRead, m_port.bytesAvailable() == 0 ? ShortReadMs : 0);
    return static_cast<int16_t>(std::min<qint64>(m_port.bytesAvailable(), INT16_MAX));
}

QString Serial::RecieveNoTimeout()
{
    requireOpen();
    waitForPort(&QSerialPort::waitForReadyRead, 0); // what the port holds beyond what was fetched already
    return QString::fromLatin1(m_port.readAll());
}

int16_t Serial::OutBufferCount()
{
    requireOpen();
    // Queued output leaves from the event loop; a caller that serves none drains it here.
    if (m_port.bytesToWrite() > 0)
        waitForPort(&QSerialPort::waitForBytesWritten, ShortReadMs);
    return static_cast<int16_t>(std::min<qint64>(m_port.bytesToWrite(), INT16_MAX));
}

bool Serial::OutputDelivered(int msecs)
{
    const uint32_t deadline = Clock::GetTickCount() + static_cast<uint32_t>(std::max(msecs, 0));
    while (m_port.isOpen() && m_port.bytesToWrite() > 0) {
        const qint64 left = msecsLeft(deadline);
        if (left <= 0)
            break;
        waitForPort(&QSerialPort::waitForBytesWritten, static_cast<int>(std::min<qint64>(left, ShortReadMs)));
    }
    return m_port.isOpen() && m_port.bytesToWrite() == 0;
}

int32_t Serial::GetInterfaceSafetyOptions(const QUuid *riid, uint32_t *pdwSupportedOptions, uint32_t *pdwEnabledOptions) const
{
    if (pdwSupportedOptions)
        *pdwSupportedOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
    if (!riid)
        return 0;
    if (*riid != IID_IDispatch)
        return E_NOINTERFACE;
    if (pdwEnabledOptions)
        *pdwEnabledOptions = m_safeForScripting ? INTERFACESAFE_FOR_UNTRUSTED_CALLER : 0;
    return 0;
}

int32_t Serial::SetInterfaceSafetyOptions(const QUuid *riid, uint32_t dwOptionsSetMask, uint32_t dwEnabledOptions) const
{
    if (!riid)
        return 0;
    if (*riid != IID_IDispatch)
        return E_NOINTERFACE;
    if ((dwEnabledOptions & dwOptionsSetMask) != INTERFACESAFE_FOR_UNTRUSTED_CALLER || !m_safeForScripting)
        return E_FAIL;
    return 0;
}

void Serial::onReadyRead()
{
    // A chunk goes out at once: a turn of the event loop for each would cost more than the
    // chunk. Inside one of the link's own blocking reads or writes the bytes are that
    // caller's first; what it leaves goes out from the event loop afterwards.
    if (m_portWaits == 0)
        m_gathering.chunkRead(m_port.bytesAvailable());
    if (m_portWaits > 0 || m_inReadyRead) {
        deliverLater();
        return;
    }
    const QScopedValueRollback inside(m_inReadyRead, true);
    deliver();
}

bool Serial::lookAtPort()
{
    // What the device holds goes out through the port's readyRead; inside a readyRead of its
    // own the port takes it in without announcing it, so what it holds goes out from here.
    const bool came = m_port.waitForReadyRead(0);
    if (m_port.isOpen() && m_port.bytesAvailable() > 0) {
        const QScopedValueRollback inside(m_inReadyRead, true);
        deliver();
    }
    return came;
}

void Serial::onAboutToBlock()
{
    // A subscriber pumps events inside readyRead, and the port announces nothing more until
    // it returns: what arrives meanwhile goes out from that loop.
    if (m_inReadyRead && m_port.isOpen() && m_port.bytesAvailable() > 0)
        deliverLater();
}

void Serial::deliverLater()
{
    if (m_deliveryQueued)
        return;
    m_deliveryQueued = true;
    QMetaObject::invokeMethod(this, &Serial::deliver, Qt::QueuedConnection);
}

void Serial::deliver()
{
    m_deliveryQueued = false;
    // While the firmware upload talks to the boot loader the input stays buffered for it;
    // outside an upload nothing holds it back.
    const ModuleState::Tools &flash = Module().tools;
    if ((flash.FlashAckFlag && flash.FlashInProgress) || !m_port.isOpen() || m_port.bytesAvailable() == 0)
        return;
    // Exactly what is buffered: readAll sizes its result for a large read and shrinks it.
    handOut(QString::fromLatin1(m_port.read(m_port.bytesAvailable())));
}

void Serial::subscribe(QObject *receiver, std::function<void(const QString &)> handler)
{
    auto subscriber = std::make_shared<Subscriber>();
    subscriber->receiver = receiver;
    subscriber->handler = std::move(handler);
    m_subscribers.push_back(subscriber);
    connect(receiver, &QObject::destroyed, this, [this, receiver] { unsubscribe(receiver); });
}

void Serial::unsubscribe(QObject *receiver)
{
    std::erase_if(m_subscribers, [receiver](const std::shared_ptr<Subscriber> &s) {
        if (s->receiver != receiver)
            return false;
        s->removed = true;
        return true;
    });
}

void Serial::handOut(const QString &chunk)
{
    m_reports.Received(chunk);
    for (const auto &subscriber : m_subscribers)
        subscriber->pending << chunk;
    // A subscriber still busy with an earlier chunk (it pumps events) gets this one from
    // its own loop below once it returns, so its order is kept.
    const auto subscribers = m_subscribers;
    for (const auto &subscriber : subscribers) {
        if (subscriber->busy)
            continue;
        subscriber->busy = true;
        while (!subscriber->removed && !subscriber->pending.isEmpty()) {
            const QString next = subscriber->pending.takeFirst();
            try {
                subscriber->handler(next);
            } catch (const std::exception &) {
                // A receiver's failure must not starve the others.
            }
        }
        subscriber->busy = false;
    }
}

void Serial::onError(QSerialPort::SerialPortError error)
{
    // The port reports a full output buffer (a controller that does not read for a while)
    // as a resource error too: while bytes wait to leave and the device is still there,
    // they stay queued and leave once it reads again.
    if (error == QSerialPort::ResourceError && m_port.isOpen() && m_port.bytesToWrite() > 0
        && DeviceHandle::StillThere(m_port.handle())) {
        m_port.clearError();
        return;
    }
    // A device that went away (adapter pulled, simulator gone): close instead of looping
    // on errors. Framing, parity and overrun errors are ignored.
    // A device that is gone reports a read error on every turn of the event loop.
    if ((error == QSerialPort::ResourceError || error == QSerialPort::ReadError) && m_port.isOpen()) {
        const QString why = DeviceHandle::WhyFailed(m_port.handle(), m_port.portName());
        const QString notice = QStringLiteral("The port closed: %1: %2")
                                   .arg(deviceNamed(m_commPort), why.isEmpty() ? m_port.errorString() : why);
        m_port.close();
        m_reports.PortChanged();
        emit closedOnItsOwn(notice);
        announceState(true);
    }
}
