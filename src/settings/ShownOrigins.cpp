#include "settings/ShownOrigins.h"

#include "link/Serial.h"

void ShownOrigins::edited(const QString &control)
{
    m_origins.insert(control, {true, {}, 0});
}

void ShownOrigins::reported(const QString &control, const std::shared_ptr<Serial> &link)
{
    if (link)
        m_origins.insert(control, {false, link, link->Reports().Epoch()});
    else
        m_origins.remove(control);
}

bool ShownOrigins::byOperator(const QString &control) const
{
    return m_origins.value(control).byOperator;
}

bool ShownOrigins::vouched(const QString &control, const std::shared_ptr<Serial> &link) const
{
    const auto found = m_origins.constFind(control);
    if (found == m_origins.constEnd())
        return false;
    if (found->byOperator)
        return true;
    return link && found->link.lock() == link && found->epoch == link->Reports().Epoch();
}
