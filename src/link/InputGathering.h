#pragma once

#include "platform/ClockTimer.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <limits>

class QSerialPort;
class QSocketNotifier;

// Lets the bytes of a steady trickle gather in the system's input queue. A line at 9600
// baud may bring them one at a time, a millisecond apart, and a wakeup for each costs far
// more than the byte. After three small chunks in a row, each close behind the one before,
// the port's device is left unwatched and looked at every `holdMs` instead, until two looks
// in a row find nothing; then it is watched again. A chunk on a quiet line still comes at
// once, and no byte waits longer than `holdMs` more.
//
// While the device is unwatched the look timer always runs: nothing can be left unread.
// The port may watch again on its own (it does so when its buffer is read); that costs
// wakeups, never bytes. Blocking waits on the port look at the device themselves.
class InputGathering : public QObject
{
public:
    // `look` reads what the device holds and hands it out; it answers whether anything came.
    InputGathering(QSerialPort &port, int holdMs, std::function<bool()> look);

    // A chunk of `size` bytes was read on the port's own notice.
    void chunkRead(qsizetype size);

private:
    bool holding() const { return m_timer.isActive(); }
    void onTimer();
    void watch();
    // Ends a hold; on its own (a close) without watching: the notifier goes with the port.
    void endHold();

    QSerialPort &m_port;
    const int m_holdMs;
    std::function<bool()> m_look;
    ClockTimer m_timer;
    QPointer<QSocketNotifier> m_unwatched;
    int64_t m_lastChunk = std::numeric_limits<int64_t>::min() / 2;
    int m_closeChunks = 0; // small chunks in a row, each close behind the one before
    int m_emptyLooks = 0;  // looks in a row that found nothing
};
