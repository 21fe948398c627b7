#include "platform/PostedBoxes.h"

#include "platform/UserPrompts.h"

#include <QCoreApplication>
#include <algorithm>

PostedBoxes::PostedBoxes(QObject *owner) : QObject(owner) {}

PostedBoxes &PostedBoxes::Application()
{
    static QPointer<PostedBoxes> boxes;
    if (!boxes)
        boxes = new PostedBoxes(QCoreApplication::instance());
    return *boxes;
}

void PostedBoxes::post(const QString &prompt, int buttons, const QString &title)
{
    m_pending.push_back({prompt, buttons, title});
    // A box posted while one is up opens after it, from the same loop below.
    if (m_scheduled || m_showing)
        return;
    m_scheduled = true;
    QMetaObject::invokeMethod(this, &PostedBoxes::showPending, Qt::QueuedConnection);
}

void PostedBoxes::postOnce(const QString &prompt, int buttons, const QString &title)
{
    const Box box{prompt, buttons, title};
    if (m_up == box || std::find(m_pending.begin(), m_pending.end(), box) != m_pending.end())
        return;
    post(prompt, buttons, title);
}

void PostedBoxes::showPending()
{
    m_scheduled = false;
    m_showing = true;
    const QPointer<PostedBoxes> self(this);
    while (!m_pending.empty()) {
        const Box box = m_pending.front();
        m_pending.erase(m_pending.begin());
        m_up = box;
        MsgBox(box.prompt, box.buttons, box.title);
        if (!self)
            return; // the owner went while the box was up
        m_up.reset();
    }
    m_showing = false;
}
