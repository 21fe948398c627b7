#include "drivers/frmRotatorSetup.h"

frmRotatorSetup::frmRotatorSetup(QWidget *parent)
    : DriverSetupDialog(QStringLiteral("frmRotatorSetup"), QStringLiteral("Setup ORVA VKM Rotator"),
                        QStringLiteral("ORVA VKM ZEL Control 1.0"), parent)
{
    openKeyAndReadLinkSettings();
    showLinkSettings();
}

void frmRotatorSetup::cmdOK_Click()
{
    SettingsWrite write(key());
    if (!storeLinkSettings(write))
        return;
    if (allSaved(write))
        accept();
}

void frmRotatorSetup::showModal()
{
    showFresh<frmRotatorSetup>();
}
