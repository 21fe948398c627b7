#pragma once

#include <QString>

// Whether the program has a display to show windows on. A server the bus starts for a
// client with no desktop (over ssh) has none: it still serves, on the offscreen platform,
// and refuses what would show a window.
namespace Headless {

// Before the application is made: with no platform chosen (QT_QPA_PLATFORM, -platform) and
// no display named (DISPLAY, WAYLAND_DISPLAY), takes the offscreen platform and answers
// message boxes on standard error (each as closed without a choice); Active() is true from
// then on.
void ChooseForEnvironment(int argc, char **argv);

bool Active();

// Why nothing can be shown, for a refusal.
QString Refusal();

} // namespace Headless
