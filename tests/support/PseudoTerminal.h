#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QTimer>

#include <atomic>

class QSocketNotifier;

// The device side of a pseudo-terminal: the master end, read and written in the Qt event
// loop, and the slave's path for the program to open as its serial port.
//
// The terminal keeps a slave descriptor of its own open, so the master never sees a
// hang-up while the program closes and reopens the port. hangUp() closes the master: the
// device node goes and the program's open port sees the device vanish.
//
// Output can be cut into chunks. A cut chunk is written only after the reader has taken
// the previous one, so every chunk reaches the reader as an arrival of its own.
class PseudoTerminal : public QObject
{
    Q_OBJECT

public:
    explicit PseudoTerminal(QObject *parent = nullptr);
    ~PseudoTerminal() override;

    bool isOpen() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    QString errorString() const { return m_error; }

    // Queues bytes for the reader; cut as the chunking says. Dropped once closed.
    void write(const QByteArray &bytes);

    // Every later write is cut after each of these byte offsets (counted within that
    // write; offsets outside it are ignored).
    void setCuts(const QList<int> &offsets);
    // Every later write is cut into chunks of 1 to maxChunk bytes, drawn from seed.
    void setRandomCuts(quint32 seed, int maxChunk);
    // Writes go out whole again (cut chunks already queued still go out one by one).
    void clearCuts();

    // True while queued bytes have not all been written, or a cut chunk has not yet
    // been taken by the reader.
    bool hasPendingOutput() const;
    // True while bytes are on their way in either direction: pending output, bytes of the
    // reader's that this end has not read yet, or bytes written lately that the reader has
    // not taken yet.
    bool hasBytesInFlight() const;

    // Closes the master. The own slave end stays open until close() or destruction, so
    // that the terminal's number is not handed to another process (whose port would find
    // it still locked) while the program still holds its end.
    void hangUp();
    void close();

signals:
    void bytesReceived(const QByteArray &bytes);

private:
    enum class Pace { Free, AwaitArrival, AwaitTaken };

    QList<int> chunkSizes(int total);
    void flush();
    void readMaster();
    void onSlaveReadable();
    void checkTaken();
    int slaveQueued() const;
    bool open();
    bool fail(const char *what);

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_error;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QSocketNotifier *m_arrivalNotifier = nullptr;
    QTimer m_takenPoll;
    QElapsedTimer m_paceClock;
    QElapsedTimer m_lastWrite;
    // Set on a terminal of a simulator thread from before the master is read until its
    // bytes are handled: the bytes are then taken but not yet answered.
    std::atomic<bool> m_reading{false};

    struct Chunk
    {
        QByteArray bytes;
        bool alone = false; // must reach the reader as an arrival of its own
    };
    QList<Chunk> m_queue; // not yet written
    Pace m_pace = Pace::Free;

    QList<int> m_cuts;
    bool m_randomCuts = false;
    int m_maxChunk = 1;
    QRandomGenerator m_random;
};
