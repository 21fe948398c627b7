#include "platform/Clock.h"
#include "platform/SystemTimer.h"
#include "platform/VbTimer.h"
#include "platform/Wait.h"
#include "support/CpuTime.h"

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
