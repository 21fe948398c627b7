#include "platform/Vb.h"
#include "platform/VbError.h"

#include <QLocale>
#include <clocale>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

using namespace vb;

namespace {

// The VbError number a call throws, or 0.
int errorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const VbError &e) {
        return e.number();
    }
    return 0;
}

struct FormatCase
{
    double value;
    const char *pattern;
    const char *expected;
};

const FormatCase formatCases[] = {
    // halves away from zero, on the 15-digit decimal text
    {72.25, "0.0", "72.3"},
    {-72.25, "0.0", "-72.3"},
    {2048.0 / 65536.0, "0.0000", "0.0313"},
    {1.005, "0.00", "1.01"},
    {2.675, "0.00", "2.68"},
    {0.075, "#.##", ".08"},
    {0.5, "0", "1"},
    {1.5, "0", "2"},
    {2.5, "0", "3"},
    {-0.5, "0", "-1"},
    {-2.5, "0", "-3"},
    {0.45, "0.0", "0.5"},
    {0.44999999999999, "0.0", "0.4"},
    {9.95, "0.0", "10.0"},
    {99.95, "00.0", "100.0"},
    {0.1 + 0.2, "0.0000000", "0.3000000"},
    {1234.56785, "0.0000", "1234.5679"},
    // negatives that round to zero keep the sign
    {-0.00001, "0.00", "-0.00"},
    {-0.4, "0", "-0"},
    {-0.0, "0.00", "0.00"},
    {0.0, "0", "0"},
    // placeholders
    {5, "00", "05"},
    {123, "00", "123"},
    {3.14159, "00.0", "03.1"},
    {0.25, "#0.0", "0.3"},
    {0.25, "#.0", ".3"},
    {1250, "#,##0.0", "1,250.0"},
    {-1234567.891, "#,##0.0", "-1,234,567.9"},
    {999.96, "#,##0.0", "1,000.0"},
    {12, "#,##0.0", "12.0"},
    {-0.0041, "#.000000", "-.004100"},
    {0.000123456789, "0.0000000", "0.0001235"},
    {12.345678, "0.00000", "12.34568"},
    {5, "#.##", "5."},
    {5.1, "0.##", "5.1"},
    {5.125, "0.0#", "5.13"},
    {0, "#", ""},
    {1250000, "0,", "1250"},
    {1e20, "0", "100000000000000000000"},
    {123456789012345678.0, "0", "123456789012346000"},
    {-7, "0.0", "-7.0"},
};

TEST(Vb, FormatRoundsTheDecimalTextHalfAwayFromZero)
{
    for (const FormatCase &c : formatCases) {
        SCOPED_TRACE(testing::Message() << c.value << " " << c.pattern);
        EXPECT_EQ(Format(c.value, QString::fromLatin1(c.pattern)), QString::fromLatin1(c.expected));
    }
}

TEST(Vb, FormatOfSingleAndLongAndEmptyPattern)
{
    // the Single goes through its 7-digit text: 0.1f is 0.100000001490116 as a double
    EXPECT_EQ(Format(0.1f, "0.000000000"), "0.100000000");
    EXPECT_EQ(Format(double(0.1f), "0.000000000"), "0.100000001");
    EXPECT_EQ(Format(72.25f, "0.0"), "72.3");
    EXPECT_EQ(Format(2.675f, "0.00"), "2.68"); // 2.67499995 as a double
    EXPECT_EQ(Format(double(2.675f), "0.00"), "2.67");
    EXPECT_EQ(Format(int32_t(-1234), "#,##0"), "-1,234");
    EXPECT_EQ(Format(int32_t(7), "00"), "07");
    EXPECT_EQ(Format(0.1 + 0.2, ""), "0.3");
    EXPECT_EQ(Format(1.0f / 3.0f, ""), "0.3333333");
}

TEST(Vb, FormatRefusesWhatItCannotShow)
{
    for (const char *pattern : {"0.0%", "0;-0", "0.0E+00", "x0", "0.0.0", ",0", "0.0,"}) {
        SCOPED_TRACE(pattern);
        EXPECT_EQ(errorOf([&] { Format(1.0, QString::fromLatin1(pattern)); }), 5);
    }
    EXPECT_EQ(errorOf([] { Format(std::numeric_limits<double>::infinity(), "0"); }), 6);
    EXPECT_EQ(errorOf([] { Format(std::nan(""), "0"); }), 6);
}

