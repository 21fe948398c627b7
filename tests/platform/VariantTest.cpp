#include "platform/Variant.h"

#include <functional>
#include <gtest/gtest.h>
#include <optional>

namespace {

// One conversion: the value expected, or the number of the error expected.
template <typename T> struct Case
{
    Variant in;
    std::optional<T> expected;
    int error = 0;
};

template <typename T, typename Convert> void check(const std::vector<Case<T>> &cases, Convert convert)
{
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "case " << i);
        if (cases[i].expected) {
            EXPECT_EQ(convert(cases[i].in), *cases[i].expected);
            continue;
        }
        try {
            convert(cases[i].in);
            ADD_FAILURE() << "no error";
        } catch (const VbError &error) {
            EXPECT_EQ(error.number(), cases[i].error);
        }
    }
}

constexpr int Overflow = 6;
constexpr int Mismatch = 13;

} // namespace

TEST(Variant, ToIntegerRoundsHalvesToEvenAndOverflowsOutOfRange)
{
    check<int16_t>({{Variant(2.5), 2},
                    {Variant(3.5), 4},
                    {Variant(-2.5), -2},
                    {Variant(1.5f), 2},
                    {Variant(32767.4), 32767},
                    {Variant(32767.5), {}, Overflow},
                    {Variant(-32768.5), -32768},
                    {Variant(-32768.6), {}, Overflow},
                    {Variant(int32_t(40000)), {}, Overflow},
                    {Variant(true), -1},
                    {Variant(false), 0},
                    {Variant(), 0},
                    {Variant("12.5"), 12},
                    {Variant(" 7 "), 7},
                    {Variant("1,000"), 1000},
                    {Variant("40000"), {}, Overflow},
                    {Variant("True"), {}, Mismatch},
                    {Variant("abc"), {}, Mismatch},
                    {Variant(""), {}, Mismatch},
                    {Variant(VariantArray{Variant(1)}), {}, Mismatch}},
                   [](const Variant &v) { return v.toInteger(); });
}

TEST(Variant, ToLongRoundsHalvesToEvenAndOverflowsOutOfRange)
{
    check<int32_t>({{Variant(2147483646.5), 2147483646},
                    {Variant(2147483647.5), {}, Overflow},
                    {Variant(-2147483648.5), int32_t(-2147483647 - 1)},
                    {Variant(-0.5), 0},
                    {Variant(int16_t(-7)), -7},
                    {Variant(true), -1},
                    {Variant("2147483648"), {}, Overflow},
                    {Variant("&HFFFF"), -1},
                    {Variant("1e3"), 1000},
                    {Variant("False"), {}, Mismatch},
                    {Variant("12a"), {}, Mismatch}},
                   [](const Variant &v) { return v.toLong(); });
}

TEST(Variant, ToBooleanTakesTrueFalseTextAndNumbers)
{
    check<bool>({{Variant("True"), true},
                 {Variant("false"), false},
                 {Variant("TRUE"), true},
                 {Variant("0"), false},
                 {Variant("-1"), true},
                 {Variant("0.1"), true},
                 {Variant("yes"), {}, Mismatch},
                 {Variant(""), {}, Mismatch},
                 {Variant(int16_t(2)), true},
                 {Variant(0.0), false},
                 {Variant(), false},
                 {Variant(std::shared_ptr<Dispatch>()), {}, Mismatch}},
                [](const Variant &v) { return v.toBoolean(); });
}

TEST(Variant, ToSingleAndDoubleKeepTheValueAndCheckTheRange)
{
    check<double>({{Variant(0.1f), double(0.1f)},
                   {Variant(true), -1.0},
                   {Variant("1e3"), 1000.0},
                   {Variant(" -2.5 "), -2.5},
                   {Variant(), 0.0},
                   {Variant("1.2.3"), {}, Mismatch}},
                  [](const Variant &v) { return v.toDouble(); });
    check<float>({{Variant(0.1), 0.1f},
                  {Variant(int32_t(16777217)), 16777216.0f},
                  {Variant(1e39), {}, Overflow},
                  {Variant("3.4e39"), {}, Overflow},
                  {Variant("x"), {}, Mismatch}},
                 [](const Variant &v) { return v.toSingle(); });
}

TEST(Variant, ToStringWritesAsCStrDoes)
{
    check<QString>({{Variant(true), QStringLiteral("True")},
                    {Variant(false), QStringLiteral("False")},
                    {Variant(int16_t(-5)), QStringLiteral("-5")},
                    {Variant(int32_t(40000)), QStringLiteral("40000")},
                    {Variant(0.1f), QStringLiteral("0.1")},
                    {Variant(1.0 / 3), QStringLiteral("0.333333333333333")},
                    {Variant(0.5625), QStringLiteral("0.5625")},
                    {Variant(), QString()},
                    {Variant(VariantArray{}), {}, Mismatch}},
                   [](const Variant &v) { return v.toString(); });
}

TEST(Variant, ErrorsCarryTheirTexts)
{
    const struct
    {
        std::function<void()> convert;
        int number;
        const char *description;
    } cases[] = {
        {[] { Variant("abc").toLong(); }, 13, "Type mismatch"},
        {[] { Variant(1e10).toLong(); }, 6, "Overflow"},
        {[] { Variant(int32_t(5)).toObject(); }, 424, "Object required"},
        {[] { Variant(int32_t(5)).toArray(); }, 13, "Type mismatch"},
    };
    for (const auto &c : cases) {
        try {
            c.convert();
            ADD_FAILURE() << c.description;
        } catch (const AutomationError &error) {
            EXPECT_EQ(error.number(), c.number);
            EXPECT_EQ(error.description(), c.description);
        }
    }
}
