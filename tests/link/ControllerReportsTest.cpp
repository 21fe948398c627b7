// The one record of what the controller reported: reports, commands sent and port events in,
// what it vouches for out.
#include "link/ControllerReports.h"
#include "platform/Wait.h"
#include "support/TestClock.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// One step: '>' text sent, '<' a chunk received, '|' the port opened or closed, '!' the
// controller restarted, '~' more than a second passes, '#' distinct unknown codes received;
// `times` repeats it.
struct Step
{
    char kind;
    const char *text = "";
    int times = 1;
};

using Span = ControllerReports::WrapSpan;
const char *const Rot0 = ":wr 0 :rs 0 :rt 0 "; // the rotator's answer at 0

struct ReportsCase
{
    const char *what;
    std::vector<Step> steps;
    std::vector<std::pair<const char *, bool>> holds; // code, whether it holds
    std::optional<Span> span;                          // the rotator's reach; nothing: unknown
    std::optional<bool> rotatorStanding = std::nullopt;
    std::optional<bool> focuserStanding = std::nullopt;
    int pending = 0;
    char of = 'R';
    int waiting = -1; // queries of `of` waiting, given-up ones included; -1: not checked
};

const ReportsCase cases[] = {
    {"an answer holds", {{'>', " R "}, {'<', ":rh 1 :rrp 0 :wr 100 :rs 5 :rt 5 "}},
     {{":wr", true}, {":rt", true}}, Span{100, 100}, true},
    {"in any order, cut anywhere", {{'>', " R "}, {'<', ":rt 5 :r"}, {'<', "s 5 :w"}, {'<', "r 100 "}},
     {{":wr", true}, {":rs", true}}, Span{100, 100}, true},
    {"a move makes it stale", {{'>', " R "}, {'<', ":wr 0 :rs 0 :rt 0 "}, {'>', "j2000 "}},
     {{":wr", false}, {":rs", false}, {":fm", false}}, Span{0, 2000}},
    {"an answer to a query written before the move is old",
     {{'>', " R "}, {'>', "j2000 "}, {'<', ":wr 0 :rs 0 :rt 0 "}}, {{":rs", false}}, std::nullopt, std::nullopt, {}, 0},
    {"a halt needs two answers at one position",
     {{'>', " R "}, {'<', ":wr 0 :rs 0 :rt 0 "}, {'>', "q0 "}, {'>', " R "}, {'<', ":wr 5 :rs 800 :rt 5 "}}, {},
     Span{5, 5}, false},
    {"and then it stands", {{'>', " R "}, {'<', ":wr 0 :rs 0 :rt 0 "}, {'>', "q0 "}, {'>', " R "},
                            {'<', ":wr 5 :rs 800 :rt 5 "}, {'>', " R "}, {'<', ":wr 5 :rs 800 :rt 5 "}},
     {}, Span{5, 5}, true},
    {"a reopened port forgets", {{'>', " R "}, {'<', ":wr 0 :rs 0 :rt 0 :t1 6800 "}, {'|'}}, {{":wr", false}, {":t1", false}},
     std::nullopt},
    {"a fan command makes the mode stale", {{'>', " T "}, {'<', ":fm 1 :fs 0 :sm 0 :ss 0 :t1 6800 "}, {'>', "y50 "}},
     {{":fm", false}, {":t1", true}, {":sm", true}}, std::nullopt},
    {"a late reply is its own query's: the next one still waits", {{'>', " R "}, {'~'}, {'>', " R "}, {'<', ":wr 7 :rs 0 :rt 0 "}},
     {{":wr", true}}, Span{7, 7}, true, {}, 1},
    {"a late reply written before a move does not vouch after it", {{'>', " R "}, {'<', Rot0}, {'>', " R "}, {'~'},
     {'>', "j2000 "}, {'>', " R "}, {'<', Rot0}}, {{":wr", false}}, Span{0, 2000}, std::nullopt, {}, 1},
    {"the next reply does", {{'>', " R "}, {'<', Rot0}, {'>', " R "}, {'~'}, {'>', "j2000 "}, {'>', " R "}, {'<', Rot0},
     {'<', ":wr 2000 :rs 0 :rt 0 "}}, {{":wr", true}}, Span{2000, 2000}, true},
    {"however late: the next query is still owed", {{'>', " R "}, {'~', "", 3}, {'>', " R "}, {'<', ":wr 7 :rs 0 :rt 0 "}},
     {{":wr", true}}, Span{7, 7}, true, {}, 1, 'R', 1},
    {"a reply 3.3 s late written before a move does not vouch after it", {{'>', " R "}, {'<', Rot0}, {'>', " R "},
     {'~', "", 3}, {'>', "j7000 "}, {'>', " R ", 3}, {'<', Rot0}}, {{":wr", false}}, Span{0, 7000}, std::nullopt, {}, 3},
    {"nor one of many owed", {{'>', " R "}, {'>', "j2000 "}, {'>', " R ", 80}, {'<', Rot0}}, {{":wr", false}},
     std::nullopt, std::nullopt, {}, 80, 'R', 80},
    {"an answer spread over seconds is one", {{'>', " R "}, {'>', "j2000 "}, {'>', " R "}, {'<', ":wr 0 :rs 0 "}, {'~'},
     {'<', ":rt 0 "}}, {{":rt", false}}, std::nullopt},
    {"so is a fan answer", {{'>', " T "}, {'>', "n1 "}, {'>', " T "}, {'<', ":t1 6800 :fs 0 :sm 0 :ss 0 "}, {'~'},
     {'<', ":fm 1 "}}, {{":fm", false}}, std::nullopt},
    {"doubled blanks give no value", {{'>', " R "}, {'>', "j2000 "}, {'>', " R "}, {'<', ":wr  0 :rs 0 :rt 0 "}},
     {{":wr", false}, {":rs", false}}, std::nullopt, std::nullopt, {}, 1},
    {"nor does a cut after a code", {{'>', " R "}, {'>', "j2000 "}, {'>', " R "}, {'<', ":rs 0 :wr "}, {'<', " 0 :rt 0 "}},
     {{":wr", false}, {":rs", false}}, std::nullopt, std::nullopt, {}, 1},
    {"a whole turn under way is no standing", {{'>', " R "}, {'<', Rot0}, {'>', "j72000 "}, {'>', " R "}, {'<', Rot0}},
     {{":wr", true}}, Span{0, 72000}, false},
    {"until the turn is done", {{'>', " R "}, {'<', Rot0}, {'>', "j72000 "}, {'>', " R "}, {'<', Rot0}, {'>', " R "},
     {'<', ":wr 72000 :rs 0 :rt 0 "}}, {{":wr", true}}, Span{72000, 72000}, true},
    {"two turns told to go nowhere: it stands once it kept still between two answers apart",
     {{'>', " R "}, {'<', Rot0}, {'>', "j144000 "}, {'>', "j0 "}, {'>', " R "}, {'<', ":wr 72000 :rs 0 :rt 0 "},
      {'>', " R "}, {'<', ":wr 72000 :rs 0 :rt 0 "}}, {{":wr", true}}, Span{72000, 72000}, true},
    {"not on two answers asked together", {{'>', " R "}, {'<', Rot0}, {'>', "j144000 "}, {'>', "j0 "}, {'>', " R ", 2},
     {'<', ":wr 72000 :rs 0 :rt 0 "}, {'<', ":wr 72000 :rs 0 :rt 0 "}}, {{":wr", true}}, Span{0, 144000}, false},
    {"more than two turns to go keep their end", {{'>', " R "}, {'<', Rot0}, {'>', "j144000 "}, {'>', "q39138 "},
     {'>', " R "}, {'<', ":wr 9336 :rs 25234 :rt 67432 "}}, {{":wr", true}}, Span{9336, 183138}, false},
    {"a restart forgets", {{'>', " R "}, {'<', ":wr 0 :rs 0 :rt 0 :t1 6800 "}, {'!'}}, {{":wr", false}, {":t1", false}}, {}},
    {"so does a restart notice nobody asked for", {{'>', " R "}, {'<', Rot0}, {'<', ":! 0 "}}, {{":wr", false}}, {}},
    {"and one during a handshake", {{'>', " R "}, {'<', Rot0}, {'>', "! "}, {'<', ":! 0 "}}, {{":wr", false}}, {}},
    {"a bare one at its closing blank", {{'>', " R "}, {'<', Rot0}, {'<', ":! "}}, {{":wr", false}}, {}},
    {"a handshake costs one more query", {{'>', "! "}, {'<', ":! 0 "}, {'>', " R "}, {'<', Rot0}}, {{":wr", true}},
     Span{0, 0}, true},
    {"the codes after the key codes are the same answer's", {{'>', " R "}, {'<', ":wr 0 :rs 0 :rt 0 :rh 1 :rrp 0 "},
     {'>', " R "}, {'<', ":rs 5 :wr 5 :rt 5 :rh 1 "}}, {{":rh", true}}, Span{5, 5}, true, {}, 0, 'R', 0},
    {"so the next answer is its query's", {{'>', "b100 "}, {'>', " Q "}, {'<', ":s 100 :a 100 :h 1 "}, {'>', "b200 "},
     {'>', " Q "}, {'<', ":s 200 :a 150 :h 1 "}}, {{":a", true}}, std::nullopt, std::nullopt, false, 0, 'Q', 0},
    {"a code the answer had already begins the next", {{'>', " Q "}, {'<', ":h 1 :tc 0 :s 0 :a 0 "}, {'>', " +1 "},
     {'>', " Q "}, {'<', ":h 1 :tc 1 :s 0 :a 0 "}}, {{":tc", true}}, std::nullopt, std::nullopt, true, 0, 'Q', 0},
    {"a burst nobody asked for takes no answer's place", {{'>', "b100 "}, {'<', ":h 1 :s 1 "}, {'>', " Q "},
     {'<', ":s 100 :a 100 "}}, {{":s", true}}, std::nullopt, std::nullopt, true, 0, 'Q', 0},
    {"owed queries are counted, not dropped", {{'<', ":wr 5 "}, {'>', " R ", 200}, {'>', " T ", 200}}, {}, {}, {}, {}, 200, 'R', 200},
    {"so are the unknown codes kept", {{'#', "", 100}}, {{":z0", false}, {":z99", true}}, std::nullopt},
    {"a reply still on its way is waited for", {{'>', " R "}, {'>', " R "}}, {}, std::nullopt, std::nullopt, {}, 2},
    {"an overdue one is not: ask again", {{'>', " R "}, {'~'}}, {}, std::nullopt, std::nullopt, {}, 0},
    {"the focuser stands on an answer after its move", {{'>', "b100 "}, {'>', " Q "}, {'<', ":s 100 :a 100 "}},
     {{":a", true}}, std::nullopt, std::nullopt, true},
    {"homing moves it", {{'>', " Q "}, {'<', ":s 100 :a 100 "}, {'>', "h"}}, {{":a", false}}, std::nullopt, {}, {}},
};

