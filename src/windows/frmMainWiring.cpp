// The main window's command controls connected to their handlers, and the steps the
// handlers share. Writes from code raise toggled/valueChanged/textChanged, so they run the
// Click and Change handlers as VB did; the edit holds keep those writes from being sent.
#include "windows/frmMain.h"

#include "link/OperatorSend.h"
#include "link/Serial.h"
#include "platform/ControlEvents.h"
#include "platform/RunningHandler.h"
#include "windows/EditHold.h"
#include "windows/WindowRules.h"
#include "windows/frmMainCommands.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

using namespace MainMessages;

void frmMain::connectCommands()
{
    cmdGoto_Click = [this] { trapped([this] { focusGoto(beginStep(GetSerial.get(), MovedDevice::Focuser)); }); };
    cmdRotGOTO_Click = [this] { trapped([this] { rotatorGoto(); }); };

    // An option's Click runs for the option that becomes selected.
    auto onSelected = [this](QRadioButton *option, std::function<void()> handler) {
        connect(option, &QAbstractButton::toggled, this, [handler](bool on) {
            if (on)
                handler();
        });
    };
    for (int i = 0; i < 2; ++i) {
        onSelected(optFan[i], [this, i] { optFan_Click(i); });
        onSelected(optSec[i], [this, i] { optSec_Click(i); });
        connect(udDew1[i], &QSpinBox::valueChanged, this, [this, i] { udDew1_Change(i); });
    }
    for (int i = 0; i < 4; ++i)
        onSelected(optFocus[i], [this, i] { optFocus_Click(i); });
    for (int i = 0; i < 5; ++i)
        onSelected(optRot[i], [this, i] { optRot_Click(i); });

    connect(UpDown1, &QSpinBox::valueChanged, this, &frmMain::UpDown1_Change);
    connect(UpDown2, &QSpinBox::valueChanged, this, &frmMain::UpDown2_Change);
    connect(UpDown3, &QSpinBox::valueChanged, this, &frmMain::UpDown3_Change);
    connect(UpDown5, &QSpinBox::valueChanged, this, &frmMain::UpDown5_Change);
    connect(UpDown6, &QSpinBox::valueChanged, this, &frmMain::UpDown6_Change);
    // A typed value counts once it is entered, not at every digit.
    for (QSpinBox *spin : {UpDown1, UpDown2, UpDown3, UpDown5, UpDown6, udDew1[0], udDew1[1]})
        spin->setKeyboardTracking(false);
    // Only a press that can step the power selects Manual (not Tab or a shortcut).
    const std::initializer_list<QEvent::Type> presses = {QEvent::MouseButtonPress, QEvent::MouseButtonDblClick,
                                                         QEvent::KeyPress, QEvent::Wheel};
    OnControlEvent(UpDown2, presses, [this](QEvent *e) {
        if (StepsSpinner(e))
            UpDown2_MouseDown();
        return false;
    });
    OnControlEvent(UpDown5, presses, [this](QEvent *e) {
        if (StepsSpinner(e))
            UpDown5_MouseDown();
        return false;
    });

    connect(txtRot, &QLineEdit::textChanged, this, &frmMain::txtRot_Change);
    OnControlEvent(txtRot, {QEvent::MouseButtonRelease}, [this] { txtRot_Click(); });
    OnControlEvent(txtRot, {QEvent::FocusOut}, [this](QEvent *e) {
        if (IsOperatorFocusLoss(e))
            txtRot_LostFocus();
        return false;
    });
    for (QLineEdit *box : {txtPosition, txtRotGOTO}) {
        OnControlEvent(box, {QEvent::KeyPress}, [box](QEvent *e) {
            const QChar typed = TypedCharacter(e);
            return !typed.isNull() && !GotoKeyAccepted(typed, box->text());
        });
    }

    // Focuser, steppers, cover and compensation.
    connect(Check1, &QAbstractButton::clicked, this, &frmMain::Check1_MouseUp);
    // The operator clicks between cleared and checked; grayed comes only from the setting.
    connect(chkCelcius, &QAbstractButton::pressed, this, [this] {
        if (chkCelcius->checkState() != Qt::PartiallyChecked)
            chkCelcius->setTristate(false);
    });
    connect(chkCelcius, &QCheckBox::stateChanged, this, &frmMain::chkCelcius_Click);
    connect(chkRecallFocus, &QAbstractButton::clicked, this, &frmMain::chkRecallFocus_MouseUp);
    connect(cmdGoto, &QPushButton::clicked, this, [this] { cmdGoto_Click(); });
    connect(cmdHome, &QPushButton::clicked, this, &frmMain::cmdHome_Click);
    connect(cmdStopFocus, &QPushButton::clicked, this, &frmMain::cmdStopFocus_Click);
    connect(cmdRecordFocus, &QPushButton::clicked, this, &frmMain::cmdRecordFocus_Click);
    connect(Combo1, &QComboBox::activated, this, &frmMain::Combo1_Click);
    connect(cmdStore, &QPushButton::clicked, this, &frmMain::cmdStore_Click);
    connect(cmdSetMirrorSpacing, &QPushButton::clicked, this, &frmMain::cmdSetMirrorSpacing_Click);
    for (int i = 0; i < 4; ++i) {
        connect(cmdStepDown[i], &QPushButton::clicked, this, [this, i] { cmdStepDown_Click(i); });
        connect(cmdStepUp[i], &QPushButton::clicked, this, [this, i] { cmdStepUp_Click(i); });
    }
    connect(cmdOpenPrimaryCover, &QPushButton::clicked, this, &frmMain::cmdOpenPrimaryCover_Click);
    connect(cmdClosePrimaryCover, &QPushButton::clicked, this, &frmMain::cmdClosePrimaryCover_Click);
    connect(cmdTempComp, &QPushButton::clicked, this, &frmMain::cmdTempComp_Click);
    connect(cmdSynchTempComp, &QPushButton::clicked, this, &frmMain::cmdSynchTempComp_Click);

    // Rotator and jog buttons.
    connect(cmdRotGOTO, &QPushButton::clicked, this, [this] { cmdRotGOTO_Click(); });
    connect(cmbRotStore, &QComboBox::activated, this, &frmMain::cmbRotStore_Click);
    connect(cmdRotHome, &QPushButton::clicked, this, &frmMain::cmdRotHome_Click);
    connect(cmdStopRot, &QPushButton::clicked, this, &frmMain::cmdStopRot_Click);
    connect(cmdRecordRotator, &QPushButton::clicked, this, &frmMain::cmdRecordRotator_Click);
    connect(chkRecalRotator, &QAbstractButton::clicked, this, &frmMain::chkRecalRotator_MouseUp);
    connect(cmdRotStore, &QPushButton::clicked, this, &frmMain::cmdRotStore_Click);
    connect(cmdUnwrap, &QPushButton::clicked, this, &frmMain::cmdUnwrap_Click);
    connect(cmdWrapZero, &QPushButton::clicked, this, &frmMain::cmdWrapZero_Click);
    connect(cmdZELUtils, &QPushButton::clicked, this, &frmMain::cmdZELUtils_Click);
    connect(chkConnectTheSky, &QAbstractButton::clicked, this, &frmMain::chkConnectTheSky_MouseUp);
    connect(Command2, &QPushButton::clicked, this, &frmMain::Command2_Click);
    for (int i = 0; i < 4; ++i) {
        connect(Command1[i], &QPushButton::pressed, this, [this, i] { Command1_MouseDown(i); });
        connect(Command1[i], &QPushButton::released, this, [this, i] { Command1_MouseUp(i); });
    }
}

