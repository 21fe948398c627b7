#include "link/ControllerReports.h"

#include "link/RotatorSteps.h"
#include "platform/Clock.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// The queries: a letter sent alone, answered by a burst of these codes. A burst is complete
// once its key codes (the first `keys` of the list) have all come, in whatever order.
struct QueryBurst
{
    char letter;
    int keys;
    std::initializer_list<const char *> codes;
};

const std::array<QueryBurst, 12> &queryBursts()
{
    static const std::array<QueryBurst, 12> table{{
        {'!', 1, {":!"}},
        {'Q', 2, {":s", ":a", ":h", ":ims", ":mc", ":mo", ":mb", ":tc", ":frp"}},
        {'T', 5, {":t1", ":fm", ":fs", ":sm", ":ss", ":t2", ":t3", ":t7", ":t4", ":t5", ":t6", ":fg", ":ft",
                  ":st", ":d1", ":d2"}},
        {'R', 3, {":wr", ":rs", ":rt", ":rh", ":rrp"}},
        {'V', 1, {":vr"}},
        {'G', 2, {":fo", ":fp"}},
        {'<', 4, {":ifo", ":ifa", ":ifs", ":ifh"}},
        {'2', 4, {":S1", ":S2", ":S3", ":S4"}},
        {'3', 1, {":SP"}},
        {'4', 1, {":SIM"}},
        {'6', 1, {":SW"}},
        {'8', 1, {":CS"}},
    }};
    return table;
}

struct CodeInfo
{
    QChar letter;
    bool key = false;
};

const QHash<QString, CodeInfo> &codeInfo()
{
    static const QHash<QString, CodeInfo> table = [] {
        QHash<QString, CodeInfo> codes;
        for (const QueryBurst &burst : queryBursts()) {
            int index = 0;
            for (const char *code : burst.codes)
                codes.insert(QString::fromLatin1(code), CodeInfo{QLatin1Char(burst.letter), index++ < burst.keys});
        }
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

} // namespace

ControllerReports::ControllerReports()
    : m_framing([this](QStringView code, QStringView value) { dispatch(code, value); })
{
}

void ControllerReports::PortChanged()
{
    ++m_epoch;
    m_values.clear();
    m_letters.clear();
    m_staleUntil.clear();
    m_framing.Carry.clear();
    m_framing.Code.clear();
    m_framing.Partial = false;
    m_rotatorKnown = false;
    m_rotatorNow = m_rotatorEnd = {};
    m_rotatorCommandAt = m_rotatorZeroedAt = 0;
    m_rotatorHalted = false;
    m_rotatorHaltPosition.reset();
    m_rotatorStanding.reset();
    m_focuserCommandAt = 0;
    m_focuserHalted = false;
    m_focuserHaltPosition.reset();
    m_focuserStanding.reset();
}

void ControllerReports::InputCleared()
{
    // Values stay as reported; replies still to come were thrown away with the input.
    for (Letter &state : m_letters) {
        state.answered += state.waiting.size();
        state.waiting.clear();
        state.inBurst = false;
        state.seen.clear();
    }
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
        m_staleUntil[code] = Stale{info == codeInfo().cend() ? 0 : QueriesSent(info->letter), m_serial};
    }
}

void ControllerReports::command(QStringView token)
{
    const QChar letter = token.front();
    const QStringView argument = token.sliced(1);
    if (argument.isEmpty() && isQueryLetter(letter)) {
        Letter &state = m_letters[letter];
        // A query written long after an earlier one that is still unanswered: that reply is
        // not coming (the one a burst under way answers excepted).
        while (!state.inBurst && !state.waiting.empty()
               && Clock::TicksSince(state.waiting.front().written) > LostAfterMs) {
            state.waiting.pop_front();
            ++state.answered;
        }
        ++state.sent;
        state.waiting.push_back(Query{Clock::GetTickCount(), ++m_queriesWritten});
        return;
    }
    const std::optional<int64_t> number = wholeNumber(argument);
    switch (letter.unicode()) {
    // focuser
    case 'b': case 'm': case 'S': case 'o':
        markStale({":s", ":a"});
        m_focuserCommandAt = QueriesSent(u'Q');
        m_focuserHalted = letter == u'S';
        m_focuserHaltPosition.reset();
        m_focuserStanding.reset();
        return;
    case 'U': markStale({":mo", ":mb"}); return;
    case '+': markStale({":tc"}); return;
    case '=': markStale({":tcc"}); return;
    case '`': case 'f': markStale({":frp"}); return;
    // rotator
    case 'j': case 'q': case 'r': case 'p':
        rotatorCommand(letter, number);
        return;
    case 'i':
        if (argument.isEmpty()) {
            markStale({":wr"});
            rotatorCommand(letter, number);
        }
        return;
    case 'v': case '/': markStale({":rrp"}); return;
    // steppers and the cover
    case 'a': case 'B': case 'C': case 'd': case '3':
        markStale({":S1", ":S2", ":S3", ":S4", ":SIM"});
        return;
    case '7': markStale({":CS"}); return;
    case '0': markStale({":S2M", ":S3M", ":S4M", ":S5M"}); return;
    case '9': markStale({":S2C", ":S3C", ":S4C", ":S5C"}); return;
    case 'D': markStale({":S2SM", ":S3SM", ":S4SM", ":S5SM"}); return;
    // fans and heaters
    case 'y': markStale({":fm", ":fs"}); return;
    case 'n': markStale({":fm", ":fs"}); return;
    case 'O': markStale({":ft"}); return;
    case 'g': markStale({":fg"}); return;
    case 'w': markStale({":sm", ":ss"}); return;
    case 's': markStale({":sm", ":ss"}); return;
    case 'P': markStale({":st"}); return;
    case 'c': markStale({":d1"}); return;
    case 'k': markStale({":d2"}); return;
    default: return;
    }
}

