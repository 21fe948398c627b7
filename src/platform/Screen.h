#pragma once

#include <QPoint>
#include <QSize>
#include <functional>

// The screen's mouse pointer and the system beep, as windows set them. The pointer is one
// value, not a stack: setting it twice and clearing it once leaves the default pointer.
namespace Screen {

enum MousePointerShape : int { vbDefault = 0, vbHourglass = 11 };

// Shows the hourglass over every window of the program (vbHourglass) or the default pointer
// (any other value, which also removes every override cursor left by others).
void SetMousePointer(int pointer);
int MousePointer();

// The system beep; tests can watch it with a hook (null restores the real beep).
void Beep();
void setBeepHook(std::function<void()> hook);

// Where a window of `size` (without its frame) saved at `saved` opens: there while some
// screen shows its title strip, else moved onto the primary screen, frame and all (a monitor
// that was removed).
QPoint ShownPosition(QPoint saved, QSize size);

} // namespace Screen
