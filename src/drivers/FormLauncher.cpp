#include "drivers/FormLauncher.h"

#include "drivers/frmRotatorSetup.h"
#include "windows/Forms.h"

namespace FormLauncher {

void ShowConsole()
{
    ShowConsoleForm();
}

void ShowMainWindow()
{
    ShowMainForm();
}

void ShowRotatorSetup()
{
    frmRotatorSetup::showModal();
}

} // namespace FormLauncher
