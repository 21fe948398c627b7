#include "tools/FirmwareUpload.h"

#include "link/ControlWindowHooks.h"
#include "link/ModuleState.h"
#include "link/Serial.h"
#include "platform/Clock.h"
#include "platform/Held.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbError.h"
#include "platform/Wait.h"

#include <QScopeGuard>

FirmwareUpload::FirmwareUpload(FirmwareUploadView &view, Timings timings) : m_view(view), m_timings(timings) {}

int16_t FirmwareUpload::run(const QString &fileName)
{
    // The boxes wait until the line is given back: the other senders are served meanwhile.
    m_file.Say = [this](const QString &text) { m_failure = text; };
    m_failure.clear();
    const int16_t code = upload(fileName);
    if (!m_failure.isEmpty())
        MsgBox(m_failure, vbconst::vbOKOnly);
    return code;
}

int16_t FirmwareUpload::upload(const QString &fileName)
{
    ModuleState::Tools &flash = Module().tools;
    // Whatever ends the upload, the main window's parser, the receive path and the other
    // senders get the port back, a later ":x" holds nothing, and the file is closed.
    const auto restore = qScopeGuard([&] {
        if (flash.FlashInProgress && m_link) // the loader had the line: the controller restarts
            m_link->ControllerRestarted();
        flash.FlashAckFlag = false;
        flash.FlashInProgress = false;
        flash.FlashIgnoreAck = true;
        m_file.Close();
        m_link.reset();
    });
    return exchange(fileName);
}

int16_t FirmwareUpload::exchange(const QString &fileName)
{
    ModuleState::Tools &flash = Module().tools;
    m_link = Held(ControlWindows().Main).link();
    flash.FlashIgnoreAck = false;
    flash.FlashAckFlag = false;
    m_view.redraw();

    // Before anything reaches the boot loader: a file that cannot be read, or that is no
    // complete firmware, must not cost the controller its flash.
    if (m_file.OpenFirmwareFile(fileName))
        return FileNotOpened;

    // What came before the loader has the line (the last "*" of an earlier upload, a
    // report) goes to the parser closed by a blank, so it cannot run into the loader's
    // first status.
    const QString before = m_link && m_link->InBufferCount() > 0 ? m_link->RecieveNoTimeout() : QString();
    Held(ControlWindows().Main).Handle_Received(before + QLatin1Char(' '));
    Held(m_link).ControllerRestarted(); // the loader takes the controller over from here
    if (!handshake()) {
        m_failure = QStringLiteral("Timed out waiting for response");
        return NoResponse;
    }

    flash.FlashAckFlag = true; // the link leaves all input buffered for us from here
    flash.FlashStatus = 255;
    send(QStringLiteral("E"));
    drained(); // bounded; the erase wait follows whether or not it drained
    m_view.setStatus(QStringLiteral("Erasing"));
    awaitErase();
    // No status at all (still 255) counts as erased.
    if (flash.FlashStatus < 3)
        return flash.FlashStatus == 1 ? NoProgrammingVoltage : EraseFailed;

    m_view.setStatus(QStringLiteral("Erased succesfully"));
    m_view.setStatus(QStringLiteral("Programming...this may take a moment"));
    send(QStringLiteral("P"));
    if (!drained())
        return NoLineHandshake;
    FirmwareLinesSent = 0;
    Wait::For(m_timings.programPauseMs);

    for (;;) {
        // Every line, the last one too, must have left an open port.
        if (m_file.SendNextFirmwareLine(m_timings.drainMs))
            return LineNotSent;
        ++FirmwareLinesSent;
        // The last line's acknowledgement is not awaited.
        if (FirmwareLinesSent == m_file.FirmwareLineCount)
            return 0;
        if (!acknowledged())
            return NoLineHandshake;
        m_view.setProgress(vb::CInt(FirmwareLinesSent * 100.0 / m_file.FirmwareLineCount));
        Wait::DoEvents();
        m_view.redraw();
    }
}

// "x " up to twice; any ":x" report the parser sees (it sets FlashAckFlag) answers it.
// Serves no events: the port is read here.
bool FirmwareUpload::handshake()
{
    ModuleState::Tools &flash = Module().tools;
    for (int attempt = 0; attempt < 2; ++attempt) {
        send(QStringLiteral("x "));
        flash.FlashInProgress = true;
        const uint32_t sent = Clock::GetTickCount();
        for (;;) {
            if (flash.FlashAckFlag)
                return true;
            if (Clock::TicksSince(sent) > uint32_t(m_timings.handshakeMs))
                break;
            if (m_link->InBufferCount() > 0)
                passToParser();
        }
    }
    return false;
}

// Until the status says erased (3) or no programming voltage (1), or the time is up;
// serves events once a pass. What has arrived is read once more after the deadline: an
// event served meanwhile (a modal window) may have held the wait past it.
void FirmwareUpload::awaitErase()
{
    const ModuleState::Tools &flash = Module().tools;
    const auto decided = [&] { return flash.FlashStatus == 1 || flash.FlashStatus == 3; };
    const uint32_t start = Clock::GetTickCount();
    while (Clock::TicksSince(start) <= uint32_t(m_timings.eraseMs) && !decided()) {
        if (m_link->InBufferCount() > 0)
            passToParser();
        Wait::DoEvents();
    }
    if (!decided() && m_link->InBufferCount() > 0)
        passToParser();
}

// True once nothing is left to send; false when the output is still queued at the deadline.
bool FirmwareUpload::drained()
{
    const uint32_t start = Clock::GetTickCount();
    while (m_link->OutBufferCount() > 0) {
        if (Clock::TicksSince(start) >= uint32_t(m_timings.drainMs))
            return false;
    }
    return true;
}

// Waits, serving no events, for a received chunk that holds "*". Each arrival replaces
// the last; one that comes only after the deadline does not count.
bool FirmwareUpload::acknowledged()
{
    QString reply;
    if (m_link->InBufferCount() > 0)
        reply = m_link->RecieveNoTimeout();
    const uint32_t start = Clock::GetTickCount();
    uint32_t elapsed = 0;
    while (!reply.contains(QLatin1Char('*')) && elapsed < uint32_t(m_timings.lineMs)) {
        elapsed = Clock::TicksSince(start);
        if (m_link->InBufferCount() > 0)
            reply = m_link->RecieveNoTimeout();
    }
    return elapsed < uint32_t(m_timings.lineMs);
}

void FirmwareUpload::send(const QString &text)
{
    Held(m_link).TransmitForUpload(text);
}

void FirmwareUpload::passToParser()
{
    Held(ControlWindows().Main).Handle_Received(Held(m_link).RecieveNoTimeout());
}