struct RoundCase
{
    double value;
    int expected; // 99999 for Overflow
};

TEST(Vb, CIntRoundsHalvesToEven)
{
    const RoundCase cases[] = {
        {2.5, 2},         {3.5, 4},         {-0.5, 0},        {-1.5, -2},      {0.5, 0},
        {1.5, 2},         {-2.5, -2},       {2.4999999, 2},   {2.5000001, 3},  {-2.5000001, -3},
        {0.49999999999999994, 0},           {1234.5, 1234},   {1235.5, 1236},  {0, 0},
        {32767.4, 32767}, {32767.5, 99999}, {-32768.5, -32768},                {-32768.6, 99999},
        {1e10, 99999},
    };
    for (const RoundCase &c : cases) {
        SCOPED_TRACE(c.value);
        if (c.expected == 99999)
            EXPECT_EQ(errorOf([&] { CInt(c.value); }), 6);
        else
            EXPECT_EQ(CInt(c.value), c.expected);
    }
}

TEST(Vb, CLngRoundsHalvesToEven)
{
    const struct
    {
        double value;
        int64_t expected; // 1 << 40 for Overflow
    } cases[] = {
        {1234.5, 1234}, {1235.5, 1236}, {-1234.5, -1234}, {-1235.5, -1236}, {0.5, 0}, {-0.5, 0},
        {32768.5, 32768}, {2147483647.4, 2147483647}, {2147483647.5, int64_t(1) << 40},
        {-2147483648.5, -2147483648LL}, {-2147483648.6, int64_t(1) << 40},
        {1e300, int64_t(1) << 40}, {std::numeric_limits<double>::infinity(), int64_t(1) << 40},
        {std::nan(""), int64_t(1) << 40},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        if (c.expected == int64_t(1) << 40)
            EXPECT_EQ(errorOf([&] { CLng(c.value); }), 6);
        else
            EXPECT_EQ(CLng(c.value), c.expected);
    }
}

