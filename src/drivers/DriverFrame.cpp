#include "drivers/DriverFrame.h"

#include "drivers/DriverErrors.h"
#include "drivers/FormLauncher.h"
#include "link/LinkPortChange.h"
#include "link/ModuleState.h"
#include "link/ReportTable.h"
#include "link/Serial.h"
#include "link/connector.h"
#include "platform/Clock.h"
#include "platform/Wait.h"

#include <algorithm>

namespace {
// A handshake try waits for its tick; this bound only guards against a timer that never
// comes, so the telescope can never hang on a member.
constexpr int TickWaitBoundMs = 30000;
// Long enough for a status answer at 9600 baud.
constexpr int AnswerWaitMs = 500;
} // namespace

DriverFrame::DriverFrame(VbError notLinked, QString noResponse)
    : m_reply([this](QStringView code, QStringView value) { dispatchReport(code, value); })
    , m_notLinked(std::move(notLinked))
    , m_noResponse(std::move(noResponse))
{
    conn = std::make_unique<connector>();
    cm = conn->Class();
    if (cm)
        cm->subscribe(&m_receiver, [this](const QString &s) { m_reply.Handle_Received(s); });
    QObject::connect(&tm, &VbTimer::Tick, &m_receiver, [this] { tm_Tick(); });
    tm.setEnabled(false);
}

DriverFrame::~DriverFrame()
{
    tm.setEnabled(false);
    if (cm)
        cm->unsubscribe(&m_receiver);
    cm.reset();
    // The last holder ends the process here.
    conn.reset();
}

bool DriverFrame::portOpen() const
{
    return cm && cm->Connected();
}

void DriverFrame::requireLine() const
{
    if (!portOpen())
        throw m_notLinked;
    if (Module().tools.FlashInProgress)
        throw Serial::UploadOwnsPort();
}

void DriverFrame::requireSendable(bool inRange, const char *description) const
{
    if (!inRange)
        refuse(DriverErrors::ValueOutOfRange, QString::fromLatin1(description), m_notLinked.source());
    requireLine();
}

void DriverFrame::requireClient() const
{
    if (Abandoned())
        refuse(DriverErrors::Released, QStringLiteral("The client released this object"), m_notLinked.source());
}

void DriverFrame::requireWanted(const StepScope &move) const
{
    requireClient();
    requireLine();
    switch (move.Why()) {
    case StepScope::Stop::None:
    case StepScope::Stop::Withdrawn: // the client's own condition is requireClient's
        return;
    case StepScope::Stop::LinkChanged:
        throw m_notLinked;
    case StepScope::Stop::Halted:
        refuse(DriverErrors::InvalidOperation, QStringLiteral("Halted before the move was sent."), m_notLinked.source());
    }
}

bool DriverFrame::waitUntil(int timeoutMs, const std::function<bool()> &done)
{
    const bool result = Wait::Until(timeoutMs, done);
    requireClient();
    return result;
}

void DriverFrame::doEvents()
{
    Wait::DoEvents();
    requireClient();
}

Serial::SendResult DriverFrame::transmit(const QString &command)
{
    return cm ? cm->Transmit(command) : Serial::SendResult::PortClosed;
}

void DriverFrame::send(const QString &command)
{
    requireClient();
    switch (transmit(command)) {
    case Serial::SendResult::Sent:
        return;
    case Serial::SendResult::UploadOwnsLine:
        throw Serial::UploadOwnsPort();
    case Serial::SendResult::PortClosed:
    case Serial::SendResult::NotDelivered:
        break;
    }
    // Nothing to wait for and nothing done: the member ends here.
    throw m_notLinked;
}

void DriverFrame::sendPoll(const QString &query)
{
    // Also while an upload owns the line: the link then sends nothing.
    if (portOpen())
        transmit(query);
}

bool DriverFrame::ask(const QString &query, int waitMs)
{
    requireLine();
    const QChar letter = query.trimmed().front();
    send(query);
    const ControllerReports &reports = cm->Reports();
    const uint64_t mark = reports.QueriesSent(letter);
    const uint64_t epoch = reports.Epoch();
    const bool answered = waitUntil(waitMs, [&] { return reports.Epoch() == epoch && reports.Answered(letter) >= mark; });
    requireLine(); // the port may have closed meanwhile
    return answered;
}

