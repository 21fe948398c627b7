#include "link/RotatorQueryCount.h"

#include "platform/Clock.h"

RotatorQueryCount::RotatorQueryCount()
    : m_framing([this](QStringView code, QStringView) {
          if (code == u":rt" && m_pending > 0)
              --m_pending;
      })
{
}

void RotatorQueryCount::Sent(const QString &data)
{
    for (const QStringView token : QStringView(data).tokenize(u' ', Qt::SkipEmptyParts))
        if (token == u"R") {
            if (Pending() == 0)
                m_quietSince = Clock::GetTickCount();
            ++m_pending;
        }
}

void RotatorQueryCount::Received(const QString &chunk)
{
    // The controller is talking: what it has not answered yet may still come.
    m_quietSince = Clock::GetTickCount();
    m_framing.Handle_Received(chunk);
}

int RotatorQueryCount::Pending()
{
    if (m_pending > 0 && Clock::TicksSince(m_quietSince) > LostAfterMs)
        Clear();
    return m_pending;
}

void RotatorQueryCount::Clear()
{
    m_pending = 0;
    m_framing.Carry.clear();
    m_framing.Code.clear();
    m_framing.Partial = false;
}
