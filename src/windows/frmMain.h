#pragma once

#include "link/ControlWindowHooks.h"
#include "link/ReplyState.h"
#include "windows/OperatorWindow.h"
#include "platform/ListControl.h"
#include "platform/LogFile.h"
#include "platform/PostedBoxes.h"
#include "platform/VbTimer.h"
#include "windows/TheSkyFollow.h"

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QToolBar;
struct Report;
class EditHold;
class Serial;
class connector;

// The operator's full control window, "ORVA Korvane": four tabs (focus, temperature,
// rotator, steppers), menus, toolbar and status bar. It holds the link while it is loaded,
// parses every report, polls the controller by tab and keeps the shared state.
//
// The handlers of the operator's commands on the tabs belong to the same class and are
// added where they are written; the controls are all here.
class frmMain : public OperatorWindow<QMainWindow>, public MainWindowAccess, private TheSkyFollowHost
{
    Q_OBJECT

public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // --- what other windows and tools use ---
    std::shared_ptr<Serial> GetSerial; // the shared link while the window is loaded
    int16_t PrimaryCoverMode = 0;      // 1: stepper channel 1 drives the primary mirror cover
    void Handle_Received(const QString &data) override;
    void cm_MyEvent(const QString &s);

    // --- what the windows below this one reach through ControlWindows().Main ---
    std::shared_ptr<Serial> link() const override { return GetSerial; }
    void RestartTimer3(int32_t intervalMs) override;
    QString RotatorCaption() const override;
    void setRotatorGotoText(const QString &text) override;
    int16_t primaryCoverMode() const override { return PrimaryCoverMode; }
    void setPrimaryCoverMode(int16_t mode) override;
    ListControl &FocusList() override { return m_focusList; }
    ListControl &RotatorList() override { return m_rotatorList; }

    // --- menus, toolbar, tabs ---
    void mnuConnect_Click();
    void mnuDisconnect_Click();
    void mnuStopLog_Click();
    void mnuSettings_Click();
    void mnuAbout_Click();
    void mnuHelpTopics_Click();
    void showHelp(const QString &fileName);
    void mnuExit_Click();
    void mnuMiniConsole_Click();
    void mnuFirmware_Click();
    void tbrToolBar_ButtonClick(const QString &key);
    void mnuTempCal_Click();
    void SSTab1_Click(int tab);
    void setConnectedStates(bool connected);
    void setLoggingStates(bool logging);
    void mnuStartLog_Click();
    void mnuPlot_Click();
    void mnuSecHeatWiz_Click();

    // --- timers (intervals and states as the window starts) ---
    VbTimer Timer1; // jog repeat
    VbTimer Timer2; // planetarium hold release
    VbTimer Timer3; // edit-hold release and delayed goto
    VbTimer Timer4; // status poll
    VbTimer Timer5; // motor-error latch release
    VbTimer Timer6; // connect handshake
    VbTimer tmrTheSky;
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void Timer4_Timer();
    void Timer5_Timer();
    void Timer6_Timer();

    // The focuser and rotator gotos that Timer3 repeats; set by the command handlers.
    std::function<void()> cmdGoto_Click;
    std::function<void()> cmdRotGOTO_Click;

    // --- fan, heater, dew-heater and entry handlers ---
    void optFan_Click(int Index);
    void optSec_Click(int Index);
    void UpDown1_Change();
    void UpDown2_Change();
    void UpDown3_Change();
    void UpDown5_Change();
    void UpDown6_Change();
    void udDew1_Change(int Index);
    void UpDown2_MouseDown();
    void UpDown5_MouseDown();
    // A press that can change a spinner's value (a click, the wheel, a step or typing key).
    static bool StepsSpinner(const QEvent *event);
    void optFocus_Click(int Index);
    void optRot_Click(int Index);
    void txtRot_Change();
    void txtRot_Click();
    void txtRot_LostFocus();
    void udLimits_Change();
    void udLimits_LostFocus();
    // The goto boxes' key filter: whether a typed character is kept, given the box's text.
    static bool GotoKeyAccepted(QChar typed, const QString &text);

    // --- focuser, stepper, cover and compensation commands ---
    void Check1_MouseUp();
    void chkCelcius_Click();
    void chkRecallFocus_MouseUp();
    void cmdHome_Click();
    void cmdStopFocus_Click();
    void cmdRecordFocus_Click();
    void Combo1_Click();
    void cmdStore_Click(); // hands over StorePosition, StoreIndex, StoreTemperature
    void cmdSetMirrorSpacing_Click();
    void cmdStepDown_Click(int Index);
    void cmdStepUp_Click(int Index);
    void cmdOpenPrimaryCover_Click();
    void cmdClosePrimaryCover_Click();
    void cmdTempComp_Click();
    void cmdSynchTempComp_Click();

