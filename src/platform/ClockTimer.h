#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <optional>

// A timer on the program's clock (Clock::Now): it fires once that clock has reached its due
// time, also when a test clock moves time forward instead of letting it pass. Single-shot
// or periodic; a periodic timer that falls behind skips the periods it missed.
class ClockTimer : public QObject
{
    Q_OBJECT

public:
    explicit ClockTimer(QObject *parent = nullptr);
    ~ClockTimer() override;

    void setSingleShot(bool singleShot) { m_singleShot = singleShot; }
    // (Re)starts the timer: due `ms` from now.
    void start(int ms);
    void stop();
    bool isActive() const { return m_active; }

    // The earliest due time among the running timers.
    static std::optional<int64_t> NextDue();
    // Time has moved forward: timers now due fire from the event loop, in due order.
    static void TimeMoved();
    // The clock's scale has shifted by `delta`: running timers keep the time they have left.
    static void Rebase(int64_t delta);

signals:
    void timeout();

private:
    void arm();
    void onWake();

    QTimer m_wake;
    int64_t m_due = 0;
    uint64_t m_order = 0; // breaks ties between timers due at the same time
    int m_interval = 0;
    bool m_singleShot = false;
    bool m_active = false;
};