// What each command makes stale, and a value it leaves standing.
struct CommandCase
{
    const char *command;
    std::vector<const char *> stale;
    const char *stays;
};

const CommandCase commands[] = {
    {"h", {":s", ":a", ":h"}, ":t1"}, {"00 ", {":S2M", ":S5M"}, ":S2C"}, {"945 ", {":S2C", ":S5C"}, ":S2M"},
    {"D19 ", {":S5SM", ":of1"}, ":S2M"}, {"A0.0010000 ", {":sl1"}, ":of1"}, {"B0.0010000 ", {":sl2"}, ":sl1"},
    {"C0.0010000 ", {":sl3"}, ":sl1"}, {"D0.0010000 ", {":of1"}, ":sl1"}, {"E0.0010000 ", {":of2"}, ":sl1"},
    {"F0.0010000 ", {":of3"}, ":sl1"}, {" F5 ", {":tcm"}, ":tcc"}, {" E1200 ", {":ims"}, ":a"}, {"@40 ", {":fo"}, ":fp"},
    {"z40 ", {":fp"}, ":fo"}, {" d0 ", {}, ":S4"}, {"d10 ", {":S4", ":SIM"}, ":S1"}, {"}255 ", {":ifa"}, ":ifs"},
    {"~50 ", {":sil"}, ":sl1"},
};

