#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// "Slew telescope to new FOV position?", topmost. The answer goes to
// MoveTelescopeConfirmed; closing by the title bar answers Cancel.
class frmPromptMoveTelescope : public QDialog
{
    Q_OBJECT

public:
    explicit frmPromptMoveTelescope(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

    void cmdOK_Click();
    void cmdCancel_Click();

    // Shows a fresh window modally and returns MoveTelescopeConfirmed.
    static bool ask(QWidget *parent = nullptr);

    void reject() override;
};
