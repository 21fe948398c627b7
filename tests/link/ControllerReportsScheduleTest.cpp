// The record against random schedules: a model controller answers every query in order with
// its true state, but late by any amount, in pieces with any pause, codes in any order, blanks
// doubled, answers lost, unasked reports and restarts between them, while commands and
// queries go out at random. Whatever the schedule, the record vouches only for values the
// model produced after the last command that changed them, its rotator reach holds the true
// wrap, and once the model answers at once, every value vouches again.
#include "link/ControllerReports.h"
#include "platform/Clock.h"
#include "platform/Wait.h"
#include "support/Fuzz.h"
#include "support/TestClock.h"

#include <QHash>
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <vector>

namespace {

constexpr int64_t Turn = 72000;

int64_t fold(int64_t steps)
{
    return ((steps % Turn) + Turn) % Turn;
}

// How badly one schedule's controller answers.
struct Manner
{
    int lateMs = 0;   // every answer at least this late
    int jitterMs = 0; // and up to this much more
    double lose = 0;
    double split = 0; // an answer in pieces
    int pauseMs = 0;  // between pieces, up to
    double doubleBlank = 0;
    double restart = 0; // per step
    double unasked = 0; // per step
};

struct Answer
{
    uint64_t produced = 0; // the model's event count when it was produced
    QChar letter;          // of the query it answers; null when none
    std::vector<std::pair<QString, int64_t>> values;
    bool restart = false; // a restart notice: it takes effect at its closing blank
};

struct Chunk
{
    int64_t due = 0;
    QString text;
    size_t answer = 0;
    bool first = false;
    bool last = false;
};

const QStringList &checkedCodes()
{
    static const QStringList codes = {":wr", ":rs", ":rt", ":rh", ":rrp", ":s", ":a", ":h", ":tc",
                                      ":t1", ":fm", ":fs", ":sm", ":ss", ":t2"};
    return codes;
}

const QStringList &keyCodes()
{
    static const QStringList codes = {":wr", ":rs", ":rt", ":s", ":a", ":t1", ":fm", ":fs", ":sm", ":ss"};
    return codes;
}

class Schedule
{
public:
    explicit Schedule(Fuzz::Gen &gen) : m_gen(gen), m_start(Clock::Now())
    {
        m_manner.lateMs = gen.pick(QList<int>{0, 0, 300, 900, 1100, 2000, 3300, 5000});
        m_manner.jitterMs = gen.pick(QList<int>{0, 200, 1500, 4000});
        m_manner.lose = gen.pick(QList<double>{0, 0, 0.1, 0.3});
        m_manner.split = gen.pick(QList<double>{0, 0.3, 0.8});
        m_manner.pauseMs = gen.pick(QList<int>{20, 400, 1500, 3000});
        m_manner.doubleBlank = gen.pick(QList<double>{0, 0, 0.05, 0.2});
        m_manner.restart = gen.pick(QList<double>{0, 0, 0.01, 0.04});
        m_manner.unasked = gen.pick(QList<double>{0, 0.03});
        m_rotatorSpeed = gen.between(5, 60);
        m_focuserSpeed = gen.between(1, 20);
        m_position = gen.between(0, int(Turn) - 1);
        m_wrap = gen.between(-300000, 300000);
        m_focuser = m_focuserTarget = gen.between(0, 20000);
        m_drawn = m_manner;
        m_motionAt = m_start;
        for (const QString &code : checkedCodes())
            m_changedAt.insert(code, 0);
        // The record knows nothing of what came before the port opened.
        m_reports.PortChanged();
    }

