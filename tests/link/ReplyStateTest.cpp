#include "link/ReplyState.h"
#include "platform/VbError.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::string>; // "code=value"

struct Receiver
{
    Pairs pairs;
    std::function<void(QStringView, QStringView)> onPair;
    ReplyState state{[this](QStringView code, QStringView value) {
        pairs.push_back(code.toString().toStdString() + "=" + value.toString().toStdString());
        if (onPair)
            onPair(code, value);
    }};

    void feed(const QStringList &chunks)
    {
        for (const QString &chunk : chunks)
            state.Handle_Received(chunk);
    }
};

struct FramingCase
{
    const char *name;
    QStringList chunks;
    Pairs pairs;
    std::optional<std::string> carry = {};
    std::optional<std::string> code = {};
    std::optional<bool> partial = {};
};

void PrintTo(const FramingCase &c, std::ostream *os)
{
    *os << c.name;
}

const FramingCase framingCases[] = {
    {"pairs in one chunk", {":s 1234 :a 1230 "}, {":s=1234", ":a=1230"}, {}, "", false},
    {"value cut, first chunk", {":s 12"}, {}, "12", ":s", true},
    {"value cut", {":s 12", "34 :a 5 "}, {":s=1234", ":a=5"}, {}, "", false},
    {"next chunk starts with blank", {":s 12", " :a 5 "}, {":s=12", ":a=5"}},
    {"code cut, first chunk", {":s 100 :a"}, {":s=100"}, ":a", "", true},
    {"code cut", {":s 100 :a", " 95 "}, {":s=100", ":a=95"}, {}, ""},
    {"code pending, first chunk", {":s "}, {}, {}, ":s", false},
    {"code pending across chunks", {":s ", "100 "}, {":s=100"}, {}, ""},
    {"two blanks give no value", {":s  100 "}, {":s=100"}, {}, ""},
    {"nor do two across chunks", {":s ", " 100 "}, {":s=100"}, {}, ""},
    {"two trailing blanks leave the code pending", {":s  "}, {}, {}, ":s", false},
    {"empty piece keeps code pending", {":s  ", "7 "}, {":s=7"}, {}, ""},
    {"code as value of code", {":! :s 5 "}, {":!=:s", ":s=5"}, {}, ""},
    {"token over chunks, first two", {"1", "2"}, {}, "12", "", true},
    {"token over three chunks", {":s 1", "2", "3 "}, {":s=123"}, "123", "", false},
    {"code at chunk end joins next piece", {":s", "1 5 "}, {":s1=5"}, {}, ""},
    {"blank-only chunk ends carried token", {":s 12", " "}, {":s=12"}, {}, "", false},
    {"non-numeric value", {":s abc "}, {":s=abc"}, {}, ""},
    {"line ends belong to tokens", {":s 12\r\n:a 5 "}, {":s=12\r\n:a"}, {}, ""},
    {"code ending the stream", {":! "}, {}, {}, ":!", false},
    {"empty chunk keeps carried piece", {":s 12", "", "34 "}, {":s=1234"}},
    {"empty chunk leaves record", {":s 12", ""}, {}, "12", ":s", true},
    {"empty chunk first", {"", ":s 5 "}, {":s=5"}, {}, "", false},
};

class FramingTable : public ::testing::TestWithParam<FramingCase>
{
};

TEST_P(FramingTable, DispatchesPairsAndKeepsRecord)
{
    const FramingCase &c = GetParam();
    Receiver r;
    r.feed(c.chunks);
    EXPECT_EQ(r.pairs, c.pairs);
    if (c.carry) {
        EXPECT_EQ(r.state.Carry.toStdString(), *c.carry);
    }
    if (c.code) {
        EXPECT_EQ(r.state.Code.toStdString(), *c.code);
    }
    if (c.partial) {
        EXPECT_EQ(r.state.Partial, *c.partial);
    }
}

INSTANTIATE_TEST_SUITE_P(ReplyState, FramingTable, ::testing::ValuesIn(framingCases),
                         [](const auto &info) {
                             std::string name = info.param.name;
                             std::replace_if(name.begin(), name.end(),
                                             [](char ch) { return !std::isalnum(uchar(ch)); }, '_');
                             return name;
                         });

TEST(ReplyState, ThrowingEntryLosesOnlyItsPair)
{
    Receiver r;
    r.onPair = [](QStringView, QStringView value) {
        if (value == u"bad")
            throw VbError::typeMismatch();
        if (value == u"boom")
            throw std::runtime_error("boom");
    };
    QStringList hooked;
    r.state.setChunkHook([&](const QString &chunk) {
        hooked << chunk;
        throw std::runtime_error("log failed");
    });

    r.feed({":s bad :a boom :t1 6812 ", "", ":s bad 7 "});

    // The code is used up by the failing value, so 7 finds none.
    EXPECT_EQ(r.pairs, (Pairs{":s=bad", ":a=boom", ":t1=6812", ":s=bad"}));
    EXPECT_EQ(hooked, (QStringList{":s bad :a boom :t1 6812 ", "", ":s bad 7 "}));
    EXPECT_TRUE(r.state.Code.isEmpty());
}

