#include "platform/PostedBoxes.h"

#include "platform/UserPrompts.h"

#include <QCoreApplication>

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

void PostedBoxes::showPending()
{
    m_scheduled = false;
    m_showing = true;
    const QPointer<PostedBoxes> self(this);
    while (!m_pending.empty()) {
        const Box box = m_pending.front();
        m_pending.erase(m_pending.begin());
        MsgBox(box.prompt, box.buttons, box.title);
        if (!self)
            return; // the owner went while the box was up
    }
    m_showing = false;
}
