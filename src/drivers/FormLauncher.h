#pragma once

// The windows a driver object opens: the console and the main window, modeless, each
// created on first use.
namespace FormLauncher {

void ShowConsole();
void ShowMainWindow();
// The rotator setup dialog frmRotatorSetup (Rotator and Stepper SetupDialog), modal: returns
// when it closes.
void ShowRotatorSetup();

} // namespace FormLauncher
