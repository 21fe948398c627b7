#include "platform/Screen.h"

#include <QApplication>
#include <QGuiApplication>

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

void setBeepHook(std::function<void()> hook)
{
    s_beepHook = std::move(hook);
}

} // namespace Screen
