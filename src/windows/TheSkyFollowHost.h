#pragma once

#include "link/Serial.h"

#include <QString>

class QWidget;

// What the TheSky follow needs of the window it runs in: the main window or the console.
class TheSkyFollowHost
{
public:
    enum class Window { Main, Console };

    virtual ~TheSkyFollowHost() = default;

    virtual Window kind() const = 0;
    // Sends `command` whole through the window's link (the shared one), without a box.
    virtual Serial::SendResult Transmit(const QString &command) = 0;
    // The window's link, whose record of the controller's reports the follow decides on.
    virtual Serial *Link() const = 0;
    // Sets the window's TheSkyUpdateHold and restarts the timer that clears it 2000 ms on
    // (the main window's Timer2, the console's Timer4).
    virtual void HoldTheSkyUpdate() = 0;
    // Restarts the window's Timer3, which clears RotatorMovePending once the rotator stands.
    virtual void RestartMoveWatch() = 0;
    // Starts or stops the window's tmrTheSky.
    virtual void EnableFollowTimer(bool enabled) = 0;

    // The main window's connect box (set without running its click) and cmdZELUtils.
    virtual void SetConnectBox(bool) {}
    virtual void EnableUtilities(bool) {}

    // The window has closed (its deletion waits for the running handler): stop following.
    virtual bool Closing() const { return false; }

    // The window the prompts belong to.
    virtual QWidget *PromptParent() { return nullptr; }
};
