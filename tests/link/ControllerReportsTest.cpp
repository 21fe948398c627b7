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

// One step: '>' text sent, '<' a chunk received, '|' the port opened or closed, '~' more
// than a second passes.
struct Step
{
    char kind;
    const char *text = "";
};

using Span = ControllerReports::WrapSpan;

struct ReportsCase
{
    const char *what;
    std::vector<Step> steps;
    std::vector<std::pair<const char *, bool>> holds; // code, whether it holds
    std::optional<Span> span;                          // the rotator's reach; nothing: unknown
    std::optional<bool> rotatorStanding = std::nullopt;
    std::optional<bool> focuserStanding = std::nullopt;
    int pendingR = 0;
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
    {"a lost reply is given up", {{'>', " R "}, {'~'}, {'>', " R "}, {'<', ":wr 7 :rs 0 :rt 0 "}}, {{":wr", true}},
     Span{7, 7}, true},
    {"a reply still on its way is waited for", {{'>', " R "}, {'>', " R "}}, {}, std::nullopt, std::nullopt, {}, 2},
    {"an overdue one is not: ask again", {{'>', " R "}, {'~'}}, {}, std::nullopt, std::nullopt, {}, 0},
    {"the focuser stands on an answer after its move", {{'>', "b100 "}, {'>', " Q "}, {'<', ":s 100 :a 100 "}},
     {{":a", true}}, std::nullopt, std::nullopt, true},
};

} // namespace

TEST(ControllerReports, VouchesOnlyForWhatNoLaterCommandChanged)
{
    TestClock clock;
    for (const ReportsCase &c : cases) {
        SCOPED_TRACE(c.what);
        ControllerReports reports;
        for (const Step &step : c.steps) {
            if (step.kind == '>')
                reports.Sent(QString::fromLatin1(step.text));
            else if (step.kind == '<')
                reports.Received(QString::fromLatin1(step.text));
            else if (step.kind == '|')
                reports.PortChanged();
            else
                Wait::For(1100);
        }
        for (const auto &[code, holds] : c.holds)
            EXPECT_EQ(reports.Holds(QString::fromLatin1(code)), holds) << code;
        const auto span = reports.RotatorWrapSpan();
        EXPECT_EQ(span.has_value(), c.span.has_value());
        if (span && c.span)
            EXPECT_EQ(std::pair(span->low, span->high), std::pair(c.span->low, c.span->high));
        EXPECT_EQ(reports.RotatorStanding(), c.rotatorStanding);
        EXPECT_EQ(reports.FocuserStanding(), c.focuserStanding);
        EXPECT_EQ(reports.Pending(u'R'), c.pendingR);
    }
}
