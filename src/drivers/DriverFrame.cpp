#include "drivers/DriverFrame.h"

#include "drivers/DriverErrors.h"
#include "drivers/FormLauncher.h"
#include "link/ModuleState.h"
#include "link/Serial.h"
#include "link/connector.h"
#include "platform/Clock.h"
#include "platform/Wait.h"

namespace {
// A handshake try waits for its tick; this bound only guards against a timer that never
// comes, so the telescope can never hang on a member.
constexpr int TickWaitBoundMs = 30000;
} // namespace

DriverFrame::DriverFrame(VbError notLinked)
    : m_reply([this](QStringView code, QStringView value) { dispatchReport(code, value); })
    , m_notLinked(std::move(notLinked))
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

void DriverFrame::send(const QString &command)
{
    if (cm)
        cm->Transmit(command);
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
    // A port that does not open fails the handshake with its own error.
    if (cm) {
        const int16_t port = Module().link.PortNumber;
        if (portCheck && cm->Connected() && cm->Port() != port)
            cm->setConnected(false);
        if (!cm->Connected()) {
            cm->setPort(port);
            cm->setConnected(true);
        }
    }
    requireLine();
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
    m_tickStyle = TickStyle::Focuser;
    Linked = false;
    openPort(portCheck);
    LinkPending = true;
    Wait::DoEvents();
    // Only an answer to this handshake counts, not one another object's "! " drew.
    AckReceived = false;
    for (int attempt = 0; attempt < 4; ++attempt) {
        send(QStringLiteral("! "));
        Wait::DoEvents();
        tm.setInterval(500);
        tm.setEnabled(true);
        Wait::Until(TickWaitBoundMs, [this] { return !tm.Enabled(); });
        if (Linked)
            break;
    }
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
    m_tickStyle = TickStyle::Vkm;
    m_laterInterval = form.laterInterval;
    Linked = false;
    openPort(form.portCheck);
    tm.setInterval(250);
    tm.setEnabled(true);
    LinkPending = true;
    Wait::DoEvents();
    AckReceived = false;
    for (int attempt = 0; attempt < 7; ++attempt) {
        send(QStringLiteral("! "));
        Wait::DoEvents();
        WaitingForTick = true;
        Wait::Until(TickWaitBoundMs, [this] { return !WaitingForTick; });
        if (Linked)
            break;
    }
    LinkPending = false;
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
    return poll(LastQuery, cacheAgeMs, query, clearSeen, seen, waitMs);
}

bool DriverFrame::poll(uint32_t &lastQuery, int cacheAgeMs, const QString &query,
                       const std::function<void()> &clearSeen, const std::function<bool()> &seen, int waitMs)
{
    requireLine();
    if (cacheAgeMs > 0 && Clock::TicksSince(lastQuery) < uint32_t(cacheAgeMs))
        return false;
    lastQuery = Clock::GetTickCount();
    send(query);
    clearSeen();
    return Wait::Until(waitMs, seen);
}

void DriverFrame::ShowForm(int16_t n)
{
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
