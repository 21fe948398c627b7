#include "platform/Clock.h"
#include "platform/ClockTimer.h"
#include "platform/SystemTimer.h"
#include "platform/VbTimer.h"
#include "platform/Wait.h"
#include "support/CpuTime.h"
#include "support/TestClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

TEST(Clock, NeverReadsAsLongAgoAndDifferencesSurviveTheWrap)
{
    EXPECT_GT(Clock::TicksSince(0), 1000000u);
    const uint32_t before = Clock::GetTickCount();
    EXPECT_LT(Clock::TicksSince(before), 1000u);
    // Unsigned difference across the wrap.
    EXPECT_EQ(uint32_t(5) - uint32_t(0xFFFFFFFBu), 10u);
}

TEST(Wait, EndsEarlyWhenTheConditionTurnsTrueAndDoesNotSpin)
{
    bool done = false;
    QTimer::singleShot(50, [&] { done = true; });
    QElapsedTimer elapsed;
    elapsed.start();
    const double cpuBefore = cpuSeconds();
    EXPECT_TRUE(Wait::Until(5000, [&] { return done; }));
    EXPECT_LT(elapsed.elapsed(), 1000);
    EXPECT_GE(elapsed.elapsed(), 40);
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.03);
}

TEST(Wait, TimesOutAtItsDeadlineWithoutSpinning)
{
    QElapsedTimer elapsed;
    elapsed.start();
    const double cpuBefore = cpuSeconds();
    EXPECT_FALSE(Wait::Until(200, [] { return false; }));
    EXPECT_GE(elapsed.elapsed(), 199);
    EXPECT_LT(elapsed.elapsed(), 600);
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.03);
}

TEST(Wait, AWaitHeldUpPastItsDeadlineBeforeItBeganStillServesWhatWasPosted)
{
    struct HeldUp : TimeSource // every reading a second after the one before
    {
        mutable int64_t t = 0;
        int64_t now() const override { return t += 1000; }
        void serveEvents(int64_t) override { QCoreApplication::processEvents(); }
    } heldUp;
    bool served = false;
    QMetaObject::invokeMethod(qApp, [&] { served = true; }, Qt::QueuedConnection);
    Clock::Install(&heldUp), Wait::For(1), Clock::Install(nullptr);
    EXPECT_TRUE(served);
}

TEST(Wait, NestsLikeAStack)
{
    QStringList order;
    bool innerDone = false;
    QTimer::singleShot(10, [&] {
        order << "inner start";
        innerDone = Wait::Until(2000, [&] { return order.contains("inner event"); });
        order << "inner end";
    });
    QTimer::singleShot(60, [&] { order << "inner event"; });
    EXPECT_TRUE(Wait::Until(3000, [&] { return order.contains("inner end"); }));
    EXPECT_TRUE(innerDone);
    EXPECT_EQ(order, QStringList({"inner start", "inner event", "inner end"}));
}

TEST(VbTimer, TicksOnlyWhileEnabledWithAnInterval)
{
    VbTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &VbTimer::Tick, [&] { ++ticks; });
    timer.setEnabled(true); // interval 0: never ticks
    Wait::For(60);
    EXPECT_EQ(ticks, 0);
    timer.setInterval(20);
    EXPECT_TRUE(Wait::Until(1000, [&] { return ticks >= 2; }));
    timer.setEnabled(false);
    const int stopped = ticks;
    Wait::For(60);
    EXPECT_EQ(ticks, stopped);
}

TEST(VbTimer, ATickHandlerThatWaitsIsNotReentered)
{
    VbTimer timer;
    int depth = 0;
    int deepest = 0;
    int ticks = 0;
    QObject::connect(&timer, &VbTimer::Tick, [&] {
        ++ticks;
        deepest = std::max(deepest, ++depth);
        Wait::For(50); // several periods
        --depth;
    });
    timer.setInterval(10);
    timer.setEnabled(true);
    EXPECT_TRUE(Wait::Until(2000, [&] { return ticks >= 3; }));
    timer.setEnabled(false);
    EXPECT_EQ(deepest, 1);
}

