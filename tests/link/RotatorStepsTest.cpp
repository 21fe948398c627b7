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

    EXPECT_FALSE(RotatorMoveExceedsWrap(9000, 99000, 540)); // exactly at the limit
    EXPECT_TRUE(RotatorMoveExceedsWrap(9000, 99001, 540));
    EXPECT_TRUE(RotatorMoveExceedsWrap(-9000, -99001, 540));
    EXPECT_TRUE(RotatorMoveExceedsWrap(1, INT32_MAX, 2000)); // no overflow of the sum

    EXPECT_EQ(RotatorOtherWayRound(9000), -63000);
    EXPECT_EQ(RotatorOtherWayRound(0), 72000);
    EXPECT_EQ(RotatorOtherWayRound(-2000), 70000);

    EXPECT_EQ(RotatorStepsWithinWrap(9000, 100000, 540), -63000);
    EXPECT_EQ(RotatorStepsWithinWrap(9000, 99000, 540), 9000);
    EXPECT_EQ(RotatorStepsWithinWrap(-34000, 0, 540), -34000);
    EXPECT_EQ(RotatorStepsWithinWrap(0, 110000, 540), 0); // a full turn would wind further
    EXPECT_EQ(RotatorStepsWithinWrap(-2000, 100000, 360), -2000);
    EXPECT_EQ(RotatorStepsWithinWrap(-30000, 0, 100), -30000);
    EXPECT_EQ(RotatorStepsWithinWrap(10000, 50000, 0), -62000); // both beyond, the other way nearer
    EXPECT_EQ(RotatorStepsWithinWrap(-38000, -100000, 540), 34000);
}
