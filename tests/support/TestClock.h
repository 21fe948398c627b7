#pragma once

#include "platform/Clock.h"

#include <QElapsedTimer>

// Test time, installed for the clock's lifetime. It runs with the monotonic clock, and
// whenever a wait finds no event to serve and nothing on its way over a simulated line,
// it moves straight on to the next timer or to the wait's end. So a wait of five seconds
// for a controller that stays silent passes at once, while timers still fire in order and
// every reply that is on its way arrives first. Use the waits (Wait::For, Wait::Until) to
// let time pass in a test.
class TestClock : public TimeSource
{
public:
    TestClock();
    ~TestClock() override;

    int64_t now() const override;
    void serveEvents(int64_t deadline) override;

    // Milliseconds moved forward so far instead of waited for.
    int64_t skipped() const { return m_skipped; }

private:
    TimeSource *m_previous = nullptr;
    int64_t m_start = 0;
    QElapsedTimer m_real;
    int64_t m_skipped = 0;
};
