#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRadioButton>
#include <QWidget>

// The operator's own hand on a control: real press and release events, so that event
// filters see the press before the control changes its value.
namespace OperatorInput {

inline void mouse(QWidget *widget, QEvent::Type type, QPointF at, Qt::KeyboardModifiers keys = Qt::NoModifier)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton, held, keys);
    QCoreApplication::sendEvent(widget, &event);
}

// Where a click hits the control: an option's or check box's indicator, else the middle.
inline QPointF hitPoint(QWidget *widget)
{
    if (qobject_cast<QRadioButton *>(widget) || qobject_cast<QCheckBox *>(widget))
        return QPointF(4, widget->height() / 2.0);
    return QRectF(widget->rect()).center();
}

inline void press(QWidget *widget)
{
    mouse(widget, QEvent::MouseButtonPress, hitPoint(widget));
}

inline void release(QWidget *widget)
{
    mouse(widget, QEvent::MouseButtonRelease, hitPoint(widget));
}

inline void click(QWidget *widget)
{
    press(widget);
    release(widget);
}

// A key pressed and let go on `widget` (arrow keys step a spinner).
inline void key(QWidget *widget, Qt::Key k)
{
    QKeyEvent down(QEvent::KeyPress, k, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &down);
    QKeyEvent up(QEvent::KeyRelease, k, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &up);
}

// The operator picks entry `index` from the list's popup (also the entry already shown).
inline void choose(QComboBox *list, int index)
{
    list->showPopup();
    QAbstractItemView *view = list->view();
    view->setCurrentIndex(view->model()->index(index, list->modelColumn()));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &enter);
}

// The operator moves the focus away from `widget`.
inline void leave(QWidget *widget)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(widget, &out);
}

} // namespace OperatorInput