TEST(Vb, CIntAndCLngOfText)
{
    EXPECT_EQ(CLng(QStringLiteral(" 1234.5 ")), 1234);
    EXPECT_EQ(CLng(QStringLiteral("1235.5")), 1236);
    EXPECT_EQ(CLng(QStringLiteral("-2.5")), -2);
    EXPECT_EQ(CLng(QStringLiteral("1,000")), 1000);
    EXPECT_EQ(CLng(QStringLiteral("1e3")), 1000);
    EXPECT_EQ(CLng(QStringLiteral("&H10")), 16);
    EXPECT_EQ(CInt(QStringLiteral("2.5")), 2);
    EXPECT_EQ(CInt(QStringLiteral("-32768.5")), -32768);
    EXPECT_EQ(CLng(QStringLiteral("1234\r\n")), 1234);
    for (const char *text : {"", "abc", "12a", "1 2", "-", ".", "1e", "$5", "(5)", "5-"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(errorOf([&] { CLng(QString::fromLatin1(text)); }), 13);
        EXPECT_EQ(errorOf([&] { CInt(QString::fromLatin1(text)); }), 13);
    }
    EXPECT_EQ(errorOf([] { CInt(QStringLiteral("32767.5")); }), 6);
    EXPECT_EQ(errorOf([] { CLng(QStringLiteral("3000000000")); }), 6);
    EXPECT_EQ(errorOf([] { CLng(QStringLiteral("1e400")); }), 6);
}

TEST(Vb, IntIsFloor)
{
    EXPECT_EQ(Int(-5.5), -6);
    EXPECT_EQ(Int(5.5), 5);
    EXPECT_EQ(Int(-5), -5);
    EXPECT_EQ(Int(0.9999999), 0);
    EXPECT_EQ(Int(-0.0000001), -1);
}

TEST(Vb, ValReadsTheLeadingNumber)
{
    const struct
    {
        const char *text;
        double expected;
    } cases[] = {
        {" 1 2.5x", 12.5}, {"1,5", 1}, {"abc", 0}, {"-3.5e2", -350}, {"&HFF", 255}, {"&hff", 255},
        {"&H", 0}, {"&HFFFF", -1}, {"&H8000", -32768}, {"&HFFFF&", 65535}, {"&H10000", 65536},
        {"&HFFFFFFFF", -1}, {"&O17", 15}, {"&O8", 0}, {"1e", 1}, {"1e+", 1}, {"1e-2x", 0.01},
        {"1 e 2", 100}, {"1D2", 100}, {".", 0}, {"", 0}, {".5", 0.5}, {"-.5", -0.5}, {"+7", 7},
        {"- 7", -7}, {"+-7", 0}, {"1.2.3", 1.2}, {"\t12\n3", 123}, {"\r12", 0}, {"-0", 0},
        {"1e-400", 0}, {"0012", 12}, {"b1234 ", 0}, {"1234 ", 1234},
        {"123456789012345678901234", 123456789012345678901234.0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Val(QString::fromLatin1(c.text)), c.expected);
    }
    EXPECT_FALSE(std::signbit(Val(QStringLiteral("-0"))));
    EXPECT_EQ(Val(QString::fromUtf8("12\u00b05")), 12);
    EXPECT_EQ(errorOf([] { Val(QStringLiteral("1e400")); }), 6);
    EXPECT_EQ(errorOf([] { Val(QStringLiteral("&H100000000")); }), 6);
}

TEST(Vb, IsNumericAndCDbl)
{
    const struct
    {
        const char *text;
        bool numeric;
        double value;
    } cases[] = {
        {" 12 ", true, 12}, {"1,000", true, 1000}, {"1,000.5", true, 1000.5}, {"1e5", true, 1e5},
        {"1E-5", true, 1e-5}, {"1d2", true, 100}, {"-1.5", true, -1.5}, {"+1.5", true, 1.5},
        {".5", true, 0.5}, {"5.", true, 5}, {"&H10", true, 16}, {"&o10", true, 8},
        {"\t7\r\n", true, 7}, {"abc", false, 0}, {"", false, 0}, {"   ", false, 0}, {"-", false, 0},
        {"12a", false, 0}, {".", false, 0}, {"1e", false, 0}, {"1e+", false, 0}, {"1 2", false, 0},
        {",5", false, 0}, {"1.5,0", false, 0}, {"&H", false, 0}, {"&HG", false, 0},
        {"-&H10", false, 0}, {"1e400", false, 0}, {"inf", false, 0}, {"nan", false, 0},
        {"1D2", true, 100}, {"+5", true, 5}, {"&O17", true, 15}, {"32767.9999847412109375", true, 32767.9999847412109375},
        {"1.5e+3", true, 1500},
    };
    // What StrictNumber takes of the same texts (a settings value typed or from a file); it refuses the others.
    const QStringList strict = {"1e5", "1E-5", "-1.5", ".5", "5.", "32767.9999847412109375", "1.5e+3"};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = QString::fromLatin1(c.text);
        EXPECT_EQ(IsNumeric(text), c.numeric);
        if (c.numeric)
            EXPECT_EQ(CDbl(text), c.value);
        else
            EXPECT_NE(errorOf([&] { CDbl(text); }), 0);
        EXPECT_EQ(StrictNumber(text), strict.contains(text) ? std::optional(c.value) : std::nullopt);
    }
    EXPECT_EQ(errorOf([] { CDbl(QStringLiteral("abc")); }), 13);
    EXPECT_EQ(errorOf([] { CDbl(QStringLiteral("1e400")); }), 6);
}

