#include "link/ControllerReports.h"

#include "link/RotatorSteps.h"
#include "platform/Clock.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

// The queries: a letter sent alone, answered by a burst of these codes. A burst is complete
// once its key codes (the first `keys` of the list) have all come, in whatever order.
struct QueryBurst
{
    char letter;
    int keys;
    std::initializer_list<const char *> codes;
};

const std::array<QueryBurst, 14> &queryBursts()
{
    static const std::array<QueryBurst, 14> table{{
        {'!', 1, {":!"}},
        {'Q', 2, {":s", ":a", ":h", ":ims", ":mc", ":mo", ":mb", ":tc", ":frp"}},
        {'T', 5, {":t1", ":fm", ":fs", ":sm", ":ss", ":t2", ":t3", ":t7", ":t4", ":t5", ":t6", ":fg", ":ft",
                  ":st", ":d1", ":d2"}},
        {'R', 3, {":wr", ":rs", ":rt", ":rh", ":rrp"}},
        {'V', 1, {":vr"}},
        // the settings read back: the compensation values are what decisions rest on
        {'l', 4, {":sl1", ":of1", ":tcc", ":tcm", ":p", ":r", ":g", ":i", ":l", ":v", ":c", ":ac", ":dbs", ":eh",
                  ":db", ":dbt", ":sl2", ":sl3", ":sl4", ":of2", ":of3", ":of4", ":skp", ":skd", ":ski", ":sdi",
                  ":sil"}},
        {'G', 2, {":fo", ":fp"}},
        {'<', 4, {":ifo", ":ifa", ":ifs", ":ifh"}},
        // the stepper set-up
        {'1', 12, {":S2M", ":S3M", ":S4M", ":S5M", ":S2C", ":S3C", ":S4C", ":S5C", ":S2SM", ":S3SM", ":S4SM",
                   ":S5SM"}},
        {'2', 4, {":S1", ":S2", ":S3", ":S4"}},
        {'3', 1, {":SP"}},
        {'4', 1, {":SIM"}},
        {'6', 1, {":SW"}},
        {'8', 1, {":CS"}},
    }};
    return table;
}

// Codes the program reads that answer no query.
constexpr std::array<const char *, 5> UnaskedCodes{":e", ":tca", ":x", ":d", ":sg"};

struct CodeInfo
{
    QChar letter;     // null: answers no query
    int index = 0;    // its place in the letter's burst: its bit among the codes seen
    bool key = false;
};

const QHash<QString, CodeInfo> &codeInfo()
{
    static const QHash<QString, CodeInfo> table = [] {
        QHash<QString, CodeInfo> codes;
        for (const QueryBurst &burst : queryBursts()) {
            int index = 0;
            for (const char *code : burst.codes) {
                codes.insert(QString::fromLatin1(code), CodeInfo{QLatin1Char(burst.letter), index, index < burst.keys});
                ++index;
            }
        }
        for (const char *code : UnaskedCodes)
            codes.insert(QString::fromLatin1(code), CodeInfo{});
        return codes;
    }();
    return table;
}

int keyCount(QChar letter)
{
    for (const QueryBurst &burst : queryBursts())
        if (QLatin1Char(burst.letter) == letter)
            return burst.keys;
    return 0;
}

bool isQueryLetter(QChar letter)
{
    return keyCount(letter) > 0;
}

// What each command makes stale, one row per command of the controller's vocabulary. A
// letter that names several commands (told apart by the controller from its argument, or
// not at all) has a row for each; every row that matches a command applies.
enum class Arg : uint8_t { Always, Bare, Given, NotZero, Zero };
enum Effect : uint8_t { NoEffect, FocuserMove, FocuserHalt, RotatorMove };

struct CommandRow
{
    char letter;
    Arg arg;
    Effect effect;
    std::initializer_list<const char *> codes;
};

