#include "link/ControlWindowHooks.h"

#include "link/ModuleState.h"
#include "link/OperatorSend.h"
#include "link/Serial.h"
#include "platform/Held.h"

ControlWindowHooks &ControlWindows()
{
    static ControlWindowHooks hooks;
    return hooks;
}

std::shared_ptr<Serial> MainWindowLink()
{
    const MainWindowAccess *main = ControlWindows().Main;
    return main ? main->link() : nullptr;
}

Serial &ControlWindowLink()
{
    const ModuleState::Link &link = Module().link;
    if (!(link.MainFormOpen || link.ConsoleFormOpen))
        throw VbError::objectNotSet();
    return Held(link.SharedSerial);
}

bool SendThroughControlWindow(const QString &command)
{
    return OperatorSend::Send(&ControlWindowLink(), command);
}

void HoldOffFollow()
{
    ModuleState &m = Module();
    m.thesky.ZELOffset = 0;
    m.rotator.RotatorMovePending = true;
    const ControlWindowHooks &hooks = ControlWindows();
    ControlWindowAccess *window = m.link.MainFormOpen ? static_cast<ControlWindowAccess *>(hooks.Main) : hooks.Console;
    if (window)
        window->RestartTimer3(2000);
}
