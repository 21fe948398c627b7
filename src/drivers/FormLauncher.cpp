#include "drivers/FormLauncher.h"

#include "drivers/frmRotatorSetup.h"

namespace FormLauncher {

// The console and the main window are not part of this build yet; showing them does nothing.
void ShowConsole() {}
void ShowMainWindow() {}
void ShowRotatorSetup()
{
    frmRotatorSetup::showModal();
}

} // namespace FormLauncher
