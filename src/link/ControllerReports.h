#pragma once

#include "link/ReplyState.h"
#include "link/ReportTable.h"

#include <QHash>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <optional>
#include <utility>

// What the controller reported, kept once for the whole program, and what was sent since.
//
// The link feeds it every command that leaves the port, every received chunk and every port
// open and close. It frames the stream once and keeps each reported value with the moment it
// arrived and the query it answers. Every decision that rests on a reported value asks here
// whether that value still holds: it was reported since the port opened (and since the
// controller last restarted), in an answer to a query written after the last command that
// changes it (from any sender).
//
// The controller answers its queries in order, one at a time, each with a burst of reports
// in any order. A burst answers the oldest query of its letter still owed, one its caller gave
// up on included, so a value is never credited to a query written later than the one it
// answers. Where a burst ends is decided by its codes alone: a code it had already, a code of
// another letter, or (once its key codes have all come) a key code again. Owed queries are
// settled only by what proves they got no reply: a port change, a controller restart, or the
// answer to a query written after them. No limit of time or count moves the crediting: a
// query not answered within LostAfterMs is given up (its caller may stop waiting) and still
// takes the next answer of its letter. Owed queries are counted in runs of one letter in the
// order written; beyond MaxOrderedRuns the oldest runs lose their order, which only keeps
// them owed longer (the record then vouches for less). Every ":!" (a restart notice or a
// handshake's answer) forgets everything reported before, at its closing blank; the queries
// owed stay owed.
//
// Values are kept for the codes the program reads (the queries' codes and a few reported on
// their own); of any other code, only the MaxOtherCodes last distinct ones are kept.
class ControllerReports
{
public:
    static constexpr uint32_t LostAfterMs = 1000;
    static constexpr size_t MaxOrderedRuns = 64;
    static constexpr size_t MaxTimedQueries = 512;
    static constexpr int MaxOtherCodes = 16;

    // One reported value.
    struct Value
    {
        Report report{QStringView(), QStringView()};
        uint64_t serial = 0;  // increasing over every report received; 0 never
        uint32_t tick = 0;    // Clock::GetTickCount() of its arrival
        uint64_t answers = 0; // the number of its query letter's query it answers (1, 2, ...); 0 none
    };

    // The cable wrap range, in steps, that the rotator may be at or be headed for after every
    // move sent so far: low <= high.
    struct WrapSpan
    {
        int64_t low = 0;
        int64_t high = 0;
    };

    ControllerReports();

    // --- fed by the link ---
    // Text that left the port (commands and queries, blank-separated).
    void Sent(const QString &text);
    // A chunk received.
    void Received(const QString &chunk);
    // The port opened or closed: nothing reported before counts, and no earlier reply is to come.
    void PortChanged();
    // The port's buffers were cleared on an open port: replies still to come are gone.
    void InputCleared();
    // The controller restarted (a firmware upload began or ended, or it said so unasked):
    // nothing it reported before counts, and no earlier reply is to come, as on a port change.
    void ControllerRestarted();

    // --- asked by the rules ---
    // The value last reported for `code` since the port opened (and the controller last
    // restarted), or null.
    const Value *Last(QStringView code) const;
    // Whether `code`'s last value holds: reported since the port opened, answering a query
    // written after the last command that changes it.
    bool Holds(QStringView code) const;
    // The serial of the last report received (0 before any); a sampler keeps it as its mark.
    uint64_t LastSerial() const { return m_serial; }
    // Whether `code` was reported since the port opened and after the report `mark`.
    bool ReportedSince(QStringView code, uint64_t mark) const;
    // How many commands sent so far (by any sender) changed `code`'s value; never goes back,
    // so a sampler that keeps it sees any change between its samples, one undone since too.
    uint64_t Changes(QStringView code) const { return m_changes.value(code.toString()); }
    // The last command of `letter` that left since the port opened and the controller last
    // restarted, without its blanks ("+1"); empty when none. A setting the controller does not
    // report back is decided on this.
    QString LastSent(QChar letter) const { return m_lastSent.value(letter); }

    // Queries of `letter` written since the port opened, and how many of them have been
    // dealt with: given up (LostAfterMs), settled, or written before an answer that completed
    // (the values it brought are the freshest there are; which query they vouch for is the
    // record's). A reader that writes a query reads QueriesSent after it and waits until
    // Answered reaches that number.
    uint64_t QueriesSent(QChar letter) const;
    uint64_t Answered(QChar letter) const;
    // Queries of `letter` still owed their answer and not yet overdue (LostAfterMs).
    int Pending(QChar letter) const;
    // Queries of `letter` still owed, given-up ones (which take the next answer) included.
    int Waiting(QChar letter) const;

