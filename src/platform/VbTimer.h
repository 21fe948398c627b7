#pragma once

#include <QObject>
#include "platform/ClockTimer.h"

// A timer on the program's clock with the meaning windows and drivers expect: it ticks every `Interval`
// milliseconds while `Enabled` is true and `Interval` is not 0. Changing `Interval` while
// enabled starts the period over; setting `Enabled` to its current value changes nothing.
// A tick is never delivered while the previous tick's handler is still running (a handler
// that waits would otherwise be re-entered by its own timer); that tick is skipped.
class VbTimer : public QObject
{
    Q_OBJECT

public:
    explicit VbTimer(QObject *parent = nullptr);

    int Interval() const { return m_interval; }
    void setInterval(int ms);

    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);

signals:
    void Tick();

private:
    void apply();
    void fire();

    ClockTimer m_timer;
    int m_interval = 0;
    bool m_enabled = false;
    bool m_inTick = false;
};