// An aggregate, so the rows' code lists live as long as the table.
using enum Arg;
const CommandRow CommandRows[] = {
    // focuser
    {'b', Always, FocuserMove, {":s", ":a"}},              // move to
    {'m', Always, FocuserMove, {":s", ":a"}},              // jog by
    {'S', Always, FocuserHalt, {":s", ":a"}},              // halt
    {'o', Always, FocuserMove, {":s", ":a", ":h", ":frp"}}, // goto: finds home first
    {'h', Always, FocuserMove, {":s", ":a", ":h", ":frp"}}, // home
    {'U', Always, NoEffect, {":mo", ":mb"}},               // motor forced off or on
    {'+', Always, NoEffect, {":tc"}},                      // compensation mode
    {'=', Always, NoEffect, {":tcc"}},                     // compensation coefficient
    {'F', Always, NoEffect, {":tcm"}},                     // compensation movement threshold
    {'`', Always, NoEffect, {":frp"}},                     // recall at power-up
    {'f', Always, NoEffect, {":frp"}},                     // record the position
    {'E', Always, NoEffect, {":ims"}},                     // ideal mirror spacing here
    {':', Always, NoEffect, {}},                           // " :V " before the compensation dialog
    // rotator
    {'j', Given, RotatorMove, {}},                         // move by
    {'q', Given, RotatorMove, {}},                         // add to the move; q0 halts
    {'r', Always, RotatorMove, {":rh"}},                   // home
    {'p', Given, RotatorMove, {}},                         // relabel the position
    {'i', Bare, RotatorMove, {}},                          // zero the wrap
    {'v', Bare, NoEffect, {":rrp"}},                       // record the position
    {'/', Always, NoEffect, {":rrp"}},                     // recall at power-up
    {'H', Bare, NoEffect, {}},                             // sent after a link
    // steppers and the cover
    {'a', Given, NoEffect, {":S1", ":SIM"}},               // channel 1 by
    {'B', Given, NoEffect, {":S2", ":SIM"}},               // channel 2 by
    {'C', Given, NoEffect, {":S3", ":SIM"}},               // channel 3 by
    {'d', NotZero, NoEffect, {":S4", ":SIM"}},             // channel 4 by
    {'d', Zero, NoEffect, {}},                             // the rotator page's poll, or no steps
    {'3', Given, NoEffect, {":S1", ":S2", ":S3", ":S4", ":SIM"}}, // halt
    {'7', Always, NoEffect, {":CS", ":S1", ":SIM"}},       // cover: runs channel 1
    {'9', Always, NoEffect, {":S2C", ":S3C", ":S4C", ":S5C"}}, // current
    {'D', Always, NoEffect, {":S2SM", ":S3SM", ":S4SM", ":S5SM"}}, // microstep mode
    {'0', Always, NoEffect, {":S2M", ":S3M", ":S4M", ":S5M"}}, // functions
    // fans and heaters
    {'y', Always, NoEffect, {":fm", ":fs"}},               // fan manual at a speed
    {'n', Always, NoEffect, {":fm", ":fs"}},               // fan auto or off
    {'O', Always, NoEffect, {":ft"}},                      // fan threshold
    {'g', Always, NoEffect, {":fg"}},                      // fan gain
    {'w', Always, NoEffect, {":sm", ":ss"}},               // heater auto or off
    {'s', Always, NoEffect, {":sm", ":ss"}},               // heater manual at a power
    {'P', Always, NoEffect, {":st"}},                      // heater setpoint
    {'c', Always, NoEffect, {":d1"}},                      // dew heater 1
    {'k', Always, NoEffect, {":d2"}},                      // dew heater 2
    // settings
    {'{', Always, NoEffect, {":ifo", ":ifa"}},             // electronics fan off or on
    {'}', Always, NoEffect, {":ifo", ":ifa"}},             // electronics fan auto
    {'[', Always, NoEffect, {":ifs"}},                     // electronics fan set temperature
    {']', Always, NoEffect, {":ifh"}},                     // electronics fan hysteresis
    {'@', Always, NoEffect, {":fo"}},                      // telescope fan threshold
    {'z', Always, NoEffect, {":fp"}},                      // telescope fan pulse power
    {'p', Always, NoEffect, {":p"}},                       // servo proportionality
    {'d', NotZero, NoEffect, {":r"}},                      // servo derivative
    {'e', Always, NoEffect, {":g"}},                       // servo derivative interval
    {'i', Always, NoEffect, {":i"}},                       // servo integral
    {'j', Always, NoEffect, {":l"}},                       // servo integral limit
    {'v', Given, NoEffect, {":v"}},                        // servo velocity
    {'a', Always, NoEffect, {":c"}},                       // servo acceleration
    {'u', Always, NoEffect, {}},                           // servo coefficients take effect
    {'N', Always, NoEffect, {":ac"}},                      // motor off on overcurrent
    {'K', Always, NoEffect, {":eh"}},                      // errors on the hand controller
    {'X', Always, NoEffect, {":dbs"}},                     // motor off within the deadband
    {'Y', Always, NoEffect, {":db"}},                      // deadband
    {'W', Always, NoEffect, {":dbt"}},                     // deadband settling time
    {'L', Always, NoEffect, {":skp"}},                     // heater proportionality
    {'^', Always, NoEffect, {":skd"}},                     // heater derivative
    {'?', Always, NoEffect, {":sdi"}},                     // heater derivative interval
    {'#', Always, NoEffect, {":ski"}},                     // heater integral
    {'~', Always, NoEffect, {":sil"}},                     // heater integral limit
    // sensor calibration: slopes and intercepts
    {'A', Always, NoEffect, {":sl1"}},
    {'B', Always, NoEffect, {":sl2"}},
    {'C', Always, NoEffect, {":sl3"}},
    {'D', Always, NoEffect, {":of1"}},
    {'E', Always, NoEffect, {":of2"}},
    {'F', Always, NoEffect, {":of3"}},
};