// A dispatch entry that waits pumps the event loop, where the next chunk arrives.
TEST(ReplyState, ChunkArrivingDuringDispatchIsWalkedAfter)
{
    Receiver r;
    QStringList hooked;
    r.state.setChunkHook([&](const QString &chunk) { hooked << chunk; });
    bool sent = false;
    bool arrived = false;
    r.onPair = [&](QStringView code, QStringView) {
        if (code != u":s" || std::exchange(sent, true))
            return;
        QMetaObject::invokeMethod(
            qApp,
            [&] {
                arrived = true;
                r.state.Handle_Received(QStringLiteral(" 2 :t1 3 "));
            },
            Qt::QueuedConnection);
        QCoreApplication::processEvents();
        ASSERT_TRUE(arrived);
        EXPECT_EQ(r.pairs.size(), 1u) << "re-entered while walking";
        EXPECT_EQ(hooked.size(), 1) << "hooked before its turn";
    };

    r.feed({":s 1 :a"});

    EXPECT_EQ(r.pairs, (Pairs{":s=1", ":a=2", ":t1=3"}));
    EXPECT_EQ(hooked, (QStringList{":s 1 :a", " 2 :t1 3 "}));
    EXPECT_FALSE(r.state.Partial);

    // Nothing left behind: the next chunk is walked on its own.
    r.pairs.clear();
    r.feed({":s 9 "});
    EXPECT_EQ(r.pairs, Pairs{":s=9"});
}

TEST(ReplyState, ReceiverDestroyedInsideDispatchStopsTheWalk)
{
    Pairs pairs;
    std::unique_ptr<ReplyState> state;
    state = std::make_unique<ReplyState>([&](QStringView code, QStringView value) {
        pairs.push_back(code.toString().toStdString() + "=" + value.toString().toStdString());
        if (code == u":q") {
            state->Handle_Received(QStringLiteral(":a 3 "));
            state.reset();
        }
    });
    state->Handle_Received(QStringLiteral(":s 1 :q 2 :s 3 "));
    EXPECT_EQ(pairs, (Pairs{":s=1", ":q=2"}));
}

// However a stream is cut into chunks, every receiver sees the pairs of the uncut stream.
TEST(ReplyState, CutsAnywhereGiveTheSamePairs)
{
    QString stream;
    for (int burst = 0; burst < 8; ++burst) {
        const QString n = QString::number(burst);
        stream += QStringLiteral(":! 0 :vr 2.13a :s 123") + n + QStringLiteral(" :a 12") + n
                  + QStringLiteral("0 :t1 681") + n + QStringLiteral(" :t2 -75") + n
                  + QStringLiteral(" :rs -14400 :rt 20") + n + QStringLiteral(" :wr 72") + n
                  + QStringLiteral("00 :sm  2 :fs 40 :S1P -3") + n + QStringLiteral(" :h 1 ");
    }
    Receiver whole;
    whole.feed({stream});
    ASSERT_EQ(whole.pairs.size(), 8u * 13u); // ":sm  2" is one pair

    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::mt19937 rng(seed);
        std::vector<qsizetype> cuts(std::uniform_int_distribution<int>(1, 60)(rng));
        for (qsizetype &cut : cuts)
            cut = std::uniform_int_distribution<qsizetype>(0, stream.size())(rng);
        std::sort(cuts.begin(), cuts.end());
        cuts.push_back(stream.size());

        QStringList chunks; // equal cuts give empty chunks, on purpose
        qsizetype from = 0;
        for (qsizetype cut : cuts) {
            chunks << stream.mid(from, cut - from);
            from = cut;
        }

        Receiver receivers[3];
        for (const QString &chunk : chunks)
            for (Receiver &r : receivers)
                r.state.Handle_Received(chunk);
        for (const Receiver &r : receivers) {
            ASSERT_EQ(r.pairs, whole.pairs) << "seed " << seed;
            ASSERT_EQ(r.state.Code, whole.state.Code) << "seed " << seed;
            ASSERT_EQ(r.state.Partial, whole.state.Partial) << "seed " << seed;
        }
    }
}

TEST(ReplyState, ALineWithoutBlanksKeepsOnlyTheStartOfItsToken)
{
    // Another device on the port sends lines without blanks for hours.
    Receiver r;
    const QString line = QStringLiteral("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
    r.feed({QStringLiteral(":a ")});
    for (int i = 0; i < 20000; ++i)
        r.state.Handle_Received(line);
    EXPECT_EQ(r.state.Carry.size(), 256);
    r.feed({QStringLiteral(" :a 5 ")});
    ASSERT_EQ(r.pairs.size(), 2u);
    EXPECT_EQ(r.pairs[0].size(), 3u + 256u); // ":a=" and the token's first 256 characters
    EXPECT_EQ(r.pairs[1], ":a=5");

    Receiver whole;
    whole.feed({QString(300, QLatin1Char('7')) + QStringLiteral(" ")});
    Receiver cut;
    cut.feed({QString(100, QLatin1Char('7')), QString(200, QLatin1Char('7')) + QStringLiteral(" ")});
    EXPECT_EQ(whole.state.Token, QString(256, QLatin1Char('7')));
    EXPECT_EQ(cut.state.Token, whole.state.Token);
}

} // namespace
