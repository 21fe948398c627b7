#pragma once

#include "link/ControllerReports.h"
#include "link/DeviceHalts.h"
#include "link/InputGathering.h"
#include "platform/VbError.h"

#include <QHash>
#include <QObject>
#include <QSerialPort>
#include <QStringList>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The program's only transport to the controller: one serial port, text sent exactly as
// given, and every received chunk handed to all subscribers (their MyEvent handlers). The
// bytes of a steady trickle come gathered, a few milliseconds apart (InputGathering).
//
// Port n is the device named by $VKM_COM<n>, else /dev/ttyS<n-1>. Text is Latin-1 both
// ways. Members that "report" throw VbError with the number, text and source the clients
// know; Transmit answers whether the text left. Every command that leaves and every chunk
// that arrives also goes to the one record of what the controller reported (Reports()).
class Serial : public QObject
{
    Q_OBJECT

public:
    enum PortSpeed : int32_t {
        ps300 = 300,
        ps1200 = 1200,
        ps2400 = 2400,
        ps4800 = 4800,
        ps9600 = 9600,
        ps14400 = 14400,
        ps19200 = 19200,
        ps28800 = 28800,
        ps38400 = 38400,
        ps57600 = 57600,
        ps115200 = 115200,
    };

    // A blocking receive's value, with the error it reports (the value is kept even when
    // the deadline passed while the last read completed it).
    template <typename T>
    struct Received
    {
        T value{};
        std::optional<VbError> error;
    };

    static constexpr int32_t ErrUnsupportedSpeed = int32_t(0x80040400);
    static constexpr int32_t ErrTimeoutRange = int32_t(0x80040401);
    static constexpr int32_t ErrTimedOut = int32_t(0x80040402);
    static constexpr int32_t ErrEmptyTerminator = int32_t(0x80040403);
    static constexpr int32_t ErrCharacterCount = int32_t(0x80040404);
    static constexpr int32_t ErrUploadOwnsPort = int32_t(0x80040405);
    static constexpr int32_t E_NOINTERFACE = int32_t(0x80004002);
    static constexpr int32_t E_FAIL = int32_t(0x80004005);
    static constexpr uint32_t INTERFACESAFE_FOR_UNTRUSTED_CALLER = 1;

    Serial();
    ~Serial() override;

    int16_t Port() const { return m_commPort; }
    void setPort(int16_t iNewValue);

    int16_t ReceiveTimeout() const { return static_cast<int16_t>(m_receiveTimeoutMs / 1000); }
    void setReceiveTimeout(int16_t seconds);

    bool Connected() const { return m_port.isOpen(); }
    void setConnected(bool bNewValue);
    // The refusal of whatever a firmware upload's ownership of the line keeps out.
    static VbError UploadOwnsPort();

    PortSpeed Speed() const;
    void setSpeed(int32_t eNewValue);

    // Whether a text left the port.
    enum class SendResult { Sent, PortClosed, UploadOwnsLine, NotDelivered };

    // While a firmware upload owns the line (FlashInProgress) these send nothing: a boot
    // loader between its records must get no foreign byte. The caller learns why nothing
    // went: a poll goes on as with a controller that does not answer, an action refuses.
    SendResult Transmit(const QString &Data);
    void TransmitBinary(const QByteArray &Data);
    // The firmware upload's own text: sent also while the upload owns the line.
    SendResult TransmitForUpload(const QString &Data);

    // What the controller reported since the port opened, and what was sent since.
    const ControllerReports &Reports() const { return m_reports; }
    // The halts of each device that left the port, whoever sent them.
    const DeviceHalts &Halts() const { return m_halts; }
    // The controller restarted (a firmware upload began or ended): what it reported before
    // is no longer vouched for.
    void ControllerRestarted() { m_reports.ControllerRestarted(); }

    Received<QString> Receive();
    Received<uint8_t> ReceiveByte();
    Received<QString> ReceiveCounted(int16_t Count);
    Received<QString> ReceiveTerminated(const QString &Terminator);

    void ClearBuffers();
    // These three read and write the port themselves, so loops that serve no events (the
    // firmware exchange) see replies: each waits a few milliseconds at most when nothing
    // has come or when output is still queued. InBufferCount of a closed port is 0.
    int16_t InBufferCount();
    QString RecieveNoTimeout();
    int16_t OutBufferCount();
    // Evidence that what was written has gone: the port is open and its queued output left
    // within `msecs` (a controller holding XOFF keeps it back). Uploads ask this, after
    // each row or line and before they claim success; a closed port answers false at once.
    bool OutputDelivered(int msecs = 1000);

    // Safety options for script hosts; `riid` null means "no interface given".
    int32_t GetInterfaceSafetyOptions(const QUuid *riid, uint32_t *pdwSupportedOptions, uint32_t *pdwEnabledOptions) const;
    int32_t SetInterfaceSafetyOptions(const QUuid *riid, uint32_t dwOptionsSetMask, uint32_t dwEnabledOptions) const;

    // The port's settings text, "9600,N,8,1" at creation.
    QString Settings() const { return m_settings; }

    // The device path that port number `port` opens.
    static QString devicePath(int16_t port);
    // That path and where it came from, as messages name it: "/dev/ttyUSB0 (from VKM_COM3)".
    static QString deviceNamed(int16_t port);

    // Subscribes `handler` to every received chunk (the receiver's MyEvent handler) until
    // `receiver` is destroyed or unsubscribes. Every subscriber gets every chunk, in order.
    // A handler that pumps events keeps receiving: later chunks reach the others at once
    // and reach it right after it returns, never out of order.
    void subscribe(QObject *receiver, std::function<void(const QString &s)> handler);
    void unsubscribe(QObject *receiver);

signals:
    // The port opened or closed: by setConnected, or closed on the error of a device gone.
    void connectedChanged(bool connected);
    // The port closed on its own (the device went away): `notice` names the device and the
    // system's reason. Sent once per closing, before connectedChanged.
    void closedOnItsOwn(const QString &notice);

private:
    struct Subscriber
    {
        QObject *receiver = nullptr;
        std::function<void(const QString &)> handler;
        QStringList pending;
        bool busy = false;
        bool removed = false;
    };

    void handOut(const QString &chunk);
    void onReadyRead();
    void onAboutToBlock();
    void deliverLater();
    void deliver();
    // What the gathering's look reads; whether the device had anything.
    bool lookAtPort();
    // One of the port's blocking waits; a readyRead inside it leaves the bytes to its caller.
    bool waitForPort(bool (QSerialPort::*wait)(int), int msecs);
    void onError(QSerialPort::SerialPortError error);
    // Tells the watchers when the port's state is no longer `wasOpen`.
    void announceState(bool wasOpen);
    void applySettings();
    void requireOpen() const;
    VbError openRefusal(QSerialPort::SerialPortError error) const;
    qint64 msecsLeft(uint32_t deadline) const;
    QByteArray readUpTo(qint64 maxBytes, int msecs);
    Received<QString> receiveText(qint64 readLength, const std::function<bool(const QString &)> &complete);

    QSerialPort m_port;
    int16_t m_commPort = 1;
    QString m_settings;
    int32_t m_receiveTimeoutMs = 5000;
    bool m_safeForScripting = true;
    bool m_deliveryQueued = false;
    bool m_inReadyRead = false;
    int m_portWaits = 0;
    std::vector<std::shared_ptr<Subscriber>> m_subscribers;
    ControllerReports m_reports;
    DeviceHalts m_halts;
    InputGathering m_gathering;
};
