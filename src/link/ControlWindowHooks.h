#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class ControlSink;
class ListControl;
class Serial;

// What the console offers the windows and tools below it.
class ControlWindowAccess
{
public:
    // The window's holder of the shared link (its `GetSerial`).
    virtual std::shared_ptr<Serial> link() const = 0;
    // Sets the window's Timer3 to `intervalMs` and restarts it.
    virtual void RestartTimer3(int32_t intervalMs) = 0;

protected:
    ~ControlWindowAccess() = default;
};

// What the main window offers the windows and tools below it.
class MainWindowAccess : public ControlWindowAccess
{
public:
    // Its report parser, for tools that read the port themselves.
    virtual void Handle_Received(const QString &chunk) = 0;
    // The caption of the rotator angle label (`lblRot`).
    virtual QString RotatorCaption() const = 0;
    virtual void setRotatorGotoText(const QString &text) = 0; // `txtRotGOTO`
    virtual int16_t primaryCoverMode() const = 0;
    // Sets the cover mode and shows the primary-cover panel for mode 1.
    virtual void setPrimaryCoverMode(int16_t mode) = 0;
    // The stored-position lists `Combo1` and `cmbRotStore`. Entries changed through these
    // run no handler; setting the selected index runs the list's click handler.
    virtual ListControl &FocusList() = 0;
    virtual ListControl &RotatorList() = 0;

protected:
    ~MainWindowAccess() = default;
};

// Where the control windows and the windows the main window's parser fills register while
// they are loaded; each entry is null otherwise. The lower libraries reach them only here.
struct ControlWindowHooks
{
    MainWindowAccess *Main = nullptr;
    ControlWindowAccess *Console = nullptr;
    // Controls the main window's parser writes: the options window and the heater wizard.
    ControlSink *SettingsWindow = nullptr;
    ControlSink *HeaterWizard = nullptr;
};

ControlWindowHooks &ControlWindows();

// The main window's link; null without the main window. Reach it through Held where a
// missing one is error 91.
std::shared_ptr<Serial> MainWindowLink();

// The shared link of the main window or, without it, the console. VbError 91 when neither
// window holds the link.
Serial &ControlWindowLink();

// Sends `command` through ControlWindowLink() the operator windows' way (OperatorSend): true
// when it left; otherwise their refusal box has said why.
bool SendThroughControlWindow(const QString &command);

// After a rotator move from here: no offset, the follow of both windows held off until the
// Timer3 of the main window (or, without it, the console) sees the rotator stand.
void HoldOffFollow();