// The rows of each letter, by its code.
const std::array<std::vector<const CommandRow *>, 128> &commandRowsByLetter()
{
    static const std::array<std::vector<const CommandRow *>, 128> index = [] {
        std::array<std::vector<const CommandRow *>, 128> rows;
        for (const CommandRow &row : CommandRows)
            rows[size_t(uint8_t(row.letter))].push_back(&row);
        return rows;
    }();
    return index;
}

bool matches(Arg arg, QStringView argument)
{
    switch (arg) {
    case Arg::Always: return true;
    case Arg::Bare: return argument.isEmpty();
    case Arg::Given: return !argument.isEmpty();
    case Arg::NotZero: return argument != u"0";
    case Arg::Zero: return argument == u"0";
    }
    return true;
}

ControllerReports::WrapSpan hull(ControllerReports::WrapSpan a, ControllerReports::WrapSpan b)
{
    return {std::min(a.low, b.low), std::max(a.high, b.high)};
}

ControllerReports::WrapSpan shifted(ControllerReports::WrapSpan span, int64_t by)
{
    return {span.low + by, span.high + by};
}

// Values no controller reports (a rotator position that is no whole number of steps within
// the Long range, a temperature outside what a sensor reads) are noise: they are not kept.
bool plausible(const Report &report)
{
    const QString &code = report.code;
    if (code == u":rs" || code == u":rt")
        return ReportValue::RotatorSteps(report).has_value();
    if (code == u":wr")
        return report.numeric && report.v == std::trunc(report.v) && report.v >= INT32_MIN && report.v <= INT32_MAX;
    if (code == u":t1" || code == u":t2" || code == u":t3" || code == u":t7")
        return ReportValue::Temperature(report).has_value();
    return true;
}

std::optional<int64_t> wholeNumber(QStringView text)
{
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok);
    return ok ? std::optional<int64_t>(n) : std::nullopt;
}

