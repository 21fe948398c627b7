#include "drivers/FormLauncher.h"

#include "drivers/frmRotatorSetup.h"
#include "windows/Forms.h"

namespace FormLauncher {

// The console is not part of this build yet; showing it does nothing.
void ShowConsole() {}

void ShowMainWindow()
{
    ShowMainForm();
}

void ShowRotatorSetup()
{
    frmRotatorSetup::showModal();
}

} // namespace FormLauncher