void ControllerReports::rotatorCommand(QChar letter, std::optional<int64_t> number)
{
    markStale({":rs", ":rt", ":wr"});
    m_rotatorCommandAt = QueriesSent(u'R');
    m_rotatorStanding.reset();
    m_rotatorHalted = false;
    m_rotatorHaltPosition.reset();
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
    case 'i': // the wrap counter restarts at 0: unknown until reported
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

void ControllerReports::dispatch(QStringView codeView, QStringView valueView)
{
    const QString code = codeView.toString();
    Value value;
    value.report = Report(codeView, valueView);
    value.serial = ++m_serial;
    value.tick = Clock::GetTickCount();
    const auto info = codeInfo().constFind(code);
    if (info == codeInfo().cend()) {
        if (plausible(value.report))
            m_values.insert(code, value);
        return;
    }
    const QChar letter = info->letter;
    Letter &state = m_letters[letter];
    // A key code that came already in this burst begins the next one; so does anything long
    // after a burst that never completed.
    if (state.inBurst && ((info->key && state.seen.contains(code)) || Clock::TicksSince(state.burstBegan) > LostAfterMs))
        completeBurst(letter, state);
    if (!state.inBurst) {
        while (state.waiting.size() > 1 && Clock::TicksSince(state.waiting.front().written) > LostAfterMs) {
            state.waiting.pop_front();
            ++state.answered;
        }
        // A burst nobody asked for is no newer than the last answer.
        state.burstAnswers = state.waiting.empty() ? state.answered : state.answered + 1;
        state.inBurst = true;
        state.burstBegan = Clock::GetTickCount();
        state.seen.clear();
    }
    value.answers = state.burstAnswers;
    if (plausible(value.report))
        m_values.insert(code, value);
    if (info->key) {
        state.seen.insert(code, true);
        if (state.seen.size() >= keyCount(letter))
            completeBurst(letter, state);
    }
}

void ControllerReports::completeBurst(QChar letter, Letter &state)
{
    const uint64_t answers = state.burstAnswers;
    state.inBurst = false;
    state.seen.clear();
    if (!state.waiting.empty() && answers > state.answered) {
        const uint64_t order = state.waiting.front().order;
        state.waiting.pop_front();
        state.answered = answers;
        // Every query written before the one just answered has had its reply, or never will.
        for (Letter &other : m_letters) {
            while (!other.waiting.empty() && other.waiting.front().order < order) {
                other.waiting.pop_front();
                ++other.answered;
                other.inBurst = false;
                other.seen.clear();
            }
        }
    }
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
    const bool wasKnown = m_rotatorKnown;
    if (answers > m_rotatorZeroedAt)
        m_rotatorKnown = true;
    m_rotatorNow = {wrap, wrap};
    bool standing = target == actual;
    if (!standing && m_rotatorHalted) {
        standing = m_rotatorHaltPosition && *m_rotatorHaltPosition == actual;
        m_rotatorHaltPosition = actual;
    }
    m_rotatorStanding = standing;
    // Standing, or told to stop: it ends where it is.
    if (standing || m_rotatorHalted) {
        m_rotatorEnd = m_rotatorNow;
        return;
    }
    // Still turning: the target is known within a turn; where the moves sent put it in one
    // place only, that is where it ends.
    int64_t toGo = (target - actual) % RotatorStepsPerTurn;
    std::optional<int64_t> end;
    int candidates = 0;
    if (wasKnown) {
        for (int64_t turns = -2; turns <= 2; ++turns) {
            const int64_t candidate = wrap + toGo + turns * RotatorStepsPerTurn;
            if (candidate >= m_rotatorEnd.low && candidate <= m_rotatorEnd.high) {
                end = candidate;
                ++candidates;
            }
        }
    }
    if (candidates == 1) {
        m_rotatorEnd = {*end, *end};
        return;
    }
    if (toGo < 0)
        toGo += RotatorStepsPerTurn;
    const WrapSpan eitherWay = hull(shifted(m_rotatorNow, toGo), shifted(m_rotatorNow, toGo - RotatorStepsPerTurn));
    m_rotatorEnd = wasKnown && candidates > 1 ? hull(m_rotatorEnd, m_rotatorNow) : eitherWay;
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
    return codeInfo().contains(code) ? it->answers > stale->answers : it->serial > stale->serial;
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
    return it == m_letters.cend() ? 0 : it->answered;
}

int ControllerReports::Pending(QChar letter) const
{
    const auto it = m_letters.constFind(letter);
    if (it == m_letters.cend())
        return 0;
    return int(std::count_if(it->waiting.cbegin(), it->waiting.cend(),
                             [](const Query &q) { return Clock::TicksSince(q.written) <= LostAfterMs; }));
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
