#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <functional>
#include <optional>

class Serial;

// The focuser's state as the driver and the windows decide on it: from the one record of what
// the controller reported (Serial::Reports) and what was sent, never from a copy of their own.
namespace FocuserStatus {

// How long one query's answer is waited for.
constexpr int AnswerWaitMs = 1000;

// How a caller writes a query and serves events while it waits (a driver member's own wait
// stops its call when its client has gone).
struct Asking
{
    std::function<bool(const QString &query)> send;
    std::function<void(int timeoutMs, const std::function<bool()> &done)> wait;
};

// A query and the code of its answer that shows the answer came.
struct Query
{
    QString text;
    const char16_t *key;
};
extern const Query Status;      // " Q ", answered with ":s", ":a", ":tc", ":mb" ...
extern const Query Temperatures; // " T ", answered with ":t1" ...

// True at once when `decided` holds; else writes `query` and serves events until `decided`
// holds or the answer to that query has come, at most AnswerWaitMs. False when no answer came
// (the port or the controller changed meanwhile, or the query could not be sent).
bool Ask(const Serial &link, const Query &query, const std::function<bool()> &decided, const Asking &how);

// Whether the record can decide the compensation mode without asking: a ":tc" holds.
bool CompensationHolds(const Serial &link);
// The compensation mode (0 off, 1 automatic, 2 manual): a ":tc" that holds; else the mode of
// the last " +" sent since the port opened and the controller last restarted; else off, as the
// controller starts. A controller that does not report ":tc" is decided on what was sent.
int16_t Compensation(const Serial &link);

// Whether the record can decide whether the motor is forced off without asking: a ":mb" holds.
bool MotorHolds(const Serial &link);
// The motor forced off: a ":mb" that holds; else the last "U" sent (in this epoch) not "U0";
// else not, as the controller starts.
bool MotorForcedOff(const Serial &link);

// The temperature compensation works from, degrees F, as the record holds it: ":tca" scaled
// by the slope and offset the controller reported (":sl1", ":of1"), else the ambient ":t1".
// Nothing when none of them holds.
std::optional<double> Temperature(const Serial &link);

} // namespace FocuserStatus
