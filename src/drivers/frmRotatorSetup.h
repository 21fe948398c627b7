#pragma once

#include "drivers/DriverSetupDialog.h"

// "Setup ORVA VKM Rotator", the Rotator's and the Stepper's SetupDialog: the port and the
// console option.
class frmRotatorSetup : public DriverSetupDialog
{
    Q_OBJECT

public:
    explicit frmRotatorSetup(QWidget *parent = nullptr);

    void cmdOK_Click() override;

    // Shows a fresh dialog modally and returns when it closes; refused during an upload.
    static void showModal();
};
