#pragma once

#include <QString>
#include <cstdint>
#include <functional>

class Serial;

// What the alignment windows need of the main window and the console, which this library
// cannot see: each window fills in its part while it is loaded and empties it at unload.
struct ControlWindowHooks
{
    // The caption of the main window's rotator angle label (`lblRot`).
    std::function<QString()> MainRotatorCaption;
    // Sets the window's Timer3 to `intervalMs` and restarts it.
    std::function<void(int32_t intervalMs)> RestartMainTimer3;
    std::function<void(int32_t intervalMs)> RestartConsoleTimer3;
};

ControlWindowHooks &ControlWindows();

// Sends `command` through the shared link of the main window or, without it, the console.
// VbError 91 when neither window holds the link.
void SendThroughControlWindow(const QString &command);

// After a rotator move from here: no offset, the follow of both windows held off until the
// Timer3 of the main window (or, without it, the console) sees the rotator stand.
void HoldOffFollow();
