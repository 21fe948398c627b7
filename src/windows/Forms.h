#pragma once

// The windows of this folder, each one global instance created on first use. With
// create = false an accessor returns the existing instance or null. The main window and
// the console are destroyed when they close, and the next use creates (and loads) a fresh
// one; the pop-ups are hidden and shown again.
class frmConsole;
class frmMain;
class frmRotIndicator;
class frmWrapMessage;

frmMain *MainForm(bool create = true);
frmConsole *ConsoleForm(bool create = true);
frmRotIndicator *RotIndicatorForm(bool create = true);
frmWrapMessage *WrapMessageForm(bool create = true);

// Shows the main window modeless (the drivers' ShowForm 2).
void ShowMainForm();
// Shows the console modeless (the drivers' ShowForm 1 and their link).
void ShowConsoleForm();