bool overdue(uint32_t written, uint32_t ms)
{
    return Clock::TicksSince(written) > ms;
}

} // namespace

ControllerReports::ControllerReports()
    : m_framing([this](QStringView code, QStringView value) { dispatch(code, value); })
{
    // A restart notice counts the moment it is complete: it takes no value.
    m_framing.setCodeHook([this](QStringView code) {
        if (code == u":!")
            restartNotice(code);
    });
}

void ControllerReports::PortChanged()
{
    forget();
    m_framing.Carry.clear();
    m_framing.Code.clear();
    m_framing.Partial = false;
}

void ControllerReports::ControllerRestarted()
{
    // The stream goes on as it was framed: a restart notice comes in the middle of a walk.
    forget();
}

void ControllerReports::forget()
{
    ++m_epoch;
    forgetReported();
    m_letters.clear();
    m_owed.clear();
    m_lastSent.clear();
    m_activeLetter = QChar();
    m_staleUntil.clear();
    m_rotatorMoveOwed = false;
    m_rotatorNow = m_rotatorEnd = {};
    m_rotatorCommandAt = m_rotatorZeroedAt = 0;
    m_rotatorHalted = false;
    m_focuserCommandAt = 0;
    m_focuserHalted = false;
}

void ControllerReports::forgetReported()
{
    m_values.clear();
    m_otherCodes.clear();
    m_rotatorTracked = m_rotatorKnown = false;
    m_rotatorSeen.reset();
    m_rotatorStanding.reset();
    m_focuserHaltPosition.reset();
    m_focuserStanding.reset();
}

void ControllerReports::InputCleared()
{
    // Values stay as reported; replies still to come were thrown away with the input.
    for (Letter &state : m_letters) {
        state.timed.clear();
        state.resolved = state.unordered = state.progress = state.sent;
        state.burst = Burst::None;
    }
    m_owed.clear();
    m_activeLetter = QChar();
    m_framing.Carry.clear();
    m_framing.Code.clear();
    m_framing.Partial = false;
}

// --- what was sent ---

void ControllerReports::Sent(const QString &text)
{
    for (const QStringView token : QStringView(text).tokenize(u' ', Qt::SkipEmptyParts))
        command(token);
}

void ControllerReports::markStale(std::initializer_list<const char *> codes)
{
    for (const char *name : codes) {
        const QString code = QString::fromLatin1(name);
        const auto info = codeInfo().constFind(code);
        // Answers to queries written up to now predate the command; so does every report
        // received so far.
        const bool answers = info != codeInfo().cend() && !info->letter.isNull();
        m_staleUntil[code] = Stale{answers ? QueriesSent(info->letter) : 0, m_serial};
        ++m_changes[code];
    }
}

void ControllerReports::command(QStringView token)
{
    const QChar letter = token.front();
    const QStringView argument = token.sliced(1);
    if (argument.isEmpty() && isQueryLetter(letter)) {
        query(letter);
        return;
    }
    m_lastSent.insert(letter, token.toString());
    if (letter.unicode() >= 128)
        return;
    const std::optional<int64_t> number = wholeNumber(argument);
    for (const CommandRow *row : commandRowsByLetter()[letter.unicode()]) {
        if (!matches(row->arg, argument))
            continue;
        markStale(row->codes);
        applyRow(letter, row->effect, number);
    }
}

void ControllerReports::applyRow(QChar letter, int effect, std::optional<int64_t> number)
{
    switch (effect) {
    case FocuserMove: focuserCommand(false); return;
    case FocuserHalt: focuserCommand(true); return;
    case RotatorMove:
        if (letter == u'i')
            markStale({":wr"});
        rotatorCommand(letter, number);
        return;
    default: return;
    }
}

