#pragma once

#include "link/ControlWindowHooks.h"
#include "link/ReplyState.h"
#include "windows/OperatorWindow.h"
#include "platform/VbTimer.h"
#include "windows/TheSkyFollow.h"

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QTabBar;
class QToolBar;
class EditHold;
class Serial;
class connector;
struct Report;

// The compact console: a small top-most window with focuser and rotator jogs, the three
// temperatures, fan, secondary heater and dew heaters. It holds the link like the main
// window, reads its own subset of the reports and polls the controller by tab.
class frmConsole : public OperatorWindow<QWidget>, public ControlWindowAccess, private TheSkyFollowHost
{
    Q_OBJECT

public:
    explicit frmConsole(QWidget *parent = nullptr);
    ~frmConsole() override;

    // The shared link while the window is loaded.
    std::shared_ptr<Serial> GetSerial() const { return cm; }
    std::shared_ptr<Serial> link() const override { return cm; }
    void RestartTimer3(int32_t intervalMs) override;
    void cm_MyEvent(const QString &s);
    void Handle_Received(const QString &data);


    // --- timers ---
    VbTimer Timer1;    // jog repeat
    VbTimer Timer2;    // status poll
    VbTimer Timer3;    // end of the edit holds, rotator-move watch
    VbTimer Timer4;    // end of TheSkyUpdateHold
    VbTimer tmrTheSky; // planetarium follow
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void Timer4_Timer();
    void tmrTheSky_Timer();

    // --- the operator's controls ---
    void cmdFocusHome_Click();
    void cmdFocusStop_Click();
    void cmdRotateHome_Click();
    void cmdRotateStop_Click();
    void cmdMove_MouseDown(int index);
    void cmdMove_MouseUp(int index);
    void UpDown1_Change();
    void UpDown2_Change();
    void UpDown3_Change();
    void UpDown4_Change();
    void UpDown5_Change();
    void UpDown6_Change();
    void optFan_Click(int index);
    void optSec_Click(int index);
    void chkDew1_Click();
    void chkDew2_Click();
    void lblDew1_Change();
    void lblDew2_Change();
    void TabStrip1_Click();
    void Toolbar1_ButtonClick(int button); // 1-based

    // --- window variables ---
    bool Pinned = false;
    int16_t FocusIncrement = 0;
    int32_t RotateIncrement = 0;
    int16_t JogButton = 0;
    int16_t JogTicks = 0;
    bool FanHold = false;
    bool HeaterHold = false;
    bool Dew1Hold = false;
    bool Dew2Hold = false;
    bool WrapLimitStopped = false;
    EditHold *Holds = nullptr;

    // --- controls ---
    QTabBar *TabStrip1 = nullptr;
    std::array<QWidget *, 5> conTab{};
    // The pages share one place, so the window keeps the largest page's size whichever is shown.
    QStackedWidget *conTabs = nullptr;
    QToolBar *Toolbar1 = nullptr;
    QAction *cmdShowMain = nullptr, *cmdPin = nullptr; // toolbar buttons 2 and 3
    QLabel *lblActual = nullptr, *lblRotate = nullptr;
    std::array<QRadioButton *, 2> optSet{};
    std::array<QLabel *, 2> lblAmbient{};
    QLabel *lblPrimary = nullptr, *lblSecondary = nullptr;
    std::array<QRadioButton *, 3> optFan{}, optSec{};
    QSpinBox *UpDown1 = nullptr, *UpDown2 = nullptr, *UpDown3 = nullptr, *UpDown4 = nullptr, *UpDown5 = nullptr,
             *UpDown6 = nullptr;
    QLabel *lblFanPower = nullptr, *lblSecPower = nullptr, *lblDew1 = nullptr, *lblDew2 = nullptr;
    QLabel *lblfocusIncrement = nullptr, *lblRotateIncrement = nullptr;
    QCheckBox *chkDew1 = nullptr, *chkDew2 = nullptr;
    std::array<QPushButton *, 4> cmdMove{};
    QPushButton *cmdFocusHome = nullptr, *cmdFocusStop = nullptr, *cmdRotateHome = nullptr, *cmdRotateStop = nullptr;

protected:
    bool otherWindowOpen() const override;
    void stopLogging() override;
    void Form_Unload() override;

private:
    void buildLayout();
    QWidget *buildFocusPage();
    QWidget *buildRotatePage();
    struct PowerPage
    {
        QLabel *ambient;
        const char *mirrorCaption;
        QLabel *mirror;
        const char *modeName;
        std::array<QRadioButton *, 3> &modes;
        const char *powerCaption;
        QLabel *power;
        QSpinBox *spin;
    };
    QWidget *buildPowerPage(const PowerPage &page);
    QWidget *buildDewPage();
    void connectControls();
    void Form_Load();
    void setPinned(bool pinned);
    bool portOpen() const;
    bool requirePort(const QString &message);
    bool commPortOpen(); // requirePort with the controls' message
    void restartTimer3();

    // The parser: a table of the codes the console reads, one handler per code or family.
    void dispatch(QStringView code, QStringView value);
    void temperatureReport(const Report &r);   // ":t1" to ":t3"
    void modeReport(const Report &r);          // ":fm", ":sm"
    void powerReport(const Report &r);         // ":fs", ":ss", ":d1", ":d2"
    void rotatorTarget(const Report &r);       // ":rs"
    void rotatorActual(const Report &r);       // ":rt"
    void rotatorWrap(const Report &r);         // ":wr"

    // The jog.
    void applyFocusIncrement();
    void applyRotateIncrement();
    std::optional<int32_t> customRotateIncrement() const;
    bool rotatorJogPress(const StepScope &step, int index);
    void rotatorJogRepeat();
    void repeatSend(const QString &command);
    void powerChange(QSpinBox *spin, bool hold, const char *command);
    void homeClick(const QString &question, const QString &command, MovedDevice device);
    void dewClick(QCheckBox *box, QSpinBox *spin);

    std::shared_ptr<Serial> cm;
    // TheSky follow: this window as its host.
    Window kind() const override { return Window::Console; }
    Serial *Link() const override { return cm.get(); }
    Serial::SendResult Transmit(const QString &command) override;
    // The operator's command through the window's link: false, after the refusal box (with
    // `portClosed` for a closed port), when it did not leave.
    bool send(const QString &command, const QString &portClosed);
    void HoldTheSkyUpdate() override;
    void RestartMoveWatch() override { restartTimer3(); }
    void EnableFollowTimer(bool enabled) override { tmrTheSky.setEnabled(enabled); }
    QWidget *PromptParent() override { return this; }
    bool Closing() const override { return m_unloaded; }
    TheSkyFollow m_follow{*this};

    std::unique_ptr<connector> ConsoleConnector;
    ReplyState m_reply;
    bool m_jogHeld = false;
};
