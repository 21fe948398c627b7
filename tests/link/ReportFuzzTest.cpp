// The report stream's reassembly and the shared value decoders against damaged streams.
#include "link/ReplyState.h"
#include "link/ReportTable.h"
#include "platform/VbError.h"
#include "support/Fuzz.h"

#include <gtest/gtest.h>

namespace {

QStringList pairsOf(const QList<QByteArray> &chunks)
{
    QStringList pairs;
    ReplyState reply([&](QStringView code, QStringView value) { pairs << code.toString() + QLatin1Char('=') + value.toString(); });
    for (const QByteArray &chunk : chunks)
        reply.Handle_Received(QString::fromLatin1(chunk));
    return pairs;
}

// Every decoder on one report: a value or nothing, or VbError 6 "Overflow" where VB's
// conversion overflows (the parsers' walk drops that report and goes on).
void decodeAll(const QByteArray &value, float slope)
{
    const auto overflowOnly = [&](const std::function<void()> &decode) {
        try {
            decode();
        } catch (const VbError &e) {
            EXPECT_EQ(e.number(), 6) << value.toHex().constData();
        }
    };
    const Report r(u":x", QString::fromLatin1(value));
    EXPECT_TRUE(r.numeric ? std::isfinite(r.v) : r.v == 0) << value.toHex().constData();
    overflowOnly([&] {
        if (const auto t = ReportValue::Temperature(r)) {
            EXPECT_FALSE(std::isnan(*t));
        }
    });
    overflowOnly([&] { ReportValue::RotatorSteps(r); });
    overflowOnly([&] { ReportValue::Wrap(r); });
    overflowOnly([&] {
        if (const auto power = ReportValue::Power(r)) {
            EXPECT_GE(*power, 0) << value.toHex().constData();
            EXPECT_LE(*power, 100) << value.toHex().constData();
        }
    });
    overflowOnly([&] { ReportValue::Flag(r); });
    overflowOnly([&] { ReportValue::TempCompScale(r); });
    overflowOnly([&] { ReportValue::TempCompCoefficient(r, slope); });
}

} // namespace

TEST(ReportStreamFuzz, PairsAreTheSameWhereverTheStreamIsCut)
{
    Fuzz::Run(2000, [](Fuzz::Gen &gen) {
        const QByteArray stream = Fuzz::ReportStream(gen, gen.between(1, 40));
        const QStringList whole = pairsOf({stream});
        EXPECT_EQ(pairsOf(gen.cut(stream, gen.between(1, 16))), whole) << stream.toHex().constData();
    });
}

TEST(ReportStreamFuzz, DecodersGiveAValueNothingOrOverflow)
{
    Fuzz::Run(5000, [](Fuzz::Gen &gen) {
        const QByteArray value = gen.chance(0.5) ? gen.number() : gen.mutate(gen.number());
        decodeAll(value, gen.pick(QList<float>{0, 1e-30f, -3.5f, 1e30f}));
    });
}