TEST(Vb, CStrOfSingleHasSevenDigits)
{
    volatile float tenth = 0.1f;
    const struct
    {
        float value;
        const char *expected;
    } cases[] = {
        {tenth * 10, "1"}, {0.25f, "0.25"}, {2.5f, "2.5"}, {1 / 3.0f, "0.3333333"}, {-0.5f, "-0.5"},
        {1e-5f, "1E-05"}, {1.5e-5f, "1.5E-05"}, {0.0001f, "0.0001"}, {123456789.0f, "1.234568E+08"},
        {10000000.0f, "1E+07"}, {9999999.0f, "9999999"}, {1234567.0f, "1234567"},
        {12345675.0f, "1.234568E+07"}, // an exact tie rounds away from zero
        {12345665.0f, "1.234567E+07"}, {1e20f, "1E+20"}, {-1e-20f, "-1E-20"}, {0.0f, "0"},
        {-0.0f, "0"}, {72.25f, "72.25"}, {0.1f, "0.1"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(CStr(c.value), QString::fromLatin1(c.expected));
    }
}

TEST(Vb, CStrOfDoubleHasFifteenDigits)
{
    const struct
    {
        double value;
        const char *expected;
    } cases[] = {
        {0.1 + 0.2, "0.3"}, {1 / 3.0, "0.333333333333333"}, {2 / 3.0, "0.666666666666667"},
        {1e15, "1E+15"}, {123456789012345.0, "123456789012345"},
        {999999999999999.4, "999999999999999"}, {999999999999999.6, "1E+15"}, {0.0001, "0.0001"},
        {0.00012345, "0.00012345"}, {0.00001, "1E-05"}, {-1.5e-5, "-1.5E-05"}, {1e100, "1E+100"},
        {1.7976931348623157e308, "1.79769313486232E+308"}, {5e-324, "4.94065645841247E-324"},
        {double(0.1f), "0.100000001490116"}, {-2.5, "-2.5"}, {1234.5, "1234.5"}, {100, "100"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(CStr(c.value), QString::fromLatin1(c.expected));
    }
    EXPECT_EQ(CStr(int32_t(-2147483647 - 1)), "-2147483648");
    EXPECT_EQ(errorOf([] { CStr(std::numeric_limits<double>::infinity()); }), 6);
}

TEST(Vb, CSng)
{
    EXPECT_EQ(CSng(1.5), 1.5f);
    EXPECT_EQ(CSng(3.4028234663852886e38), std::numeric_limits<float>::max());
    EXPECT_EQ(CSng(-3.4028235e38), -std::numeric_limits<float>::max());
    EXPECT_EQ(CSng(1e-50), 0.0f);
    EXPECT_EQ(CSng(QStringLiteral(" 2.5 ")), 2.5f);
    EXPECT_EQ(CSng(QStringLiteral("1,234.5")), 1234.5f);
    EXPECT_EQ(errorOf([] { CSng(3.5e38); }), 6);
    EXPECT_EQ(errorOf([] { CSng(-1e39); }), 6);
    EXPECT_EQ(errorOf([] { CSng(0x1.ffffffp+127); }), 6);
    EXPECT_EQ(errorOf([] { CSng(std::nan("")); }), 6);
    EXPECT_EQ(errorOf([] { CSng(QStringLiteral("1e39")); }), 6);
    EXPECT_EQ(errorOf([] { CSng(QStringLiteral("x")); }), 13);
}

TEST(Vb, LocaleNeverMatters)
{
    const QLocale before;
    const std::string cBefore = std::setlocale(LC_ALL, nullptr);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR"}) {
        if (std::setlocale(LC_ALL, name))
            break;
    }
    EXPECT_EQ(Format(1250.25, "#,##0.0"), "1,250.3");
    EXPECT_EQ(Format(0.5f, "0.00"), "0.50");
    EXPECT_EQ(CStr(2.5f), "2.5");
    EXPECT_EQ(CStr(1.5e-5), "1.5E-05");
    EXPECT_EQ(Val(QStringLiteral("1,5")), 1);
    EXPECT_EQ(Val(QStringLiteral("1.5")), 1.5);
    EXPECT_EQ(CDbl(QStringLiteral("1,000.5")), 1000.5);
    EXPECT_TRUE(IsNumeric(QStringLiteral("2.5")));
    EXPECT_EQ(CLng(QStringLiteral("2.5")), 2);
    std::setlocale(LC_ALL, cBefore.c_str());
    QLocale::setDefault(before);
}

} // namespace