    void Run()
    {
        const int steps = m_gen.between(20, 300);
        for (int step = 0; step < steps && ok(); ++step) {
            const int kind = m_gen.between(0, 99);
            if (kind < 45)
                send(randomText());
            else if (m_gen.chance(m_manner.restart * 2))
                restart();
            else if (m_gen.chance(m_manner.unasked * 2))
                unasked();
            else if (kind == 99 && m_toGo == 0)
                portChanged();
            else
                advance(m_gen.chance(0.8) ? m_gen.between(0, 300) : m_gen.between(300, 6000));
        }
        if (ok())
            recover();
    }

private:
    bool ok() const { return !::testing::Test::HasFailure(); }

    int64_t now() const { return Clock::Now() - m_start; }

    void log(const QString &what) { m_log << QStringLiteral("%1 ms %2").arg(now()).arg(what); }

    void fail(const QString &what)
    {
        const Manner &m = m_drawn;
        ADD_FAILURE() << what.toStdString() << "\nthe schedule (answers late by " << m.lateMs << "+" << m.jitterMs
                      << " ms, lost " << m.lose << ", in pieces " << m.split << " up to " << m.pauseMs
                      << " ms apart, blanks doubled " << m.doubleBlank << ", restarts " << m.restart << "):\n"
                      << m_log.mid(std::max<qsizetype>(0, m_log.size() - 120)).join(u'\n').toStdString();
    }

    // --- the model controller ---

    void move()
    {
        const int64_t t = Clock::Now();
        const int64_t elapsed = t - m_motionAt;
        m_motionAt = t;
        const auto toward = [elapsed](int64_t toGo, int64_t speed) {
            const int64_t step = std::min<int64_t>(std::llabs(toGo), elapsed * speed);
            return toGo < 0 ? -step : step;
        };
        const int64_t step = toward(m_toGo, m_rotatorSpeed);
        m_position = fold(m_position + step);
        m_wrap += step;
        m_toGo -= step;
        m_focuser += toward(m_focuserTarget - m_focuser, m_focuserSpeed);
    }

    void changed(std::initializer_list<const char *> codes)
    {
        ++m_events;
        for (const char *code : codes)
            m_changedAt[QString::fromLatin1(code)] = m_events;
    }

    void changedAll(uint64_t at)
    {
        for (uint64_t &when : m_changedAt)
            when = std::max(when, at);
    }

    // The controller takes what was sent at once, one token after another.
    void take(QStringView token)
    {
        const QChar letter = token.front();
        const QStringView argument = token.sliced(1);
        if (m_rebooting) {
            if (argument.isEmpty())
                ++m_lost[letter];
            return;
        }
        move();
        const int64_t number = argument.toLongLong();
        if (argument.isEmpty() && QStringView(u"RQT!").contains(letter)) {
            answer(letter);
            return;
        }
        switch (letter.unicode()) {
        case 'j': m_toGo = number; break;
        case 'q': m_toGo = number == 0 ? 0 : m_toGo + number; break;
        case 'p': m_position = fold(number), m_toGo = 0; break;
        case 'i': m_wrap = 0; break;
        case 'b': m_focuserTarget = number; changed({":s", ":a"}); return;
        case 'S': m_focuserTarget = m_focuser; changed({":s", ":a"}); return;
        case 'y': m_fanMode = 0, m_fanSpeed = number; changed({":fm", ":fs"}); return;
        case 'n': m_fanMode = number, m_fanSpeed = number == 2 ? 0 : m_gen.between(1, 100); changed({":fm", ":fs"}); return;
        default: return;
        }
        changed({":wr", ":rs", ":rt"});
    }