void ControllerReports::query(QChar letter)
{
    Letter &state = m_letters[letter];
    // A burst nobody asked for ends here: what comes next answers this.
    if (state.burst == Burst::Open && !state.asked)
        endBurst(letter, state, false);
    else if (!state.asked)
        state.burst = Burst::None;
    ++state.sent;
    // Only the queries not yet given up need their time; the cap only gives up sooner.
    auto &timed = state.timed;
    while (!timed.empty() && (timed.front().first <= state.resolved || overdue(timed.front().second, LostAfterMs)))
        timed.pop_front();
    timed.emplace_back(state.sent, Clock::GetTickCount());
    if (timed.size() > MaxTimedQueries)
        timed.pop_front();
    if (!m_owed.empty() && m_owed.back().letter == letter && m_owed.back().last + 1 == state.sent) {
        ++m_owed.back().last;
        ++m_owed.back().count;
        return;
    }
    m_owed.push_back(Run{letter, state.sent, 1});
    if (m_owed.size() > MaxOrderedRuns) {
        // Its queries stay owed; only which of the others they came before is lost.
        Letter &oldest = m_letters[m_owed.front().letter];
        oldest.unordered = std::max(oldest.unordered, m_owed.front().last);
        m_owed.pop_front();
    }
}

void ControllerReports::focuserCommand(bool halt)
{
    m_focuserCommandAt = QueriesSent(u'Q');
    m_focuserHalted = halt;
    m_focuserHaltPosition.reset();
    m_focuserStanding.reset();
}

void ControllerReports::rotatorCommand(QChar letter, std::optional<int64_t> number)
{
    markStale({":rs", ":rt", ":wr"});
    m_rotatorCommandAt = QueriesSent(u'R');
    m_rotatorStanding.reset();
    m_rotatorSeen.reset();
    // A relabel or a zeroing moves nothing, and a halt only ends what was under way.
    const bool moves = letter != u'p' && letter != u'i' && !(letter == u'q' && number == 0);
    if (moves) {
        m_rotatorMoveOwed = true;
        m_rotatorHalted = false;
    }
    // Wherever the rotator is when the controller takes the command, it is between where it
    // was last known to be and where it was headed.
    const WrapSpan between = hull(m_rotatorNow, m_rotatorEnd);
    switch (letter.unicode()) {
    case 'j': // a new move replaces what was still to go
        m_rotatorNow = between;
        m_rotatorEnd = number ? shifted(between, *number)
                              : hull(shifted(between, -RotatorStepsPerTurn), shifted(between, RotatorStepsPerTurn));
        return;
    case 'q': // adds to what is still to go; q0 stops
        if (number && *number == 0) {
            m_rotatorNow = m_rotatorEnd = between;
            m_rotatorHalted = true;
            return;
        }
        m_rotatorNow = between;
        m_rotatorEnd = number ? shifted(m_rotatorEnd, *number) : hull(shifted(m_rotatorEnd, -RotatorStepsPerTurn),
                                                                      shifted(m_rotatorEnd, RotatorStepsPerTurn));
        return;
    case 'r': // home: the short way to 0, at most half a turn
        m_rotatorNow = between;
        m_rotatorEnd = {between.low - RotatorStepsPerHalfTurn, between.high + RotatorStepsPerHalfTurn};
        return;
    case 'p': // relabels the position; the wrap stays
        m_rotatorNow = m_rotatorEnd = between;
        return;
    case 'i': // the wrap counter restarts at 0 wherever the rotator is then: given out once reported
        m_rotatorNow = {between.low - between.high, between.high - between.low};
        m_rotatorEnd = {m_rotatorEnd.low - between.high, m_rotatorEnd.high - between.low};
        m_rotatorKnown = false;
        m_rotatorZeroedAt = QueriesSent(u'R');
        return;
    default: return;
    }
}

// --- what came back ---

void ControllerReports::Received(const QString &chunk)
{
    m_framing.Handle_Received(chunk);
}

