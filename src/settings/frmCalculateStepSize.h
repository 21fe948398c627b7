#pragma once

#include "platform/OkCancelDialog.h"

class QLabel;
class QLineEdit;
class QPushButton;

// "Calculate Step Size": the focuser step size (0.001 inch per step) from the secondary
// mirror's magnification m, s = (m^2 + 1) x 0.025. OK stores the shown value, rounded to
// three decimals, in StepSize; Cancel changes nothing.
class frmCalculateStepSize : public OkCancelDialog
{
    Q_OBJECT

public:
    explicit frmCalculateStepSize(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QLineEdit *txtMag = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *lblStepSize = nullptr;

    void cmdOK_Click() override;

    // Shows a fresh dialog modally; the caller reads StepSize afterwards.
    static void showModal(QWidget *parent = nullptr);

private:
    void Form_Load();
    void txtMag_Change();
};
