#pragma once

#include <QStringView>
#include <cstdint>
#include <optional>

class Serial;
struct Report;

// The rotator's status as every mover asks for it and decides on it: from the one record of
// what the controller reported (Serial::Reports), never from a copy of its own.
namespace RotatorStatus {

// How long one status query is waited for.
constexpr int AnswerWaitMs = 500;

// Writes " R " and serves events until the controller's answer to it is complete (":wr",
// ":rs" and ":rt", in whatever order), waiting up to `waitMs` plus the time a lost reply takes
// to be given up (ControllerReports::LostAfterMs), since a slow controller's answer still
// counts. Where earlier queries were still unanswered, a reply of theirs that is lost would
// hold the answer back: it asks again every `waitMs`. False when no answer came, the port
// closed or opened meanwhile, or the text could not be sent.
bool Ask(Serial &link, int waitMs = AnswerWaitMs);

// Whether the record holds the rotator's three status values from an answer to a query
// written after the last rotator command and since the port opened.
bool Current(const Serial &link);
// Current, and the three came in one answer: a value that decides a move comes with the rest
// of its answer.
bool CurrentAnswer(const Serial &link);

// The rotator's target, position or cable wrap (`code` ":rs", ":rt" or ":wr", in steps) from
// an answer written after the last rotator command. When the record holds none, `mayAsk`
// asks and waits for the answer; otherwise a query goes out without waiting (unless one is
// already on its way) and nothing is returned this time.
std::optional<int32_t> Value(Serial &link, QStringView code, bool mayAsk);
// The same rule for any code of the rotator's status answer (":rh", ":rrp" ...): its report as
// the controller sent it.
std::optional<Report> Reported(Serial &link, QStringView code, bool mayAsk);

// The outcome of a move under the cable-wrap rule.
struct Move
{
    enum class Outcome { Send, PastLimit, NoReport };
    Outcome outcome = Outcome::NoReport;
    int32_t steps = 0; // what to send, when Send
};

// The move of `steps` under the one wrap rule (RotatorStepsWithinWrapSpan) from every wrap the
// rotator may reach with the moves already sent; the other way round where `mayReverse`.
// When `mayAsk`, asks first unless the record holds an answer written after the last rotator
// command; else it decides on what the record can vouch for, and NoReport when nothing (the
// caller asks without waiting and decides later).
Move WithinWrap(Serial &link, int64_t steps, bool mayReverse, bool mayAsk = true);

} // namespace RotatorStatus