void ControllerReports::keep(const QString &code, const Value &value, bool known)
{
    if (!plausible(value.report))
        return;
    // Of the codes the program does not read, only the last few distinct ones are kept.
    if (!known && !m_values.contains(code)) {
        if (m_otherCodes.size() >= size_t(MaxOtherCodes)) {
            m_values.remove(m_otherCodes.front());
            m_otherCodes.pop_front();
        }
        m_otherCodes.push_back(code);
    }
    m_values.insert(code, value);
}

void ControllerReports::restartNotice(QStringView code)
{
    // A restart or a handshake's answer: either way nothing reported before is known to hold.
    // Which it is cannot be told, so no query is settled by it: the answers that follow go
    // to the oldest still owed, which may only credit them too early. The notice itself is
    // kept: it tells a handshake. The rotator may have stopped anywhere on its way (a
    // restart) or go on (an answer): its reach is followed on, given out once reported.
    const bool tracked = m_rotatorTracked;
    forgetReported();
    m_rotatorTracked = tracked;
    m_rotatorNow = m_rotatorEnd = hull(m_rotatorNow, m_rotatorEnd);
    Value value;
    value.report = Report(code, QStringView());
    value.serial = ++m_serial;
    value.tick = Clock::GetTickCount();
    m_values.insert(code.toString(), value);
}

void ControllerReports::dispatch(QStringView codeView, QStringView valueView)
{
    const QString code = codeView.toString();
    const auto info = codeInfo().constFind(code);
    const QChar letter = info == codeInfo().cend() ? QChar() : info->letter;

    Value value;
    value.report = Report(codeView, valueView);
    value.serial = ++m_serial;
    value.tick = Clock::GetTickCount();
    // The restart notice was acted on at its code; its value (if any) changes nothing.
    if (letter.isNull() || letter == u'!') {
        keep(code, value, info != codeInfo().cend());
        return;
    }
    // The controller answers one query at a time: a code of another letter ends the burst
    // under way.
    if (m_activeLetter != letter) {
        if (!m_activeLetter.isNull()) {
            Letter &active = m_letters[m_activeLetter];
            if (active.burst == Burst::Open)
                endBurst(m_activeLetter, active, false);
            active.burst = Burst::None;
        }
        m_activeLetter = letter;
    }
    Letter &state = m_letters[letter];
    const bool key = info->key;
    const uint32_t bit = 1u << info->index;
    // An answer has each code once: one that came already in this burst begins the next.
    const bool again = (state.seenCodes & bit) != 0;
    if (state.burst == Burst::Open && again)
        endBurst(letter, state, false);
    // After a complete burst, the codes that follow are the rest of its answer until a key
    // code begins the next.
    if (state.burst == Burst::Trailing && (key || again))
        state.burst = Burst::None;
    if (state.burst == Burst::None)
        beginBurst(letter, state);
    value.answers = state.burstAnswers;
    keep(code, value, true);
    state.seenCodes |= bit;
    const uint32_t keys = (1u << keyCount(letter)) - 1;
    if (state.burst == Burst::Open && key && (state.seenCodes & keys) == keys)
        endBurst(letter, state, true);
}

void ControllerReports::beginBurst(QChar letter, Letter &state)
{
    state.burst = Burst::Open;
    state.seenCodes = 0;
    state.burstNewest = state.sent;
    state.asked = state.resolved < state.sent;
    // Nobody asked: whatever it answers came after the last answer.
    if (!state.asked) {
        state.burstAnswers = state.lastAnswered;
        return;
    }
    state.burstAnswers = state.lastAnswered = state.resolved + 1;
    settleBefore(letter, state.burstAnswers);
}

void ControllerReports::settleBefore(QChar letter, uint64_t number)
{
    // Every query written before the one being answered has had its reply, or never will.
    // Where that query's place among the others is lost, they stay owed.
    if (number <= m_letters[letter].unordered)
        return;
    for (auto it = m_letters.begin(); it != m_letters.end(); ++it) {
        if (it.key() != letter)
            it->resolved = std::max(it->resolved, it->unordered);
    }
    while (!m_owed.empty()) {
        Run &run = m_owed.front();
        if (run.letter == letter) { // its oldest is the one answered
            if (--run.count == 0)
                m_owed.pop_front();
            return;
        }
        Letter &other = m_letters[run.letter];
        other.resolved = std::max(other.resolved, run.last);
        m_owed.pop_front();
    }
}

