#pragma once

#include "platform/RunningHandler.h"
#include "platform/VbTimer.h"

#include <QFrame>
#include <QLabel>
#include <QString>
#include <initializer_list>

// Small pieces the operator windows are built from: controls under their own names (an
// array element as name_index) and the window timers.
namespace WindowParts {

template <typename W>
W *named(W *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

inline QString element(const char *name, int index)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

// A label whose changes stay inside it: of a fixed size, so a new text never lays out its
// window again, and opaque, so its repaint does not repaint what lies behind it.
inline QLabel *fixedLabel(QLabel *l, int width)
{
    l->setFixedSize(width, l->sizeHint().height());
    l->setAutoFillBackground(true);
    return l;
}

// A sunken read-out label.
inline QLabel *readout(const QString &name, int width, const QString &caption = QString())
{
    auto *l = named(new QLabel(caption), name);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    return fixedLabel(l, width);
}

// The size a window will open with: a window never resized takes its size hint when shown.
inline QSize openingSize(const QWidget *window)
{
    return window->testAttribute(Qt::WA_Resized) ? window->frameGeometry().size() : window->sizeHint();
}

// A window timer with its start interval and state; `tick` may be null.
template <typename Window>
struct TimerSetup
{
    VbTimer &timer;
    const char *name;
    int interval;
    bool enabled;
    void (Window::*tick)();
};

template <typename Window>
void setUpTimers(Window *window, std::initializer_list<TimerSetup<Window>> timers)
{
    for (const TimerSetup<Window> &t : timers) {
        t.timer.setObjectName(QString::fromLatin1(t.name));
        t.timer.setInterval(t.interval);
        // A window closed while its tick waits is deleted after the tick has returned.
        if (t.tick)
            QObject::connect(&t.timer, &VbTimer::Tick, window, [window, tick = t.tick] {
                const RunningHandler running(window);
                (window->*tick)();
            });
        t.timer.setEnabled(t.enabled);
    }
}

} // namespace WindowParts