TEST(SystemTimer, RunsUntilKilledAlsoFromItsOwnCallback)
{
    int calls = 0;
    uint32_t id = 0;
    id = SystemTimer::SetTimer(10, [&] {
        if (++calls == 3) {
            EXPECT_TRUE(SystemTimer::KillTimer(id));
        }
    });
    EXPECT_NE(id, 0u);
    EXPECT_TRUE(Wait::Until(2000, [&] { return calls >= 3; }));
    Wait::For(60);
    EXPECT_EQ(calls, 3);
    EXPECT_FALSE(SystemTimer::KillTimer(id));
}

// --- test time ---

TEST(TestClock, LongWaitsPassAtOnceAndTimersFireInDueOrderAtTheirTimes)
{
    TestClock clock;
    QElapsedTimer real;
    real.start();
    const int64_t start = Clock::Now();
    QList<std::pair<QString, int64_t>> fired;
    const auto note = [&](const char *name) { fired.append({QString::fromLatin1(name), Clock::Now() - start}); };
    VbTimer poll;
    QObject::connect(&poll, &VbTimer::Tick, [&] { note("poll"); });
    poll.setInterval(2000);
    poll.setEnabled(true);
    ClockTimer once;
    once.setSingleShot(true);
    QObject::connect(&once, &ClockTimer::timeout, [&] { note("once"); });
    once.start(4500);
    const uint32_t id = SystemTimer::SetTimer(3000, [&] { note("system"); });

    Wait::For(5000);
    SystemTimer::KillTimer(id);
    const std::pair<const char *, int64_t> expected[] = {{"poll", 2000}, {"system", 3000}, {"poll", 4000}, {"once", 4500}};
    ASSERT_EQ(fired.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(fired[i].first, QLatin1String(expected[i].first)) << i;
        EXPECT_GE(fired[i].second, expected[i].second) << i;
        EXPECT_LT(fired[i].second, expected[i].second + 100) << i;
    }
    EXPECT_GE(Clock::Now() - start, 5000);
    EXPECT_GE(clock.skipped(), 4000);
    EXPECT_LT(real.elapsed(), 1000);
}

TEST(TestClock, AWaitInATimerHandlerEndsBeforeTheWaitAroundIt)
{
    TestClock clock;
    const int64_t start = Clock::Now();
    QStringList order;
    int64_t innerEnd = 0;
    VbTimer timer;
    QObject::connect(&timer, &VbTimer::Tick, [&] {
        timer.setEnabled(false);
        order << "tick";
        Wait::For(3000);
        innerEnd = Clock::Now() - start;
        order << "inner end";
    });
    timer.setInterval(100);
    timer.setEnabled(true);
    EXPECT_TRUE(Wait::Until(10000, [&] { return order.contains("inner end"); }));
    EXPECT_EQ(order, QStringList({"tick", "inner end"}));
    EXPECT_GE(innerEnd, 3100);
    EXPECT_LT(innerEnd, 3200);
}

TEST(TestClock, RunningTimersKeepTheTimeTheyHaveLeftWhenTheClockIsChanged)
{
    bool fired = false;
    ClockTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &ClockTimer::timeout, [&] { fired = true; });
    timer.start(5000);
    {
        TestClock clock;
        Wait::For(4000);
        EXPECT_FALSE(fired);
        EXPECT_TRUE(Wait::Until(2000, [&] { return fired; }));
        fired = false;
        timer.start(100);
    }
    // Back on the monotonic clock: the 100 ms pass in real time.
    QElapsedTimer real;
    real.start();
    EXPECT_TRUE(Wait::Until(2000, [&] { return fired; }));
    EXPECT_GE(real.elapsed(), 80);
}
