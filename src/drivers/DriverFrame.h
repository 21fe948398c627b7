#pragma once

#include "link/ReplyState.h"
#include "link/StepScope.h"
#include "link/Serial.h"
#include "platform/Dispatch.h"
#include "platform/VbTimer.h"

#include <QObject>
#include <QStringView>
#include <functional>
#include <memory>
#include <optional>

class connector;
struct Report;

// What every automation class shares: it holds the process through a connector, talks
// through the shared link, reads the report stream with its own parser, links with the
// controller by the "! " handshake, and polls for status by the cache rule.
class DriverFrame : public Dispatch
{
public:
    ~DriverFrame() override;

protected:
    // `notLinked`: the class's refusal of a member that cannot reach the controller;
    // `noResponse`: its text for a value the controller has not reported.
    explicit DriverFrame(VbError notLinked, QString noResponse = QStringLiteral("No response from VKM"));

    // The class's report table: one completed (code, value) pair of the stream.
    virtual void dispatchReport(QStringView code, QStringView value) = 0;

    // The handshake as the focuser does it: up to 4 tries, each waiting for the 500 ms tick.
    // `portCheck` (the Connected form) reopens the port when it is open on another number
    // than PortNumber. A port that does not open refuses with its error; only a ":!" after
    // this handshake's first "! " answers it; else refuses with "No response from focuser".
    void linkFocuserStyle(bool value, bool portCheck);

    // The handshake of the other classes: up to 7 tries on a timer of `firstInterval` ms;
    // `laterInterval` (not 0) becomes the period after the first tick. `opening` runs
    // after success, before the console rule. Refuses with "No response from VKM".
    struct VkmHandshake
    {
        bool portCheck = false;
        int laterInterval = 0;
        bool stopTimerOnFailure = false;
        std::function<void()> opening;
        std::function<void()> afterSuccess;
    };
    void linkVkmStyle(bool value, const VkmHandshake &form);

    // The polling rule: refuses as requireLine does; when `cacheAgeMs` is 0 or at least that
    // long has passed since LastQuery, sends `query`, runs `clearSeen` and serves events
    // until `seen` or `waitMs`. Returns whether the report came (callers return their
    // cache either way). For queries the link's record does not know (" l ", "1 ").
    bool poll(int cacheAgeMs, const QString &query, const std::function<void()> &clearSeen,
              const std::function<bool()> &seen, int waitMs);
    // The polling rule on a status query the link's record knows (" Q ", "T ", " 4 " ...):
    // on a last-query tick of the caller's own, it waits for the answer to the query it
    // wrote. A query is written also within the cache age when the record cannot vouch for
    // `code` (the value the caller returns): not reported since the port opened, or changed
    // by a command (from anyone) since.
    bool poll(uint32_t &lastQuery, int cacheAgeMs, const QString &query, int waitMs, QStringView code);
    // Writes `query` and waits up to `waitMs` for its answer; false when none came.
    bool ask(const QString &query, int waitMs);
    // Waits, bounded, until `code` holds (reported in answer to a query written after the
    // last command that changes it), or with `once` only until it has been reported since
    // the port opened. An answer already on its way is waited for; else `query` is written.
    bool awaitReport(QStringView code, const QString &query, int waitMs, bool once = false);
    // A getter's report of `code` that holds now, as awaitReport waits for it; when none comes
    // or `usable` rejects it, `beforeRefusal` runs and the getter refuses with `unavailable`
    // (the class's no-response text when empty).
    struct Held
    {
        QString unavailable;
        bool once = false;
        std::function<bool(const Report &)> usable;
        std::function<void()> beforeRefusal;
    };
    const Report &heldReport(QStringView code, const QString &query, int waitMs, const Held &how);
    // The value last reported for `code` since the port opened, when numeric.
    std::optional<double> reported(QStringView code) const;
    // A getter's refusal of a value the controller has not reported since the port opened.
    void requireReported(QStringView code) const;

    // Serves events as Wait::Until and Wait::DoEvents do; a call whose client let its
    // object go meanwhile stops there with an error.
    bool waitUntil(int timeoutMs, const std::function<bool()> &done);
    void doEvents();
    // Refuses once the client has let the object go: a call stops after its wait and sends nothing more.
    void requireClient() const;

    // A move of `device` begins: it goes on only while the port and the controller stay the
    // same and no halt of the device leaves the port, whoever sends it.
    StepScope beginMove(MovedDevice device) const { return StepScope(cm.get(), device); }
    // A step that waits and then sends: it goes on only on the same port and controller.
    StepScope beginStep() const { return StepScope(cm.get()); }
    // After a wait: the client still holds the object, the line is usable and `move` still
    // wanted; a move a halt ended refuses ("Halted before the move was sent.") and sends nothing.
    void requireWanted(const StepScope &move) const;

    // Sends `command`, or ends the member with the class's error: its not-linked error when the
    // port is closed or did not take the text, the upload's while one owns the line. Sends
    // nothing for a client that let the object go (its call stops with an error).
    void send(const QString &command);
    // A poll (the query an object or a link opens with): sent when the line takes it, never
    // refused; its answer only fills the record, and a member asks again when it needs one.
    void sendPoll(const QString &query);
    // The link's transmit; a seam for tests of a port that takes no text.
    virtual Serial::SendResult transmit(const QString &command);
    bool portOpen() const;
    // The rule of every member that must reach the controller (or read what it reports):
    // the shared port is open and no firmware upload owns the line; else it refuses with
    // the class's not-linked error or the upload's, before it changes anything.
    void requireLine() const;
    // A setting: a value out of range refuses with `description` (the class's range error,
    // its not-linked error's source), then the line rule.
    void requireSendable(bool inRange, const char *description) const;
    // The link as clients read it: the handshake succeeded and the shared port is still open
    // (another object or a setup dialog may have closed it since).
    bool linkedNow() const { return Linked && portOpen(); }
    // Opens the shared port, when closed, on the number the link already holds.
    void openPortAsIs();

    // Shows the console (1) or the main window (2) unless the main window is open.
    void ShowForm(int16_t n);
    static QString AppVersion();

    // The client's call fails with this error.
    [[noreturn]] static void refuse(int32_t number, const QString &description, const QString &source);
    // A member that shows a window refuses where there is no display.
    void requireDisplay() const;

    std::shared_ptr<Serial> cm;
    VbTimer tm;
    ReplyState m_reply;
    bool Linked = false;
    bool LinkPending = false;
    bool AckReceived = false;
    bool WaitingForTick = false;
    uint32_t LastQuery = 0;

private:
    enum class TickStyle { Focuser, Vkm };
    void tm_Tick();
    // Opens the port on PortNumber (when closed, or with `portCheck` when open on another
    // number); a refusal leaves the link and the object as they were.
    void openPort(bool portCheck);
    // A try's wait for its tick, cut short by an upload that takes the line (its refusal).
    void awaitTick(const std::function<bool()> &ticked);
    // Runs the tries, then `settle`, also when they refuse; a refusal by an upload puts
    // Linked back as it was.
    void handshake(const std::function<void()> &tries, const std::function<void()> &settle);
    void showConsoleOnLink();

    std::unique_ptr<connector> conn;
    VbError m_notLinked;
    QString m_noResponse;
    QObject m_receiver; // the subscription's and the timer's context
    TickStyle m_tickStyle = TickStyle::Vkm;
    int m_laterInterval = 0;
};
