#include "link/RotatorQueryCount.h"

#include "platform/Clock.h"

RotatorQueryCount::RotatorQueryCount()
    : m_framing([this](QStringView code, QStringView) {
          dropExpired();
          if (code == u":rt" && !m_sent.empty())
              m_sent.pop_front();
      })
{
}

void RotatorQueryCount::Sent(const QString &data)
{
    dropExpired();
    for (const QStringView token : QStringView(data).tokenize(u' ', Qt::SkipEmptyParts))
        if (token == u"R")
            m_sent.push_back(Clock::GetTickCount());
}

void RotatorQueryCount::Received(const QString &chunk)
{
    m_framing.Handle_Received(chunk);
}

int RotatorQueryCount::Pending()
{
    dropExpired();
    return int(m_sent.size());
}

void RotatorQueryCount::dropExpired()
{
    while (!m_sent.empty() && Clock::TicksSince(m_sent.front()) > AnswerWithinMs)
        m_sent.pop_front();
}