    // --- rotator commands and jog buttons ---
    void cmbRotStore_Click();
    void cmdRotHome_Click();
    void cmdStopRot_Click();
    void cmdRecordRotator_Click();
    void chkRecalRotator_MouseUp();
    void cmdRotStore_Click(); // hands over StorePosition, StoreIndex, StoreRotatorMode
    void cmdUnwrap_Click();
    void cmdWrapZero_Click();
    void cmdZELUtils_Click(); // the alignment tools window, modal
    void chkConnectTheSky_MouseUp();
    void tmrTheSky_Timer();
    void Command2_Click();
    void Command1_MouseDown(int Index);
    void Command1_MouseUp(int Index);

    // --- window variables ---
    LogFile DebugFile;  // the heater debug rows
    LogFile ReceiveLog; // every chunk received
    int32_t IdealSpacingPosition = 0;
    uint64_t HandshakeMark = 0; // the record's last report before the connect's " ! "
    int16_t HandshakeRetries = 0;
    bool FocusErrorShown = false;
    bool WrapLimitStopped = false;
    int32_t FocusJogSteps = 1;
    int32_t RotJogSteps = 100;
    std::array<int16_t, 5> StepperSteps{};
    int16_t JogButton = 0;
    int16_t JogTicks = 0;
    bool FocusGotoPending = false;
    bool RotGotoPending = false;
    bool SkipSlewConfirm = false;
    int16_t HoldCount = 0; // consecutive chunks that arrived while a hold was set

    // The edit-hold flags, in the order the hold count tests them.
    bool FanGainHold = false;
    bool FanSpeedHold = false;
    bool HeaterPowerHold = false;
    bool Dew1Hold = false;
    bool Dew2Hold = false;
    bool FanThresholdHold = false;
    bool HeaterSetpointHold = false;
    bool HeaterModeHold = false;
    bool FanModeHold = false;
    bool RecallFocusPressed = false;
    bool RecallRotatorPressed = false;
    EditHold *Holds = nullptr;

    // --- controls ---
    QTabWidget *SSTab1 = nullptr;
    QToolBar *tbrToolBar = nullptr;
    std::array<QLabel *, 2> StatusPanel{}; // panels 1 and 2
    QAction *mnuConnect = nullptr, *mnuDisconnect = nullptr, *mnuSettings = nullptr;
    QAction *mnuStartLog = nullptr, *mnuStopLog = nullptr, *mnuExit = nullptr;
    QAction *mnuFirmware = nullptr, *mnuSecHeatWiz = nullptr, *mnuTempCal = nullptr;
    QAction *mnuMiniConsole = nullptr, *mnuPlot = nullptr, *mnuHelpTopics = nullptr, *mnuAbout = nullptr;

    // Focus tab
    QLabel *lblSet = nullptr, *lblActual = nullptr, *lblMotorCurrent = nullptr, *lblMotorStatus = nullptr;
    QLabel *lblIdealMirrorSpacing = nullptr;
    QComboBox *cmbMirrorSpacing = nullptr, *Combo1 = nullptr;
    QCheckBox *Check1 = nullptr, *chkRecallFocus = nullptr;
    QPushButton *cmdRecordFocus = nullptr, *cmdSetMirrorSpacing = nullptr, *cmdGoto = nullptr, *cmdHome = nullptr;
    QPushButton *cmdStopFocus = nullptr, *cmdStore = nullptr, *cmdTempComp = nullptr, *cmdSynchTempComp = nullptr;
    QLineEdit *txtPosition = nullptr;
    std::array<QRadioButton *, 4> optFocus{};
    std::array<QPushButton *, 4> Command1{}; // jog buttons: 0, 1 focuser, 2, 3 rotator

    // Temperature tab
    std::array<QLabel *, 3> lblTemp{};
    std::array<QRadioButton *, 2> optFan{}, optSec{};
    QSpinBox *UpDown1 = nullptr, *UpDown2 = nullptr, *UpDown3 = nullptr, *UpDown5 = nullptr, *UpDown6 = nullptr;
    QLabel *lblFanSet = nullptr, *lblFanGain = nullptr, *lblSecSet = nullptr;
    std::array<QSpinBox *, 2> udDew1{};
    QCheckBox *chkCelcius = nullptr;

    // Rotator tab
    QLabel *lblRot = nullptr, *lblRotAct = nullptr, *lblWrap = nullptr;
    QLineEdit *txtRotGOTO = nullptr, *txtRot = nullptr;
    QPushButton *cmdRotGOTO = nullptr, *cmdRotStore = nullptr, *cmdRotHome = nullptr, *cmdStopRot = nullptr;
    QPushButton *cmdRecordRotator = nullptr, *cmdUnwrap = nullptr, *cmdWrapZero = nullptr, *cmdZELUtils = nullptr;
    QPushButton *Command2 = nullptr; // shows the dial
    QComboBox *cmbRotStore = nullptr;
    QCheckBox *chkRecalRotator = nullptr, *chkConnectTheSky = nullptr;
    std::array<QRadioButton *, 5> optRot{};
    QSpinBox *udLimits = nullptr;

    // Steppers tab
    std::array<QGroupBox *, 4> Frame3{};
    std::array<QLabel *, 4> lblStepperPosition{}, lblLimit1{}, lblLimit2{};
    std::array<QPushButton *, 4> cmdStepUp{}, cmdStepDown{};
    std::array<QComboBox *, 4> cmbStepSize{};
    QGroupBox *pnlPrimaryCover = nullptr;
    QLabel *lblPrimaryCoverStatus = nullptr;
    QPushButton *cmdOpenPrimaryCover = nullptr, *cmdClosePrimaryCover = nullptr;

