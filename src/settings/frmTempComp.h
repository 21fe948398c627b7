#pragma once

#include "platform/VbTimer.h"

#include "platform/OkCancelDialog.h"
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class Serial;

// "Temperature Compensation": the focuser's compensation coefficient (counts per degree,
// held in tenths by UpDown2), movement threshold (UpDown1) and mode (off, automatic,
// manual) as the controller holds them. OK sends the values the operator changed and the
// mode, and records them (the mode in TempCompMode) once all went out; on a closed port, or
// with a coefficient that would go out other than shown, it sends and changes nothing. Cancel
// sends and changes nothing.
class frmTempComp : public OkCancelDialog
{
    Q_OBJECT

public:
    // The link the dialog sends through, fetched anew for each command (the main window's).
    using LinkSource = std::function<std::shared_ptr<Serial>()>;

    explicit frmTempComp(LinkSource link, QWidget *parent = nullptr);
    ~frmTempComp() override;

    QGroupBox *Frame1 = nullptr;
    QRadioButton *optC = nullptr;
    QRadioButton *optF = nullptr;
    std::array<QRadioButton *, 3> optTempComp{}; // the index is the mode
    QSpinBox *UpDown2 = nullptr;                 // coefficient x 10
    QLabel *lblVKMoef = nullptr;
    QSpinBox *UpDown1 = nullptr;                 // threshold in counts
    QLabel *lblTCMin = nullptr;
    VbTimer Timer1; // one late look at the controller's values

    // True once the operator has worked either spinner.
    bool ValuesChanged = false;

    void Timer1_Timer();
    void cmdOK_Click() override;
    void cmdCancel_Click() override;

    // Shows a fresh dialog modally; true when its OK sent the mode (read TempCompMode then).
    static bool showModal(LinkSource link, QWidget *parent = nullptr);


private:
    void Form_Load();
    void showControllerValues();
    void showCoefficient(); // optC_Click, optF_Click and UpDown2_Change
    void UpDown1_Change();
    std::optional<int32_t> coefficientCounts() const;
    void transmit(const QString &command);
    void stopWaiting();

    LinkSource m_link;
    bool m_waiting = false; // the hourglass is shown
    // The spinners as the controller's values set them: only a change from these is sent.
    int m_foundCoefficient = 0;
    int m_foundThreshold = 0;
};
