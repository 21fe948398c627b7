#include "drivers/FormLauncher.h"

namespace FormLauncher {

// The console and the main window are not part of this build yet; showing them does nothing.
void ShowConsole() {}
void ShowMainWindow() {}
// Nor is the rotator setup dialog.
void ShowRotatorSetup() {}

} // namespace FormLauncher
