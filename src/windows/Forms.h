#pragma once

// The windows of this folder, each one global instance created on first use. With
// create = false an accessor returns the existing instance or null. The main window is
// destroyed when it closes and the next use creates (and loads) a fresh one; the pop-ups
// are hidden and shown again.
class frmMain;
class frmRotIndicator;
class frmWrapMessage;

frmMain *MainForm(bool create = true);
frmRotIndicator *RotIndicatorForm(bool create = true);
frmWrapMessage *WrapMessageForm(bool create = true);

// Shows the main window modeless (the drivers' ShowForm 2).
void ShowMainForm();