bool DriverFrame::awaitReport(QStringView code, const QString &query, int waitMs, bool once)
{
    requireLine();
    const ControllerReports &reports = cm->Reports();
    const auto vouched = [&] { return once ? reports.Last(code) != nullptr : reports.Holds(code); };
    if (vouched())
        return true;
    // An answer already on its way may do; the rest of the time is for asking ourselves.
    const int64_t deadline = Clock::Now() + waitMs;
    const QChar letter = query.trimmed().front();
    if (reports.Pending(letter) > 0) {
        const uint64_t mark = reports.QueriesSent(letter);
        const uint64_t epoch = reports.Epoch();
        waitUntil(std::max(waitMs - AnswerWaitMs, 0),
                  [&] { return vouched() || reports.Epoch() != epoch || reports.Answered(letter) >= mark; });
        requireLine();
        if (vouched())
            return true;
    }
    send(query);
    const int64_t left = std::max<int64_t>(deadline - Clock::Now(), AnswerWaitMs);
    waitUntil(int(left), vouched);
    requireLine();
    return vouched();
}

const Report &DriverFrame::heldReport(QStringView code, const QString &query, int waitMs, const Held &how)
{
    const ControllerReports::Value *value = awaitReport(code, query, waitMs, how.once) ? cm->Reports().Last(code) : nullptr;
    if (!value || (how.usable && !how.usable(value->report))) {
        if (how.beforeRefusal)
            how.beforeRefusal();
        refuse(DriverErrors::Unavailable, how.unavailable.isEmpty() ? m_noResponse : how.unavailable, m_notLinked.source());
    }
    return value->report;
}

std::optional<double> DriverFrame::reported(QStringView code) const
{
    const ControllerReports::Value *value = cm ? cm->Reports().Last(code) : nullptr;
    if (!value || !value->report.numeric)
        return std::nullopt;
    return value->report.v;
}

void DriverFrame::requireReported(QStringView code) const
{
    if (!cm || !cm->Reports().Last(code))
        refuse(DriverErrors::Unavailable, m_noResponse, m_notLinked.source());
}

void DriverFrame::openPortAsIs()
{
    try {
        if (cm && !cm->Connected())
            cm->setConnected(true);
    } catch (const VbError &) {
    }
}

void DriverFrame::openPort(bool portCheck)
{
    // A port that does not open fails the handshake with its own error and leaves the link
    // where it was.
    if (cm) {
        const int16_t port = Module().link.PortNumber;
        if (!cm->Connected() || (portCheck && cm->Port() != port))
            LinkPortChange(*cm, port, true);
    }
    requireLine();
}

void DriverFrame::awaitTick(const std::function<bool()> &ticked)
{
    // An upload that takes the line meanwhile ends the try at once: no answer can come.
    waitUntil(TickWaitBoundMs, [&] { return ticked() || Module().tools.FlashInProgress; });
    requireLine();
}

void DriverFrame::handshake(const std::function<void()> &tries, const std::function<void()> &settle)
{
    const bool wasLinked = Linked;
    try {
        tries();
    } catch (const VbError &e) {
        settle();
        // Ended by an upload, the handshake decided nothing; the object stays as it was.
        if (e.number() == Serial::ErrUploadOwnsPort)
            Linked = wasLinked;
        throw;
    }
    settle();
}

void DriverFrame::showConsoleOnLink()
{
    if (Module().link.ControlConsole == 1 && !Module().link.MainFormOpen)
        Launch(DriverForms().ShowConsole);
}