    void answer(QChar letter)
    {
        ++m_events;
        Answer a;
        a.produced = m_events;
        a.letter = letter;
        const auto add = [&](const char *code, int64_t value) { a.values.emplace_back(QString::fromLatin1(code), value); };
        switch (letter.unicode()) {
        case 'R':
            add(":wr", m_wrap), add(":rs", fold(m_position + m_toGo)), add(":rt", m_position), add(":rh", 1), add(":rrp", 0);
            break;
        case 'Q': add(":s", m_focuserTarget), add(":a", m_focuser), add(":h", 1), add(":tc", 0); break;
        case 'T':
            add(":t1", m_gen.between(5000, 9000)), add(":fm", m_fanMode), add(":fs", m_fanSpeed), add(":sm", 0),
                add(":ss", 0), add(":t2", m_gen.between(5000, 9000));
            break;
        default: add(":!", 1);
        }
        if (m_gen.chance(m_manner.lose)) {
            ++m_lost[letter];
            log(QStringLiteral("(the answer to \"%1\" is lost)").arg(letter));
            return;
        }
        // Any order of codes, blanks doubled anywhere.
        std::vector<size_t> order(a.values.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        for (size_t i = order.size(); i > 1; --i)
            std::swap(order[i - 1], order[size_t(m_gen.between(0, int(i) - 1))]);
        QString text;
        const auto blank = [&] { return m_gen.chance(m_manner.doubleBlank) ? QStringLiteral("  ") : QStringLiteral(" "); };
        for (const size_t i : order)
            text += a.values[i].first + blank() + QString::number(a.values[i].second) + blank();
        queue(std::move(a), text, m_manner.lateMs + m_gen.between(0, m_manner.jitterMs));
    }

    // Appends an answer's text after everything queued, in pieces.
    void queue(Answer a, const QString &text, int lateMs)
    {
        m_answers.push_back(std::move(a));
        // The line carries about a byte a millisecond: no answer is there the instant it is made.
        int64_t due = std::max(m_queue.empty() ? 0 : m_queue.back().due, Clock::Now() + std::max(lateMs, 1));
        std::vector<qsizetype> cuts{0, text.size()};
        if (m_gen.chance(m_manner.split)) {
            for (int n = m_gen.between(1, 4); n > 0; --n)
                cuts.push_back(m_gen.between(1, int(text.size()) - 1));
        }
        std::sort(cuts.begin(), cuts.end());
        cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
        for (size_t i = 0; i + 1 < cuts.size(); ++i) {
            if (i > 0)
                due += m_gen.between(0, m_manner.pauseMs);
            m_queue.push_back(Chunk{due, text.mid(cuts[i], cuts[i + 1] - cuts[i]), m_answers.size() - 1, i == 0,
                                    i + 2 == cuts.size()});
        }
    }

    // The controller starts afresh: it stops, forgets its modes, drops what it had still to
    // send (but the answer under way) and hears nothing until it has said so.
    void restart()
    {
        // Often while a handshake waits for its answer.
        if (m_gen.chance(0.5))
            send(QStringLiteral("! "));
        move();
        m_toGo = 0;
        m_focuserTarget = m_focuser;
        m_fanMode = m_fanSpeed = 0;
        ++m_events;
        m_restartAt = m_events;
        m_rebooting = true;
        const bool underWay = !m_queue.empty() && !m_queue.front().first;
        while (!m_queue.empty() && !(underWay && m_queue.back().answer == m_queue.front().answer))
            dropLast();
        const QString notice = m_gen.chance(0.5) ? QStringLiteral(":! ") : QStringLiteral(":! 0 ");
        Answer a;
        a.restart = true;
        log(QStringLiteral("the controller restarts; it will say \"%1\"").arg(notice));
        queue(std::move(a), notice, m_gen.between(0, 1500));
    }

    void dropLast()
    {
        const Chunk &chunk = m_queue.back();
        if (chunk.first && !m_answers[chunk.answer].letter.isNull())
            ++m_lost[m_answers[chunk.answer].letter];
        m_queue.pop_back();
    }

    void unasked()
    {
        const QString text = m_gen.pick(QList<QString>{QStringLiteral(":e 3 "), QStringLiteral(":tca 1 "),
                                                       QStringLiteral(":zq 7 ")});
        queue(Answer{m_events, QChar(), {}, false}, text, m_gen.between(0, 500));
    }

    // --- the program's side ---

    // Like the program's movers, a rotator move goes only while the record knows the reach.
    // A move the record never saw start it cannot place: the wrap is zeroed and the port
    // reopened only with the rotator standing.
    QString randomText()
    {
        const bool reach = m_reports.RotatorWrapSpan().has_value();
        bool moving = m_toGo != 0;
        QStringList tokens;
        for (int n = m_gen.chance(0.8) ? 1 : 2; n > 0; --n) {
            const int kind = m_gen.between(0, 99);
            if (kind < 22) tokens << QStringLiteral("R");
            else if (kind < 32) tokens << QStringLiteral("Q");
            else if (kind < 42) tokens << QStringLiteral("T");
            else if (kind < 46) tokens << QStringLiteral("!");
            else if (kind < 58 && reach) tokens << QStringLiteral("j%1").arg(m_gen.between(-80000, 80000));
            else if (kind < 64 && reach) tokens << QStringLiteral("j%1").arg(m_gen.pick(QList<int>{72000, -72000, 144000, 0}));
            else if (kind < 68) tokens << QStringLiteral("q0");
            else if (kind < 71 && reach) tokens << QStringLiteral("q%1").arg(m_gen.between(-40000, 40000));
            else if (kind < 73) tokens << QStringLiteral("p%1").arg(m_gen.between(0, int(Turn) - 1));
            else if (kind < 74 && !moving) tokens << QStringLiteral("i");
            else if (kind < 82) tokens << QStringLiteral("b%1").arg(m_gen.between(0, 20000));
            else if (kind < 85) tokens << QStringLiteral("S");
            else if (kind < 93) tokens << QStringLiteral("y%1").arg(m_gen.between(0, 100));
            else tokens << QStringLiteral("n%1").arg(m_gen.between(0, 2));
            moving = moving || tokens.back().startsWith(u'j') || tokens.back().startsWith(u'q');
        }
        return (m_gen.chance(0.5) ? QStringLiteral(" ") : QString()) + tokens.join(u' ') + u' ';
    }

    void send(const QString &text)
    {
        log(QStringLiteral("> \"%1\"").arg(text));
        m_reports.Sent(text);
        for (const QStringView token : QStringView(text).tokenize(u' ', Qt::SkipEmptyParts))
            take(token);
        check();
    }

    void portChanged()
    {
        log(QStringLiteral("the port reopens"));
        m_reports.PortChanged();
        m_queue.clear();
        m_lost.clear();
        m_rebooting = false;
        ++m_events;
        changedAll(m_events);
        check();
    }

    void waitUntil(int64_t t)
    {
        if (const int64_t gap = t - Clock::Now(); gap > 0)
            Wait::For(int(gap));
    }

    // Time passes; what is due arrives.
    void advance(int ms)
    {
        const int64_t until = Clock::Now() + ms;
        while (ok() && !m_queue.empty() && m_queue.front().due <= until) {
            const Chunk chunk = m_queue.front();
            m_queue.pop_front();
            waitUntil(chunk.due);
            const Answer &a = m_answers[chunk.answer];
            if (chunk.first) {
                for (const auto &[code, value] : a.values) {
                    uint64_t &at = m_produced[code][value];
                    at = std::max(at, a.produced);
                }
            }
            log(QStringLiteral("< \"%1\"").arg(chunk.text));
            m_reports.Received(chunk.text);
            if (chunk.last && a.restart) {
                m_rebooting = false;
                changedAll(m_restartAt);
            }
            check();
        }
        waitUntil(until);
    }

    // --- what must hold ---

    void check()
    {
        if (!ok())
            return;
        move();
        for (const QString &code : checkedCodes()) {
            if (!m_reports.Holds(code))
                continue;
            const ControllerReports::Value *value = m_reports.Last(code);
            if (!value || !value->report.numeric) {
                fail(QStringLiteral("%1 holds without a value").arg(code));
                return;
            }
            const auto &produced = m_produced[code];
            const auto it = produced.find(int64_t(value->report.v));
            if (it == produced.end() || it->second <= m_changedAt.value(code)) {
                fail(QStringLiteral("%1 holds at %2, a value the controller gave only before the last change")
                         .arg(code, value->report.text));
                return;
            }
        }
        if (const auto span = m_reports.RotatorWrapSpan(); span && (m_wrap < span->low || m_wrap > span->high)) {
            fail(QStringLiteral("the rotator's reach %1..%2 misses its wrap %3").arg(span->low).arg(span->high).arg(m_wrap));
            return;
        }
        if (m_reports.RotatorStanding() == true && m_toGo != 0)
            fail(QStringLiteral("the rotator reads standing with %1 steps to go").arg(m_toGo));
        if (m_reports.FocuserStanding() == true && m_focuser != m_focuserTarget)
            fail(QStringLiteral("the focuser reads standing at %1 on its way to %2").arg(m_focuser).arg(m_focuserTarget));
    }

    // The controller now answers at once and in order: after what was under way has come,
    // every value vouches again within two rounds of queries and one for each answer lost
    // (each stays owed until an answer pays it or proves it lost).
    void recover()
    {
        m_manner = Manner{};
        log(QStringLiteral("from here on every answer comes at once"));
        advance(int(m_queue.empty() ? 0 : std::max<int64_t>(0, m_queue.back().due - Clock::Now())));
        // and the rotator has got where it was going
        advance(int(std::llabs(m_toGo) / m_rotatorSpeed + 1));
        int rounds = 2;
        for (const int lost : std::as_const(m_lost))
            rounds = std::max(rounds, lost + 2);
        for (int round = 0; round < rounds && ok(); ++round) {
            for (const char *query : {" R ", " Q ", " T "}) {
                send(QString::fromLatin1(query));
                advance(10);
            }
        }
        for (const QString &code : keyCodes()) {
            if (ok() && !m_reports.Holds(code))
                fail(QStringLiteral("%1 does not hold again after answers at once").arg(code));
        }
        if (ok() && !m_reports.RotatorWrapSpan())
            fail(QStringLiteral("the rotator's reach is not known again after answers at once"));
        // An answer lost leaves the crediting a query early for good, so two answers asked
        // one after the other cannot be told apart from two asked together.
        const bool noneLost = std::all_of(m_lost.cbegin(), m_lost.cend(), [](int lost) { return lost == 0; });
        if (ok() && noneLost && m_reports.RotatorStanding() != true)
            fail(QStringLiteral("the rotator does not read standing again after answers at once"));
    }

    Fuzz::Gen &m_gen;
    const int64_t m_start;
    Manner m_manner;
    Manner m_drawn; // the schedule's, kept while the recovery runs
    ControllerReports m_reports;
    QStringList m_log;

    // The model's true state.
    int64_t m_position = 0, m_wrap = 0, m_toGo = 0, m_rotatorSpeed = 0; // steps, steps per ms
    int64_t m_focuser = 0, m_focuserTarget = 0, m_focuserSpeed = 0;
    int64_t m_fanMode = 0, m_fanSpeed = 0;
    int64_t m_motionAt = 0;
    bool m_rebooting = false;
    uint64_t m_restartAt = 0;

    // What it said and when: events counted over commands taken, answers produced, restarts.
    uint64_t m_events = 0;
    QHash<QString, uint64_t> m_changedAt;                  // the last event that changed a code
    QHash<QString, std::map<int64_t, uint64_t>> m_produced; // a code's value: the last answer that gave it
    std::vector<Answer> m_answers;
    std::deque<Chunk> m_queue;
    QHash<QChar, int> m_lost; // answers of each letter never sent since the port opened
};

} // namespace

TEST(ControllerReportsFuzz, VouchesOnlyForAnswersProducedAfterTheLastChange)
{
    TestClock clock;
    Fuzz::Run(3000, [](Fuzz::Gen &gen) { Schedule(gen).Run(); });
}