void ControllerReports::endBurst(QChar letter, Letter &state, bool trail)
{
    const uint64_t answers = state.burstAnswers;
    state.burst = trail ? Burst::Trailing : Burst::None;
    if (state.asked) {
        state.resolved = std::max(state.resolved, answers);
        // Its caller and everyone who asked before this answer began may go on.
        state.progress = std::max(state.progress, state.burstNewest);
    }
    if (answers == 0)
        return;
    if (letter == u'R')
        rotatorBurst(answers);
    else if (letter == u'Q')
        focuserBurst(answers);
}

bool ControllerReports::sameBurst(std::initializer_list<const char *> codes, uint64_t answers, int64_t *values) const
{
    int i = 0;
    for (const char *name : codes) {
        const auto it = m_values.constFind(QString::fromLatin1(name));
        if (it == m_values.cend() || it->answers != answers || !it->report.numeric)
            return false;
        values[i++] = int64_t(it->report.v);
    }
    return true;
}

void ControllerReports::rotatorBurst(uint64_t answers)
{
    int64_t v[3];
    // Only an answer to a query written after the last rotator command tells where the moves
    // sent have got to.
    if (answers <= m_rotatorCommandAt || !sameBurst({":wr", ":rs", ":rt"}, answers, v))
        return;
    const int64_t wrap = v[0], target = v[1], actual = v[2];
    // The moves sent explain only a wrap within the reach they gave.
    const WrapSpan reach = hull(m_rotatorNow, m_rotatorEnd);
    const bool tracked = m_rotatorTracked && wrap >= reach.low && wrap <= reach.high;
    m_rotatorTracked = true;
    if (answers > m_rotatorZeroedAt)
        m_rotatorKnown = true;
    m_rotatorNow = {wrap, wrap};
    // Two answers in a row at one place: it stands, whatever it was told. Where the second
    // was asked only after the first had come, they are two instants a line's turn apart,
    // and a rotator with any way to go would have moved between them.
    const std::pair<int64_t, int64_t> seen{wrap, actual};
    const bool again = m_rotatorSeen == seen;
    const bool apart = again && answers > m_rotatorSeenAsked;
    m_rotatorSeen = seen;
    m_rotatorSeenAsked = QueriesSent(u'R');

    // The target is known within a turn only: the ends the moves sent can have brought it
    // to are those a whole number of turns from it.
    int64_t toGo = (target - actual) % RotatorStepsPerTurn;
    std::optional<int64_t> end;
    int64_t candidates = 0;
    if (tracked) {
        // However many turns the moves sent may span.
        const int64_t base = wrap + toGo;
        const auto floorTurns = [](int64_t steps) {
            return steps >= 0 ? steps / RotatorStepsPerTurn : -((-steps + RotatorStepsPerTurn - 1) / RotatorStepsPerTurn);
        };
        const int64_t first = -floorTurns(base - m_rotatorEnd.low); // the least turns reaching the low end
        const int64_t last = floorTurns(m_rotatorEnd.high - base);
        candidates = std::max<int64_t>(0, last - first + 1);
        if (candidates == 1)
            end = base + first * RotatorStepsPerTurn;
    }
    // At its target within a turn, it stands only where no whole turn may be left to go, or
    // where it did not move between two instants apart (two answers asked together may come
    // at one instant). A report the moves sent do not explain (nothing tracked, a wrap
    // outside the reach, no end that fits) is taken as it is.
    bool standing = false;
    if (target != actual)
        standing = m_rotatorHalted && again;
    else if (m_rotatorHalted || !m_rotatorMoveOwed || candidates == 0 || apart)
        standing = true;
    else
        standing = candidates == 1 && *end == wrap;
    m_rotatorStanding = standing;
    if (standing)
        m_rotatorMoveOwed = false;
    // Standing, or told to stop: it ends where it is.
    if (standing || m_rotatorHalted) {
        m_rotatorEnd = m_rotatorNow;
        return;
    }
    if (candidates == 1) {
        m_rotatorEnd = {*end, *end};
        return;
    }
    if (toGo < 0)
        toGo += RotatorStepsPerTurn;
    const WrapSpan eitherWay = hull(shifted(m_rotatorNow, toGo), shifted(m_rotatorNow, toGo - RotatorStepsPerTurn));
    // Several ends possible: as far as the moves sent go.
    m_rotatorEnd = candidates > 1 ? hull(m_rotatorEnd, m_rotatorNow) : eitherWay;
}