// The limit spinner takes ZELLimit at load; only later changes write it back.
void frmMain::connectAfterLoad()
{
    connect(udLimits, &QSpinBox::valueChanged, this, &frmMain::udLimits_Change);
    OnControlEvent(udLimits, {QEvent::FocusOut}, [this](QEvent *e) {
        if (IsOperatorFocusLoss(e))
            udLimits_LostFocus();
        return false;
    });
}

// Every trapped handler may serve events (a box, a modal window, a wait): the window stands
// until it has returned. A command no longer wanted after a wait ends quietly.
void frmMain::trapped(const std::function<void()> &handler)
{
    const RunningHandler running(this);
    try {
        handler();
    } catch (const WindowRules::StepWithdrawn &) {
    } catch (const std::exception &e) {
        showError(e);
    }
}

bool frmMain::send(const QString &command)
{
    return OperatorSend::Send(GetSerial.get(), command);
}

bool frmMain::sendWanted(const StepScope &step, const QString &command)
{
    return step.Wanted() && send(command);
}

// A check box the operator clicked sends its new state; refused, it shows the old one again.
void frmMain::sendCheck(QAbstractButton *box, const QString &checked, const QString &cleared)
{
    trapped([&] {
        if (!send(box->isChecked() ? checked : cleared))
            box->setChecked(!box->isChecked());
    });
}

Serial::SendResult frmMain::Transmit(const QString &command)
{
    return OperatorSend::Transmit(GetSerial.get(), command);
}

bool frmMain::portOpen() const
{
    return GetSerial && GetSerial->Connected();
}

// Also refused while a firmware upload owns the line: its sends would not leave.
bool frmMain::portRefused()
{
    return !OperatorSend::Ready(GetSerial.get());
}
