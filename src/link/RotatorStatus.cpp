#include "link/RotatorStatus.h"

#include "link/ControllerReports.h"
#include "link/ModuleState.h"
#include "link/RotatorSteps.h"
#include "link/Serial.h"
#include "platform/Clock.h"
#include "platform/Wait.h"

#include <algorithm>

namespace RotatorStatus {

namespace {

// Whether the record holds the three status values from an answer to `query` or a later one.
bool answered(const ControllerReports &reports, uint64_t query)
{
    for (const char16_t *code : {u":wr", u":rs", u":rt"}) {
        const ControllerReports::Value *value = reports.Last(QStringView(code));
        if (!value || value->answers < query)
            return false;
    }
    return true;
}

// Whether all three came since the report `mark`, in an answer that vouches for them: it may
// be credited to an earlier query, one given up on, whose reply was lost.
bool reportedSince(const Serial &link, uint64_t mark)
{
    const ControllerReports &reports = link.Reports();
    for (const char16_t *code : {u":wr", u":rs", u":rt"}) {
        if (!reports.ReportedSince(QStringView(code), mark))
            return false;
    }
    return Current(link);
}

} // namespace

bool Ask(Serial &link, int waitMs)
{
    const ControllerReports &reports = link.Reports();
    // Where earlier queries are unanswered (given-up ones included), their replies come first;
    // one of them may be lost and take this answer: then a new query's answer tells.
    const bool earlierPending = reports.Waiting(u'R') > 0;
    const uint64_t mark = reports.LastSerial();
    const uint32_t start = Clock::GetTickCount();
    const uint32_t bound = uint32_t(waitMs) + ControllerReports::LostAfterMs;
    uint64_t first = 0;
    for (;;) {
        if (link.Transmit(QStringLiteral(" R ")) != Serial::SendResult::Sent)
            return false;
        const uint64_t query = reports.QueriesSent(u'R');
        if (first == 0)
            first = query;
        const uint64_t epoch = reports.Epoch();
        // A slow controller's answer to the first query counts as well as a later one's.
        const int wait = int(std::min<uint32_t>(uint32_t(waitMs), bound - std::min(bound, Clock::TicksSince(start))));
        const bool done = Wait::Until(wait, [&] {
            return reports.Epoch() != epoch || answered(reports, earlierPending ? query : first)
                   || reportedSince(link, mark);
        });
        if (reports.Epoch() != epoch)
            return false;
        if (done)
            return true;
        if (Clock::TicksSince(start) >= bound || !earlierPending)
            break;
    }
    // Without earlier queries in the way, the first one's answer is waited for to the bound.
    const uint64_t epoch = reports.Epoch();
    const int rest = int(bound - std::min(bound, Clock::TicksSince(start)));
    return Wait::Until(rest, [&] { return reports.Epoch() != epoch || answered(reports, first) || reportedSince(link, mark); })
           && reports.Epoch() == epoch;
}

bool Current(const Serial &link)
{
    const ControllerReports &reports = link.Reports();
    return link.Connected() && reports.RotatorWrapSpan() && reports.Holds(u":wr") && reports.Holds(u":rt")
           && reports.Holds(u":rs");
}

bool CurrentAnswer(const Serial &link)
{
    if (!Current(link))
        return false;
    const ControllerReports &reports = link.Reports();
    const uint64_t answers = reports.Last(u":wr")->answers;
    return reports.Last(u":rs")->answers == answers && reports.Last(u":rt")->answers == answers;
}

std::optional<Report> Reported(Serial &link, QStringView code, bool mayAsk)
{
    if (!link.Connected())
        return std::nullopt;
    const ControllerReports &reports = link.Reports();
    // The code itself must hold too: another command (" v ", " /1 ") may have made it stale.
    const auto held = [&] { return Current(link) && reports.Holds(code); };
    if (!held()) {
        if (mayAsk) {
            if (Ask(link)) // the answer's other codes may follow its key codes
                Wait::Until(AnswerWaitMs, held);
        } else if (reports.Pending(u'R') == 0) { // an overdue query counts as lost: ask again
            link.Transmit(QStringLiteral(" R "));
        }
    }
    const ControllerReports::Value *value = reports.Last(code);
    if (!held() || !value)
        return std::nullopt;
    return value->report;
}

std::optional<int32_t> Value(Serial &link, QStringView code, bool mayAsk)
{
    const std::optional<Report> report = Reported(link, code, mayAsk);
    if (!report || !report->numeric)
        return std::nullopt;
    const double v = report->v;
    if (v < INT32_MIN || v > INT32_MAX)
        return std::nullopt;
    return int32_t(v);
}

Move WithinWrap(Serial &link, int64_t steps, bool mayReverse, bool mayAsk)
{
    const ControllerReports &reports = link.Reports();
    // A report written after the last move narrows the span to where the rotator is and goes.
    if (mayAsk && !Current(link))
        Ask(link);
    const std::optional<ControllerReports::WrapSpan> span = reports.RotatorWrapSpan();
    if (!span || !link.Connected())
        return {};
    const std::optional<int32_t> sent =
        RotatorStepsWithinWrapSpan(steps, span->low, span->high, Module().settings.ZELLimit, mayReverse);
    if (!sent)
        return {Move::Outcome::PastLimit};
    return {Move::Outcome::Send, *sent};
}

} // namespace RotatorStatus