void DriverFrame::linkFocuserStyle(bool value, bool portCheck)
{
    if (!value) {
        if (portOpen())
            cm->setConnected(false);
        Linked = false;
        return;
    }
    // A refused open changes nothing of the object.
    openPort(portCheck);
    handshake([&] {
        m_tickStyle = TickStyle::Focuser;
        Linked = false;
        LinkPending = true;
        doEvents();
        // Only an answer to this handshake counts, not one another object's "! " drew.
        AckReceived = false;
        for (int attempt = 0; attempt < 4; ++attempt) {
            send(QStringLiteral("! "));
            doEvents();
            tm.setInterval(500);
            tm.setEnabled(true);
            awaitTick([this] { return !tm.Enabled(); });
            if (Linked)
                break;
        }
    }, [this] { tm.setEnabled(false); }); // a later tick would judge a try no longer made
    if (!Linked)
        refuse(DriverErrors::LinkFailed, QStringLiteral("No response from focuser"), QString());
    showConsoleOnLink();
}

void DriverFrame::linkVkmStyle(bool value, const VkmHandshake &form)
{
    if (!value) {
        if (portOpen())
            cm->setConnected(false);
        Linked = false;
        tm.setEnabled(false);
        return;
    }
    openPort(form.portCheck);
    handshake([&] {
        m_tickStyle = TickStyle::Vkm;
        m_laterInterval = form.laterInterval;
        Linked = false;
        tm.setInterval(250);
        tm.setEnabled(true);
        LinkPending = true;
        doEvents();
        AckReceived = false;
        for (int attempt = 0; attempt < 7; ++attempt) {
            send(QStringLiteral("! "));
            doEvents();
            WaitingForTick = true;
            awaitTick([this] { return !WaitingForTick; });
            if (Linked)
                break;
        }
    }, [this] {
        LinkPending = false;
        WaitingForTick = false;
    });
    if (!Linked) {
        if (form.stopTimerOnFailure)
            tm.setEnabled(false);
        refuse(DriverErrors::LinkFailed, QStringLiteral("No response from VKM"), QString());
    }
    if (form.opening)
        form.opening();
    showConsoleOnLink();
    if (form.afterSuccess)
        form.afterSuccess();
}

void DriverFrame::tm_Tick()
{
    if (!LinkPending)
        return;
    if (m_tickStyle == TickStyle::Focuser) {
        Linked = AckReceived;
        AckReceived = false;
        tm.setEnabled(false);
        return;
    }
    // Only the tick a try waits for judges it: a later tick before the try has looked (its
    // call resumed late) must not take back an answer already counted.
    if (!WaitingForTick)
        return;
    Linked = AckReceived;
    AckReceived = false;
    WaitingForTick = false;
    if (m_laterInterval != 0)
        tm.setInterval(m_laterInterval);
}

bool DriverFrame::poll(int cacheAgeMs, const QString &query, const std::function<void()> &clearSeen,
                       const std::function<bool()> &seen, int waitMs)
{
    requireLine();
    if (cacheAgeMs > 0 && Clock::TicksSince(LastQuery) < uint32_t(cacheAgeMs))
        return false;
    LastQuery = Clock::GetTickCount();
    send(query);
    clearSeen();
    return waitUntil(waitMs, seen);
}

bool DriverFrame::poll(uint32_t &lastQuery, int cacheAgeMs, const QString &query, int waitMs, QStringView code)
{
    requireLine();
    if (cacheAgeMs > 0 && Clock::TicksSince(lastQuery) < uint32_t(cacheAgeMs) && cm->Reports().Holds(code))
        return false;
    lastQuery = Clock::GetTickCount();
    return ask(query, waitMs);
}

void DriverFrame::requireDisplay() const
{
    if (Headless::Active())
        refuse(DriverErrors::InvalidOperation, Headless::Refusal(), m_notLinked.source());
}

void DriverFrame::ShowForm(int16_t n)
{
    if (n == 1 || n == 2)
        requireDisplay();
    if (Module().link.MainFormOpen)
        return;
    if (n == 1)
        Launch(DriverForms().ShowConsole);
    else if (n == 2)
        Launch(DriverForms().ShowMainWindow);
}

QString DriverFrame::AppVersion()
{
    return QStringLiteral(VKM_VERSION);
}

void DriverFrame::refuse(int32_t number, const QString &description, const QString &source)
{
    throw VbError(number, description, source);
}
