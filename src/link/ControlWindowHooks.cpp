#include "link/ControlWindowHooks.h"

#include "link/ModuleState.h"
#include "link/Serial.h"
#include "platform/VbError.h"

ControlWindowHooks &ControlWindows()
{
    static ControlWindowHooks hooks;
    return hooks;
}

void SendThroughControlWindow(const QString &command)
{
    const ModuleState::Link &link = Module().link;
    if (!(link.MainFormOpen || link.ConsoleFormOpen) || !link.SharedSerial)
        throw VbError(91, QStringLiteral("Object variable or With block variable not set"));
    link.SharedSerial->Transmit(command);
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
