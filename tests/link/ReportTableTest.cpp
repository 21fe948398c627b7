// The parsers' dispatch table and the value decoders they share.
#include "link/ReportTable.h"
#include "platform/VbError.h"

#include <gtest/gtest.h>

namespace {

struct Owner
{
    QStringList seen;
    void note(const Report &r) { seen << r.code + QLatin1Char('=') + r.text; }
};

} // namespace

TEST(ReportTable, RunsTheCodesHandlerOnlyForAnExactCode)
{
    const ReportTable<Owner> table{{":a", &Owner::note},
                                   {":t1", [](Owner &o, const Report &r) { o.seen << QString::number(r.v); }}};
    Owner o;
    for (const char *code : {":a", ":A", ":a ", ":t1", ":t", ":x"})
        table.dispatch(o, Report(QString::fromLatin1(code), u"12.5"));
    EXPECT_EQ(o.seen, QStringList({":a=12.5", "12.5"}));
}

TEST(ReportValue, DecodesSharedValuesAndRefusesNonNumbers)
{
    const auto r = [](const char *text) { return Report(u":x", QString::fromLatin1(text)); };
    // Only what a sensor can report is a temperature, only a whole Long a step count.
    const struct { const char *text; std::optional<double> degrees, steps; } values[] = {
        {"-1234", -12.34, -1234.0}, {"", {}, {}}, {" 7200 ", 72.0, 7200.0}, {"20000", 200.0, 20000.0},
        {"20001", {}, 20001.0}, {"-10000", -100.0, -10000.0}, {"-10001", {}, -10001.0}, {"1E300", {}, {}},
        {"12.5", 0.125, {}}, {"2147483647", {}, 2147483647.0}, {"2147483648", {}, {}}, {"-2147483649", {}, {}}};
    for (const auto &c : values)
        EXPECT_EQ(std::pair(ReportValue::Temperature(r(c.text)), ReportValue::RotatorSteps(r(c.text))),
                  std::pair(c.degrees, c.steps)) << c.text;
    EXPECT_EQ(ReportValue::Wrap(r("2.5")), 2); // halves to even
    EXPECT_EQ(ReportValue::Wrap(r("-3.5")), -4);
    EXPECT_EQ(ReportValue::Wrap(r("x")), std::nullopt);
    EXPECT_THROW(ReportValue::Wrap(r("3e9")), VbError);
    const struct { const char *text; std::optional<int32_t> power; } powers[] = {
        {"0", 0}, {"55.5", 56}, {"100", 100}, {"250", 100}, {"-1", std::nullopt}, {"5x", std::nullopt}};
    for (const auto &c : powers)
        EXPECT_EQ(ReportValue::Power(r(c.text)), c.power) << c.text;
    EXPECT_TRUE(ReportValue::Flag(r("1abc"))); // Val reads the leading number
    EXPECT_FALSE(ReportValue::Flag(r("abc")));
    EXPECT_FLOAT_EQ(*ReportValue::TempCompScale(r("-250000")), -2.5f);
    EXPECT_EQ(ReportValue::TempCompCoefficient(r("500"), 0), std::nullopt);
    EXPECT_FLOAT_EQ(*ReportValue::TempCompCoefficient(r("500"), 0.5f), 1.0f);
}
