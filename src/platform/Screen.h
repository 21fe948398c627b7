#pragma once

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

} // namespace Screen
