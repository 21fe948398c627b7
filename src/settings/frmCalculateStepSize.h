#pragma once

#include "platform/OkCancelDialog.h"

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

// "Calculate Step Size": the focuser step size (0.001 inch per step) from the secondary
// mirror's magnification m, s = (m^2 + 1) x 0.025, opened on the StepSize in use. OK gives
// the caller the shown value (three decimals), which it takes over with its own OK; the
// calculator itself changes no setting.
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

    // The value OK took; nothing before OK or after Cancel.
    std::optional<float> chosen() const { return m_chosen; }

    // Shows a fresh dialog modally and returns the value its OK took.
    static std::optional<float> showModal(QWidget *parent = nullptr);

private:
    void Form_Load();
    void txtMag_Change();

    std::optional<float> m_chosen;
};