    // (F - 32) x 5 / 9.
    static double FahrenheitToCelsius(double f);

protected:
    bool otherWindowOpen() const override;
    void stopLogging() override { mnuStopLog_Click(); }
    void Form_Unload() override;

private:
    void buildLayout();
    QWidget *buildFocusTab();
    QWidget *buildTemperatureTab();
    QWidget *buildRotatorTab();
    QWidget *buildSteppersTab();
    void buildMenusAndToolbar();
    void connectToolsMenus();
    void Form_Load();
    // Lists the stored positions; the texts of the files that cannot be read (listed empty).
    QStringList loadStoredPositions();
    // Opens the receive log and the debug file; the text of those that cannot be written.
    QString openLogs();
    // A log that cannot be written, in the box that tells it.
    static QString cannotWrite(const QString &path, const VbError &error);
    void writeLog(LogFile &log, const QString &text);
    void showError(const std::exception &e);

    // The report parser: a table from each code to the handler of its family.
    void logChunk(const QString &chunk);
    void dispatch(QStringView code, QStringView value);
    void focuserReport(const Report &r);         // ":s", ":a", ":h", ":mc", ":mo", ":mb", ":e", ":ims"
    void focusRecallReport(const Report &r);     // ":frp"
    void compensationReport(const Report &r);    // ":tc", ":tca", ":tcc", ":tcm", ":sl1", ":of1"
    void temperatureReport(const Report &r);     // ":t1", ":t2", ":t3", ":t7"
    void fanHeaterReport(const Report &r);       // ":fm", ":sm", ":fs", ":ss", ":fg", ":ft", ":st", ":d1", ":d2"
    void rotatorTarget(const Report &r);         // ":rs"
    void rotatorActual(const Report &r);         // ":rt"
    void rotatorWrap(const Report &r);           // ":wr"
    void rotatorHomeReport(const Report &r);     // ":rh", ":rrp"
    void settingsReport(const Report &r);        // read-back into the options window
    void heaterGainsReport(const Report &r);     // ":skp", ":skd", ":ski", ":sdi", ":sil": also the heater wizard
    void stepperSettingsReport(const Report &r); // ":S<n>SM", ":S<n>M", ":S<n>C", channels 2 to 5
    void stepperReport(const Report &r);         // ":S1" to ":S4", ":SW", ":SP", ":CS"
    void linkReport(const Report &r);            // ":!", ":vr", ":x", ":d"
    void showFocusError(const QString &text);
    void debugValue(const QString &text);
    void restartTimer3();

    // The command handlers' wiring and shared steps.
    void connectCommands();
    void connectAfterLoad();
    void trapped(const std::function<void()> &handler);
    // The operator's command through the window's link: false, after the refusal box, when
    // it did not leave.
    bool send(const QString &command);
    // The same once a wait of `step` is over: nothing, quietly, when the step is no longer wanted.
    bool sendWanted(const StepScope &step, const QString &command);
    void sendCheck(QAbstractButton *box, const QString &checked, const QString &cleared);
    void repeatSend(const QString &command);
    bool portOpen() const;
    bool portRefused();
    bool focusMoveRefused(const StepScope &step, bool compensationGuard);
    bool compensationRefused(const StepScope &step, const QString &active);
    void focusGoto(const StepScope &step);
    void rotatorGoto();
    void sendStepper(int Index, bool down);
    void sendCover(const QString &command);
    bool jogStepRefused();
    bool rotatorJog(const StepScope &step, int Index);
    // Timer3's goto once the home it sent first is reported: only while the press still wants it.
    void gotoAfterHome(std::optional<StepScope> &pressed, bool homed, const std::function<void()> &gotoClick);

    // TheSky follow: this window as its host.
    Window kind() const override { return Window::Main; }
    Serial *Link() const override { return GetSerial.get(); }
    Serial::SendResult Transmit(const QString &command) override;
    void HoldTheSkyUpdate() override;
    void RestartMoveWatch() override { restartTimer3(); }
    void EnableFollowTimer(bool enabled) override { tmrTheSky.setEnabled(enabled); }
    void SetConnectBox(bool checked) override;
    void EnableUtilities(bool enabled) override;
    QWidget *PromptParent() override { return this; }
    bool Closing() const override { return m_unloaded; }
    TheSkyFollow m_follow{*this};

    // The gotos that sent a home first, as they began: Timer3 goes on with them while wanted.
    std::optional<StepScope> m_focusGotoStep;
    std::optional<StepScope> m_rotatorGotoStep;

    std::unique_ptr<connector> MainConnector;
    ReplyState m_reply;
    ComboBoxList m_focusList{nullptr};
    ComboBoxList m_rotatorList{nullptr};
    PostedBoxes *m_errorBoxes = new PostedBoxes(this); // motor error and log messages, shown from the event loop
};
