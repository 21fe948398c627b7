#include "link/RotatorStatus.h"

#include "link/ControllerReports.h"
#include "link/ModuleState.h"
#include "link/RotatorSteps.h"
#include "link/Serial.h"
#include "platform/Clock.h"
#include "platform/Wait.h"

namespace RotatorStatus {

namespace {

bool answered(const ControllerReports &reports, uint64_t query)
{
    for (const char16_t *code : {u":wr", u":rs", u":rt"}) {
        const ControllerReports::Value *value = reports.Last(QStringView(code));
        if (!value || value->answers < query)
            return false;
    }
    return true;
}

} // namespace

bool Ask(Serial &link, int waitMs)
{
    const ControllerReports &reports = link.Reports();
    const bool earlierPending = reports.Pending(u'R') > 0;
    const uint32_t start = Clock::GetTickCount();
    const uint32_t bound = uint32_t(waitMs) + (earlierPending ? ControllerReports::LostAfterMs : 0);
    for (;;) {
        if (link.Transmit(QStringLiteral(" R ")) != Serial::SendResult::Sent)
            return false;
        const uint64_t query = reports.QueriesSent(u'R');
        const uint64_t epoch = reports.Epoch();
        const bool done = Wait::Until(waitMs, [&] {
            return reports.Epoch() != epoch || answered(reports, query);
        });
        if (reports.Epoch() != epoch)
            return false;
        if (done)
            return true;
        if (Clock::TicksSince(start) >= bound)
            return false;
    }
}

bool Current(const Serial &link)
{
    const ControllerReports &reports = link.Reports();
    return link.Connected() && reports.RotatorWrapSpan() && reports.Holds(u":wr") && reports.Holds(u":rt")
           && reports.Holds(u":rs");
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
