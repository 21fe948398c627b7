#include "drivers/DriverDialogs.h"

#include "drivers/FormLauncher.h"
#include "drivers/frmDialog.h"
#include "drivers/frmRotatorSetup.h"

void InstallDriverDialogs()
{
    DriverForms().ShowFocuserSetup = [] { frmDialog::showModal(); };
    DriverForms().ShowRotatorSetup = [] { frmRotatorSetup::showModal(); };
}
