#include "platform/PostedBoxes.h"

#include "platform/UserPrompts.h"

#include <QCoreApplication>
#include <algorithm>

namespace {

int holds = 0;
std::vector<PostedBoxes *> &queues()
{
    static std::vector<PostedBoxes *> all;
    return all;
}

} // namespace

PostedBoxes::PostedBoxes(QObject *owner) : QObject(owner)
{
    queues().push_back(this);
}

PostedBoxes::~PostedBoxes()
{
    std::erase(queues(), this);
}

PostedBoxes::Hold::Hold()
{
    ++holds;
}

PostedBoxes::Hold::~Hold()
{
    if (--holds > 0)
        return;
    for (PostedBoxes *queue : queues()) {
        if (!queue->m_pending.empty())
            queue->schedule();
    }
}

bool PostedBoxes::Held()
{
    return holds > 0;
}

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
    schedule();
}

void PostedBoxes::schedule()
{
    // A box posted while one is up opens after it, from the same loop below; one posted
    // under a hold waits for its end.
    if (m_scheduled || m_showing || Held())
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
    while (!m_pending.empty() && !Held()) {
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
