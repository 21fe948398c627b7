// The rotator's move arithmetic shared by the driver and the windows (ReduceRotatorSteps is
// tested with the sexagesimal helpers).
#include "link/RotatorSteps.h"

#include <gtest/gtest.h>

TEST(RotatorSteps, HalfTurnFoldWithAndWithoutExactlyHalfATurn)
{
    const struct
    {
        int32_t in, folded, kept;
    } cases[] = {
        {0, 0, 0},           {35999, 35999, 35999}, {36000, -36000, 36000}, {36001, -35999, -35999},
        {72000, 0, 0},       {-36000, -36000, -36000}, {-72000, -72000, -72000}, {-36001, -36001, -36001},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(FoldRotatorHalfTurn(c.in, true), c.folded) << c.in;
        EXPECT_EQ(FoldRotatorHalfTurn(c.in, false), c.kept) << c.in;
    }
}

TEST(RotatorSteps, FoldRotatorMoveReducesFirst)
{
    EXPECT_EQ(FoldRotatorMove(38000, true), -34000);   // Move(190)
    EXPECT_EQ(FoldRotatorMove(-38000, true), -38000);  // Move(-190): negatives stay
    EXPECT_EQ(FoldRotatorMove(72000, true), 0);        // Move(360)
    EXPECT_EQ(FoldRotatorMove(78000, true), 6000);     // one turn and 30 degrees
    EXPECT_EQ(FoldRotatorMove(144000 + 36000, true), -36000);
    EXPECT_EQ(FoldRotatorMove(144000 + 36000, false), 36000);
    EXPECT_EQ(FoldRotatorMove(INT32_MAX, true), 11647);
    EXPECT_EQ(FoldRotatorMove(INT32_MIN, true), -((2147483648LL - 1) % 72000 + 1));
}

TEST(RotatorSteps, WrapLimitAndTheOtherWayRound)
{
    EXPECT_EQ(RotatorWrapLimitSteps(540), 108000);
    EXPECT_EQ(RotatorWrapLimitSteps(INT32_MAX), int64_t(INT32_MAX) * 200); // no overflow
    EXPECT_EQ(RotatorOtherWayRound(9000), -63000);
    EXPECT_EQ(RotatorOtherWayRound(0), 72000);
    EXPECT_EQ(RotatorOtherWayRound(-2000), 70000);

    // RotatorStepsWithinWrap, the one wrap rule: the move sent without and with the other way round allowed.
    const struct { int64_t steps, wrap; int32_t limit; std::optional<int32_t> direct, mayReverse; } cases[] = {
        {9000, 99000, 540, 9000, 9000},       // exactly at the limit
        {9000, 99001, 540, {}, -63000},       // past it: only the other way round
        {-9000, -99001, 540, {}, 63000},
        {-30000, 0, 100, {}, {}},             // 150 degrees from 0: past either way
        {-2000, 100000, 360, -2000, -2000},   // unwinds from 500 towards 0, still past
        {12000, 30000, 100, {}, {}},          // the other way round ends 50 past the negative limit
        {0, 110000, 540, 0, 0},               // past the limit already: a step of 0 winds no farther
        {-290000, 150000, 540, {}, {}},       // from 750 past 540 to -700: nearer zero, but the other side
        {-260000, 150000, 540, {}, {}},       // to -550
        {-55000, 30000, 100, {}, {}},         // to -125 of 100
        {17000, 30000, 100, {}, {}},          // the other way round as well
        {1, INT32_MAX, 2000, {}, -71999},     // no overflow of the sum
        {-INT32_MAX, INT32_MAX, 0, -INT32_MAX, -INT32_MAX},
        {int64_t(INT32_MAX) + 1, 0, 2000, {}, {}}};
    for (const auto &c : cases)
        EXPECT_EQ(std::pair(RotatorStepsWithinWrap(c.steps, c.wrap, c.limit, false),
                            RotatorStepsWithinWrap(c.steps, c.wrap, c.limit, true)),
                  std::pair(c.direct, c.mayReverse)) << c.steps << " " << c.wrap;
}
