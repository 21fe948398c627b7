#pragma once

#include "link/ModuleState.h"
#include "link/StepScope.h"
#include "platform/VbTimer.h"
#include "windows/WindowRules.h"

#include <QCloseEvent>

// What the main window and the console have in common as operator windows: their close
// path and the TheSky-update hold.
//
// Closing is refused while a firmware upload runs; otherwise it asks what to do with a
// running data log (WindowRules::MayCloseWhileLogging, with the other operator window and
// the window's own way of stopping the log), then unloads the window once. The hold keeps
// the parser from pushing rotator targets to TheSky while the follow itself turns or
// relabels the rotator; the window's release timer ends it.
template <typename Base>
class OperatorWindow : public Base
{
public:
    using Base::Base;

    // True once the window has unloaded (closed); it is deleted soon after.
    bool isUnloaded() const { return m_unloaded; }

    bool TheSkyUpdateHold = false;

    // While a firmware upload owns the line neither operator window closes: the upload
    // needs the main window's link, and the last window's going would end the process
    // with the controller half programmed.
    static bool FirmwareUploadRunning() { return Module().tools.FlashInProgress; }

    // Whether the window may close now: asks about a running data log.
    bool Form_QueryUnload()
    {
        return WindowRules::MayCloseWhileLogging(otherWindowOpen(), [this] { stopLogging(); });
    }

protected:
    // The scope of a command whose steps wait (a box, the controller's answer): after each
    // wait it goes on only while this window is open, `device` was not halted and the port
    // and controller are the same.
    StepScope beginStep(const Serial *link, MovedDevice device) const
    {
        return StepScope(link, device, [this] { return m_unloaded ? QStringLiteral("the window closed") : QString(); });
    }

    // Whether the other operator window is open, so logging may go on without this one.
    virtual bool otherWindowOpen() const = 0;
    // Stops data logging, with whatever the window shows of it.
    virtual void stopLogging() = 0;
    // Saves the window's settings and lets go of the link; sets m_unloaded.
    virtual void Form_Unload() = 0;

    void closeEvent(QCloseEvent *event) override
    {
        if (m_unloaded || FirmwareUploadRunning() || !Form_QueryUnload()) {
            event->ignore();
            return;
        }
        event->accept();
        Form_Unload();
    }

    // Sets the hold for 2 s from now on `release`, whose tick calls releaseTheSkyUpdate.
    void holdTheSkyUpdate(VbTimer &release)
    {
        TheSkyUpdateHold = true;
        release.setInterval(2000);
        release.setEnabled(false);
        release.setEnabled(true);
    }

    void releaseTheSkyUpdate(VbTimer &release)
    {
        TheSkyUpdateHold = false;
        release.setEnabled(false);
    }

    bool m_unloaded = false;
};