void ControllerReports::focuserBurst(uint64_t answers)
{
    int64_t v[2];
    if (answers <= m_focuserCommandAt || !sameBurst({":s", ":a"}, answers, v))
        return;
    bool standing = v[0] == v[1];
    if (!standing && m_focuserHalted) {
        standing = m_focuserHaltPosition && *m_focuserHaltPosition == v[1];
        m_focuserHaltPosition = v[1];
    }
    m_focuserStanding = standing;
}

// --- what the rules ask ---

const ControllerReports::Value *ControllerReports::Last(QStringView code) const
{
    const auto it = m_values.constFind(code.toString());
    return it == m_values.cend() ? nullptr : &it.value();
}

bool ControllerReports::Holds(QStringView codeView) const
{
    const QString code = codeView.toString();
    const auto it = m_values.constFind(code);
    if (it == m_values.cend())
        return false;
    const auto stale = m_staleUntil.constFind(code);
    if (stale == m_staleUntil.cend())
        return true;
    const auto info = codeInfo().constFind(code);
    const bool answers = info != codeInfo().cend() && !info->letter.isNull();
    return answers ? it->answers > stale->answers : it->serial > stale->serial;
}

bool ControllerReports::ReportedSince(QStringView code, uint64_t mark) const
{
    const Value *value = Last(code);
    return value && value->serial > mark;
}

uint64_t ControllerReports::QueriesSent(QChar letter) const
{
    const auto it = m_letters.constFind(letter);
    return it == m_letters.cend() ? 0 : it->sent;
}

uint64_t ControllerReports::Answered(QChar letter) const
{
    const auto it = m_letters.constFind(letter);
    if (it == m_letters.cend())
        return 0;
    // Every owed query is given up but the recent ones not yet overdue.
    uint64_t done = it->sent;
    for (const auto &[number, written] : it->timed) {
        if (number > it->resolved && !overdue(written, LostAfterMs)) {
            done = number - 1;
            break;
        }
    }
    return std::max(done, it->progress);
}

int ControllerReports::Pending(QChar letter) const
{
    const auto it = m_letters.constFind(letter);
    if (it == m_letters.cend())
        return 0;
    const uint64_t resolved = it->resolved;
    return int(std::count_if(it->timed.cbegin(), it->timed.cend(), [resolved](const auto &q) {
        return q.first > resolved && !overdue(q.second, LostAfterMs);
    }));
}

int ControllerReports::Waiting(QChar letter) const
{
    const auto it = m_letters.constFind(letter);
    return it == m_letters.cend() ? 0 : int(std::min<uint64_t>(it->sent - it->resolved, INT32_MAX));
}

std::optional<ControllerReports::WrapSpan> ControllerReports::RotatorWrapSpan() const
{
    if (!m_rotatorKnown)
        return std::nullopt;
    return hull(m_rotatorNow, m_rotatorEnd);
}

std::optional<bool> ControllerReports::RotatorStanding() const
{
    return m_rotatorStanding;
}

std::optional<bool> ControllerReports::FocuserStanding() const
{
    return m_focuserStanding;
}
