#pragma once

#include "platform/ClockTimer.h"

#include <QPointer>
#include <QSerialPort>
#include <limits>

class QSocketNotifier;

// A serial port that lets a steady trickle of bytes gather in the system's input queue.
// Each readyRead wakes the process, and a line at 9600 baud may bring its bytes one by one,
// a millisecond apart. Once the port's buffer is read empty three times in a row, each
// within twice `holdMs` of the one before, the device is left unwatched and looked at every
// `holdMs` instead, what came meanwhile announced as one readyRead, until a look finds
// nothing; then it is watched again. A chunk after a quiet line is announced at once, and
// no byte waits longer than `holdMs` more. Blocking waits (waitForReadyRead) look at the
// device themselves, held or not.
//
// The port watches its device with a read notifier of its own (a child QSocketNotifier)
// and switches it back on whenever its buffer is read empty (readData). Where no such
// notifier is found, nothing is held: the port behaves as a plain QSerialPort.
class PacedSerialPort : public QSerialPort
{
    Q_OBJECT

public:
    explicit PacedSerialPort(int holdMs);

protected:
    // Called whenever the buffer has been read empty; the port then watches its device
    // again, unless held.
    qint64 readData(char *data, qint64 maxSize) override;

private:
    void hold();
    void look();

    const int m_holdMs;
    ClockTimer m_hold;
    QPointer<QSocketNotifier> m_unwatched;
    int64_t m_lastEmptied = std::numeric_limits<int64_t>::min() / 2;
    int m_closeRuns = 0; // emptyings in a row, each close behind the one before
};
