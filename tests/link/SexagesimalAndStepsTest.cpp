#include "link/RotatorSteps.h"
#include "link/Sexagesimal.h"
#include "platform/VbError.h"

#include <gtest/gtest.h>
#include <limits>

TEST(ReduceRotatorSteps, FoldsIntoOneTurnKeepingTheSign)
{
    const std::pair<int32_t, int32_t> cases[] = {
        {0, 0}, {1, 1}, {-1, -1}, {72000, 72000}, {72001, 1}, {-72001, -1}, {144000, 72000},
        {-144001, -1}, {216000, 72000}, {143999, 71999}, {INT32_MAX, INT32_MAX % 72000},
        {INT32_MIN + 1, -(INT32_MAX % 72000)}, {INT32_MIN, -(int32_t((2147483648LL - 1) % 72000) + 1)},
    };
    for (auto [in, out] : cases) {
        int32_t steps = in;
        ReduceRotatorSteps(steps);
        EXPECT_EQ(steps, out) << in;
    }
}

TEST(FormatSexagesimal, WritesThreeFieldsAndCarriesRoundedSeconds)
{
    const std::pair<double, const char *> cases[] = {
        {1.5, "01:30:00.0"},   {-0.5, "-00:30:00.0"},     {123.25, "123:15:00.0"},
        {10.999999, "11:00:00.0"}, {-10.999999, "-11:00:00.0"}, {0.0, "00:00:00.0"},
        {5.1175, "05:07:03.0"}, {23.9999999, "24:00:00.0"}, {10.5 + 59.0 / 3600, "10:30:59.0"},
    };
    for (auto [value, text] : cases)
        EXPECT_EQ(FormatSexagesimal(value), QString::fromLatin1(text)) << value;
}

TEST(FormatSexagesimal, OverflowsWhereNoDegreeCountFits)
{
    for (double value : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN(), 0x1p63, -1e300}) {
        try {
            FormatSexagesimal(value);
            ADD_FAILURE() << value;
        } catch (const VbError &e) {
            EXPECT_EQ(e.number(), 6) << value;
        }
    }
    EXPECT_EQ(FormatSexagesimal(1e15), QStringLiteral("1000000000000000:00:00.0"));
}

TEST(ParseSexagesimal, ReadsBlankOrColonSeparatedFields)
{
    const std::pair<const char *, double> cases[] = {
        {"10 30 36", 10.51},  {"10:30:36", 10.51}, {"  10 30 36  ", 10.51}, {"-12 30 00", -12.5},
        {"5 7 3", 5.1175},    {"5", 0},            {"12 30", 0},           {"-00 30 00", -0.5},
        {"-0 0 36", -0.01},   {"10 30:36", 10.51},
    };
    for (auto [text, value] : cases) {
        QString t = QString::fromLatin1(text);
        EXPECT_NEAR(ParseSexagesimal(t), value, 1e-12) << text;
    }
    QString padded = QStringLiteral("  1 2 3 ");
    ParseSexagesimal(padded);
    EXPECT_EQ(padded, QStringLiteral("1 2 3"));
    QString bad = QStringLiteral("1 x 3");
    EXPECT_THROW(ParseSexagesimal(bad), VbError);
}