// Every query answered, in the order asked.
const char *const AllQueries = " Q T R l 1 G < 2 4 ";
const char *const AllAnswers =
    ":s 0 :a 0 :h 1 :ims 0 :tc 0 :t1 6800 :fm 0 :fs 0 :sm 0 :ss 0 :wr 0 :rs 0 :rt 0 :sl1 50000 :of1 0 :tcc 0 "
    ":tcm 10 :sl2 1 :sl3 1 :of2 0 :of3 0 :sil 50 :S2M 0 :S3M 0 :S4M 0 :S5M 0 :S2C 45 :S3C 45 :S4C 45 :S5C 45 :S2SM 0 "
    ":S3SM 0 :S4SM 0 :S5SM 0 :fo 50 :fp 50 :ifo 1 :ifa 1 :ifs 10 :ifh 2 :S1 0 :S2 0 :S3 0 :S4 0 :SIM 0 ";

} // namespace

TEST(ControllerReports, VouchesOnlyForWhatNoLaterCommandChanged)
{
    TestClock clock;
    for (const ReportsCase &c : cases) {
        SCOPED_TRACE(c.what);
        ControllerReports reports;
        for (const Step &step : c.steps) {
            for (int i = 0; i < step.times; ++i) {
                if (step.kind == '>')
                    reports.Sent(QString::fromLatin1(step.text));
                else if (step.kind == '<')
                    reports.Received(QString::fromLatin1(step.text));
                else if (step.kind == '|')
                    reports.PortChanged();
                else if (step.kind == '!')
                    reports.ControllerRestarted();
                else if (step.kind == '#')
                    reports.Received(QStringLiteral(":z%1 1 ").arg(i));
                else
                    Wait::For(1100);
            }
        }
        for (const auto &[code, holds] : c.holds)
            EXPECT_EQ(reports.Holds(QString::fromLatin1(code)), holds) << code;
        const auto span = reports.RotatorWrapSpan();
        EXPECT_EQ(span.has_value(), c.span.has_value());
        if (span && c.span) {
            EXPECT_EQ(std::pair(span->low, span->high), std::pair(c.span->low, c.span->high));
        }
        EXPECT_EQ(reports.RotatorStanding(), c.rotatorStanding);
        EXPECT_EQ(reports.FocuserStanding(), c.focuserStanding);
        EXPECT_EQ(reports.Pending(QLatin1Char(c.of)), c.pending);
        if (c.waiting >= 0) {
            EXPECT_EQ(reports.Waiting(QLatin1Char(c.of)), c.waiting);
        }
    }
    for (const CommandCase &c : commands) {
        SCOPED_TRACE(c.command);
        ControllerReports reports;
        reports.Sent(AllQueries), reports.Received(AllAnswers), reports.Sent(c.command);
        for (const char *code : c.stale)
            EXPECT_FALSE(reports.Holds(QString::fromLatin1(code))) << code;
        EXPECT_TRUE(reports.Holds(QString::fromLatin1(c.stays))) << c.stays;
    }
}