    // The rotator's reach: nothing until a complete rotator report answers a query written
    // after the last command that zeroed its wrap, and since the port opened.
    std::optional<WrapSpan> RotatorWrapSpan() const;
    // Whether the rotator was reported standing by an answer to a query written after the
    // last rotator command: target equal to position at a wrap the moves sent can end at and
    // no whole turn away from another such wrap; or by two such answers in a row at the same
    // wrap and position (after a halt, whatever the target).
    std::optional<bool> RotatorStanding() const;
    // Whether the focuser was reported standing in an answer to a query written after the
    // last focuser command; nothing without such an answer.
    std::optional<bool> FocuserStanding() const;

    // Counts the port's openings and closings and the controller's restarts.
    uint64_t Epoch() const { return m_epoch; }

private:
    enum class Burst : uint8_t { None, Open, Trailing };
    struct Letter
    {
        uint64_t sent = 0;
        uint64_t resolved = 0;  // every query up to this number answered or settled
        uint64_t unordered = 0; // owed queries up to this number are older than every run kept
        uint64_t progress = 0;  // every query up to this number written before an answer completed
        std::deque<std::pair<uint64_t, uint32_t>> timed; // recent queries: number, when written
        Burst burst = Burst::None;
        uint32_t seenCodes = 0;    // bits of the codes the open or trailing burst has had
        uint64_t burstAnswers = 0; // the query the open or trailing burst answers; 0 none
        bool asked = false;        // the open or trailing burst answers an owed query
        uint64_t lastAnswered = 0; // the last query whose answer began
        uint64_t burstNewest = 0;  // queries of the letter written when the open burst began
    };
    // Owed queries of one letter written one after another: numbers last - count + 1 .. last.
    struct Run
    {
        QChar letter;
        uint64_t last = 0;
        uint64_t count = 0;
    };

    // What a command made stale: answers up to this number of its code's query, and every
    // report up to this serial.
    struct Stale
    {
        uint64_t answers = 0;
        uint64_t serial = 0;
    };

    void forget();
    void forgetReported();
    void restartNotice(QStringView code);
    void dispatch(QStringView code, QStringView value);
    void keep(const QString &code, const Value &value, bool known);
    void command(QStringView token);
    void query(QChar letter);
    void rotatorCommand(QChar letter, std::optional<int64_t> number);
    void focuserCommand(bool halt);
    void beginBurst(QChar letter, Letter &state);
    void endBurst(QChar letter, Letter &state, bool trail);
    void settleBefore(QChar letter, uint64_t number);
    void rotatorBurst(uint64_t answers);
    void focuserBurst(uint64_t answers);
    void applyRow(QChar letter, int effect, std::optional<int64_t> number);
    // The numbers `codes` carry when all of them came in the burst that answers `answers`.
    bool sameBurst(std::initializer_list<const char *> codes, uint64_t answers, int64_t *values) const;
    void markStale(std::initializer_list<const char *> codes);

    ReplyState m_framing;
    QHash<QString, Value> m_values;
    QHash<QChar, Letter> m_letters;
    std::deque<Run> m_owed; // the owed queries whose order is known, oldest first
    QChar m_activeLetter;   // the letter of the burst open or trailing; null when none
    std::deque<QString> m_otherCodes; // the codes outside the program's reading kept, oldest first
    QHash<QString, Stale> m_staleUntil;
    QHash<QString, uint64_t> m_changes;
    QHash<QChar, QString> m_lastSent;
    uint64_t m_serial = 0;
    uint64_t m_epoch = 0;

    // The rotator: where it may be now and where it may end, as of the moves sent. Tracked:
    // the spans follow every move since a report (a zeroing shifts them); known: reported
    // since the last zeroing, so the reach is given out.
    bool m_rotatorTracked = false;
    bool m_rotatorKnown = false;
    bool m_rotatorMoveOwed = false; // a move was sent since it was last reported standing
    WrapSpan m_rotatorNow;
    WrapSpan m_rotatorEnd;
    uint64_t m_rotatorCommandAt = 0; // R queries written before the last rotator command
    uint64_t m_rotatorZeroedAt = 0;  // R queries written before the last zeroing of the wrap
    bool m_rotatorHalted = false;    // the last rotator command was a halt
    std::optional<std::pair<int64_t, int64_t>> m_rotatorSeen; // wrap, position of the last answer since it
    uint64_t m_rotatorSeenAsked = 0; // R queries written when that answer had come
    std::optional<bool> m_rotatorStanding;
    uint64_t m_focuserCommandAt = 0;
    bool m_focuserHalted = false;
    std::optional<int64_t> m_focuserHaltPosition;
    std::optional<bool> m_focuserStanding;
};
