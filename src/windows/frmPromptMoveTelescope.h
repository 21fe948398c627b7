#pragma once

#include "platform/OkCancelDialog.h"

class QLabel;
class QPushButton;

// "Slew telescope to new FOV position?", topmost. The answer goes to
// MoveTelescopeConfirmed; closing by the title bar answers Cancel.
class frmPromptMoveTelescope : public OkCancelDialog
{
    Q_OBJECT

public:
    explicit frmPromptMoveTelescope(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;

    void cmdOK_Click() override;
    void cmdCancel_Click() override;

    // Shows a fresh window modally and returns MoveTelescopeConfirmed.
    static bool ask(QWidget *parent = nullptr);

};
