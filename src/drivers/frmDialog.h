#pragma once

#include "drivers/DriverSetupDialog.h"

class QGroupBox;
class QLineEdit;

// "Setup ORVA VKM Focuser", the Focuser's SetupDialog: the port, the console option, the
// focuser step size (0.001 inch, with the calculator) and the small and large steps that
// the focuser reports to focusing programs.
class frmDialog : public DriverSetupDialog
{
    Q_OBJECT

public:
    explicit frmDialog(QWidget *parent = nullptr);

    QLabel *Label4 = nullptr;
    QLineEdit *txtStepSize = nullptr;
    QPushButton *cmdCalc = nullptr;
    QGroupBox *Frame1 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    QLineEdit *txtSmallStepSize = nullptr;
    QLabel *Label7 = nullptr;
    QLineEdit *txtLargeStepSize = nullptr;

    void cmdOK_Click() override;
    void cmdCalc_Click();

    // Shows a fresh dialog modally and returns when it closes; refused during an upload.
    static void showModal();
};
