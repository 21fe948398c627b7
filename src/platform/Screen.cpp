#include "platform/Screen.h"

#include <QApplication>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <algorithm>

namespace Screen {

namespace {
int s_pointer = vbDefault;
std::function<void()> s_beepHook;
} // namespace

void SetMousePointer(int pointer)
{
    if (pointer == vbHourglass) {
        if (QGuiApplication::overrideCursor())
            QGuiApplication::changeOverrideCursor(Qt::WaitCursor);
        else
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        s_pointer = vbHourglass;
        return;
    }
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
    s_pointer = vbDefault;
}

int MousePointer()
{
    // Someone else may have cleared the override cursors meanwhile.
    if (s_pointer == vbHourglass && !QGuiApplication::overrideCursor())
        s_pointer = vbDefault;
    return s_pointer;
}

void Beep()
{
    if (s_beepHook)
        s_beepHook();
    else
        QApplication::beep();
}

QPoint ShownPosition(QPoint saved, QSize size)
{
    // The strip a window is dragged by: enough of it on a screen to reach it.
    constexpr int StripHeight = 30;
    constexpr int StripReach = 50;
    const QRect strip(saved, QSize(size.width(), StripHeight));
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect shown = strip.intersected(screen->availableGeometry());
        if (shown.width() >= std::min(StripReach, size.width()) && shown.height() >= std::min(StripHeight, size.height()) / 2)
            return saved;
    }
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary)
        return saved;
    // Room for the frame the window manager draws around it (unknown before it is shown).
    const QSize framed = size + QSize(8, 32);
    const QRect area = primary->availableGeometry();
    return {std::clamp(saved.x(), area.left(), std::max(area.left(), area.right() + 1 - framed.width())),
            std::clamp(saved.y(), area.top(), std::max(area.top(), area.bottom() + 1 - framed.height()))};
}

void setBeepHook(std::function<void()> hook)
{
    s_beepHook = std::move(hook);
}

} // namespace Screen
