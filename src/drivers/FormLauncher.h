#pragma once

#include "platform/Headless.h"

#include <functional>

// The windows a driver object opens. The automation classes know no window: the program
// fills these in at start (InstallDriverDialogs, InstallControlForms); an empty entry opens
// nothing.
struct FormLauncher
{
    // The console and the main window, modeless, each created on first use.
    std::function<void()> ShowConsole;
    std::function<void()> ShowMainWindow;
    // The setup dialogs, modal: each returns when its dialog closes. The rotator's serves
    // the Rotator and the Stepper.
    std::function<void()> ShowFocuserSetup;
    std::function<void()> ShowRotatorSetup;
};

FormLauncher &DriverForms();

// Runs `show` when it is set and there is a display to show it on.
inline void Launch(const std::function<void()> &show)
{
    if (show && !Headless::Active())
        show();
}
