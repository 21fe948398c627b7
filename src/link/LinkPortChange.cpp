#include "link/LinkPortChange.h"

#include "link/ModuleState.h"
#include "link/Serial.h"
#include "platform/VbError.h"

LinkPortChange::LinkPortChange(Serial &link, int16_t port, bool open)
    : m_link(link)
    , m_former(link.Port())
    , m_wasOpen(link.Connected())
{
    if (Module().tools.FlashInProgress)
        throw Serial::UploadOwnsPort();
    if (m_wasOpen)
        m_link.setConnected(false);
    try {
        m_link.setPort(port);
        if (open || m_wasOpen)
            m_link.setConnected(true);
    } catch (const VbError &) {
        restore();
        throw;
    }
}

void LinkPortChange::undo()
{
    try {
        if (m_link.Connected())
            m_link.setConnected(false);
    } catch (const VbError &) {
        return; // an upload took the line meanwhile: it stays where it is
    }
    restore();
}

void LinkPortChange::restore()
{
    // The former port was in use a moment ago; should it fail now, the link stays closed.
    try {
        m_link.setPort(m_former);
        if (m_wasOpen)
            m_link.setConnected(true);
    } catch (const VbError &) {
    }
}
