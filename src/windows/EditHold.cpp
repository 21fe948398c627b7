#include "windows/EditHold.h"

#include "platform/VbTimer.h"

#include <QEvent>
#include <QKeyEvent>
#include <QWidget>
#include <algorithm>

EditHold::EditHold(VbTimer &releaseTimer, QObject *parent) : QObject(parent), m_timer(releaseTimer) {}

void EditHold::watch(QWidget *control, bool &flag)
{
    add(flag);
    m_flagOf.insert(control, &flag);
    m_controlOf.insert(control, control);
    control->installEventFilter(this);
    for (QWidget *child : control->findChildren<QWidget *>()) {
        m_controlOf.insert(child, control);
        child->installEventFilter(this);
    }
}

void EditHold::add(bool &flag)
{
    if (std::find(m_flags.begin(), m_flags.end(), &flag) == m_flags.end())
        m_flags.push_back(&flag);
}

void EditHold::guardPresses(std::function<bool()> allowed)
{
    m_allowed = std::move(allowed);
}

namespace {

// Keys that move the focus or only modify another key change no control.
bool onlyMovesFocus(const QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    switch (static_cast<const QKeyEvent *>(event)->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
        return true;
    default:
        return false;
    }
}

} // namespace

bool EditHold::any() const
{
    return std::any_of(m_flags.begin(), m_flags.end(), [](const bool *f) { return *f; });
}

void EditHold::clearAll()
{
    for (bool *f : m_flags)
        *f = false;
}

void EditHold::restartTimer()
{
    m_timer.setEnabled(false);
    m_timer.setEnabled(true);
}

bool EditHold::eventFilter(QObject *watched, QEvent *event)
{
    QWidget *control = m_controlOf.value(watched);
    if (!control)
        return false;
    bool press = false;
    bool release = false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        press = true;
        break;
    case QEvent::MouseButtonRelease:
        release = true;
        break;
    case QEvent::KeyPress:
        press = true;
        break;
    case QEvent::KeyRelease:
        release = true;
        break;
    case QEvent::Wheel:
        // A wheel step is a press and a release in one.
        press = release = true;
        break;
    default:
        return false;
    }
    if (press && m_allowed && !onlyMovesFocus(event) && !m_allowed())
        return true;
    if (press) {
        *m_flagOf.value(control) = true;
        m_timer.setEnabled(false);
        emit pressed(control);
    }
    if (release) {
        restartTimer();
        emit released(control);
    }
    return false;
}
