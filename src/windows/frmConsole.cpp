// The console's life cycle: load, close and unload, the tab strip, the toolbar, the status
// poll and the release timers.
#include "windows/frmConsole.h"
#include "link/HandlerError.h"

#include "link/ControlWindowHooks.h"
#include "link/DriverSettings.h"
#include "link/ModuleState.h"
#include "link/OperatorSend.h"
#include "link/Serial.h"
#include "link/connector.h"
#include "platform/Screen.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "windows/EditHold.h"
#include "windows/Forms.h"
#include "windows/ReportedReadouts.h"
#include "windows/WindowParts.h"
#include "windows/WindowRules.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>

frmConsole::frmConsole(QWidget *parent)
    : OperatorWindow(parent, Qt::Window), m_reply([this](QStringView code, QStringView value) { dispatch(code, value); })
{
    setObjectName(QStringLiteral("frmConsole"));
    WindowParts::setUpTimers<frmConsole>(
        this, {{Timer1, "Timer1", 300, false, &frmConsole::Timer1_Timer}, {Timer2, "Timer2", 250, true, &frmConsole::Timer2_Timer},
               {Timer3, "Timer3", 1000, false, &frmConsole::Timer3_Timer}, {Timer4, "Timer4", 2000, false, &frmConsole::Timer4_Timer},
               {tmrTheSky, "tmrTheSky", 1000, false, &frmConsole::tmrTheSky_Timer}});
    buildLayout();
    connectControls();
    Form_Load();
}

frmConsole::~frmConsole() = default;

bool frmConsole::portOpen() const
{
    return cm && cm->Connected();
}

// The guard of the handlers that need the port: the exclamation box titled "ORVA".
bool frmConsole::requirePort(const QString &message)
{
    if (portOpen())
        return true;
    MsgBox(message, vbconst::vbExclamation, QStringLiteral("ORVA"));
    return false;
}

void frmConsole::restartTimer3()
{
    Timer3.setEnabled(false);
    Timer3.setEnabled(true);
}

void frmConsole::RestartTimer3(int32_t intervalMs)
{
    Timer3.setInterval(intervalMs);
    restartTimer3();
}

void frmConsole::Form_Load()
{
    ModuleState &m = Module();
    ControlWindows().Console = this;
    try {
        ConsoleConnector = std::make_unique<connector>();
        cm = ConsoleConnector->Class();
        if (cm) {
            cm->subscribe(this, [this](const QString &s) { cm_MyEvent(s); });
            ReportedReadouts::follow(this, *cm);
        }
        m.link.ConsoleFormOpen = true;

        setPinned(true);
        if (m.thesky.TheSky)
            tmrTheSky.setEnabled(true);

        if (m.settings.FocusStep >= 0 && m.settings.FocusStep <= 3)
            UpDown1->setValue(m.settings.FocusStep);
        if (m.settings.RotateStep >= 0 && m.settings.RotateStep <= 4) {
            UpDown3->setValue(m.settings.RotateStep);
            if (m.settings.RotateStep == 4 && !WindowRules::CustomRotateSteps(m.settings.RotateStepOption))
                UpDown3->setValue(0);
        }
        // The change handlers do not run for a value the spinner already has; a custom step
        // that does not convert has had its message from the handler.
        applyFocusIncrement();
        WindowRules::skip([this] { applyRotateIncrement(); });

        Timer3.setInterval(1000);
        conTabs->setCurrentIndex(0);
        UpDown5->setEnabled(false);
        UpDown6->setEnabled(false);
        const int tab = m.rotator.RotatorTabShown ? 1 : 0;
        if (TabStrip1->currentIndex() == tab)
            TabStrip1_Click();
        else
            TabStrip1->setCurrentIndex(tab);
        if (m.settings.MiniPosX >= 0 && m.settings.MiniPosY >= 0)
            move(Screen::ShownPosition({m.settings.MiniPosX, m.settings.MiniPosY}, WindowParts::openingSize(this)));
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
}

bool frmConsole::otherWindowOpen() const
{
    return Module().link.MainFormOpen;
}

void frmConsole::stopLogging()
{
    WindowRules::StopDataLogging();
}

void frmConsole::Form_Unload()
{
    ModuleState &m = Module();
    m_unloaded = true;
    // The window may stand a while longer, until a handler serving a box under it returns:
    // nothing of it runs meanwhile.
    for (VbTimer *timer : {&Timer1, &Timer2, &Timer3, &Timer4, &tmrTheSky})
        timer->setEnabled(false);
    m.link.ConsoleFormOpen = false;
    if (ControlWindows().Console == this)
        ControlWindows().Console = nullptr;
    m.settings.MiniPosX = x();
    m.settings.MiniPosY = y();
    HKEY key = 0;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, 0, SettingsKeyAccess, &key) == ERROR_SUCCESS) {
        SetRegistryValue(key, QStringLiteral("MiniPosX"), REG_DWORD, m.settings.MiniPosX);
        SetRegistryValue(key, QStringLiteral("MiniPosY"), REG_DWORD, m.settings.MiniPosY);
        RegCloseKey(key);
    }
    if (cm)
        cm->unsubscribe(this);
    cm.reset();
    ConsoleConnector.reset(); // the last holder ends the process here
}

// Top-most on or off; the window system takes a changed flag only with a new show.
void frmConsole::setPinned(bool pinned)
{
    Pinned = pinned;
    const bool visible = isVisible();
    const QPoint at = pos();
    setWindowFlag(Qt::WindowStaysOnTopHint, pinned);
    if (visible) {
        move(at);
        show();
    }
    cmdPin->setIcon(style()->standardIcon(pinned ? QStyle::SP_DialogYesButton : QStyle::SP_DialogNoButton));
    cmdPin->setProperty("Image", pinned ? 2 : 3);
    cmdPin->setToolTip(pinned ? QStringLiteral("Unpin Window") : QStringLiteral("Pin Window"));
}

void frmConsole::Toolbar1_ButtonClick(int button)
{
    ModuleState &m = Module();
    try {
        if (button == 2) {
            HKEY key = 0;
            if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, 0, SettingsKeyAccess, &key) == ERROR_SUCCESS) {
                SetRegistryValue(key, QStringLiteral("FocusStep"), REG_DWORD, m.settings.FocusStep);
                SetRegistryValue(key, QStringLiteral("RotateStep"), REG_DWORD, m.settings.RotateStep);
                RegCloseKey(key);
            }
            // The main window holds the link before this window lets go of it.
            ShowMainForm();
            close();
        } else if (button == 3) {
            setPinned(!Pinned);
        }
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
}

void frmConsole::TabStrip1_Click()
{
    const int selected = TabStrip1->currentIndex();
    conTabs->setCurrentIndex(selected);
    Module().rotator.RotatorTabShown = selected == 1;
}

// The status poll: the query of the visible tab, whatever the other windows poll.
void frmConsole::Timer2_Timer()
{
    try {
        if (!portOpen())
            return;
        switch (TabStrip1->currentIndex()) {
        case 0:
            cm->Transmit(QStringLiteral(" Q "));
            break;
        case 1:
            cm->Transmit(QStringLiteral(" R "));
            cm->Transmit(QStringLiteral(" d0 "));
            break;
        default:
            cm->Transmit(QStringLiteral(" T "));
            break;
        }
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
}

void frmConsole::Timer3_Timer()
{
    ModuleState::Rotator &r = Module().rotator;
    Timer3.setEnabled(false);
    Holds->clearAll();
    if (r.RotatorMovePending && r.RotatorMoving) {
        Timer3.setEnabled(true);
        return;
    }
    r.RotatorMovePending = false;
    WrapLimitStopped = false;
}

void frmConsole::Timer4_Timer()
{
    releaseTheSkyUpdate(Timer4);
}

// The follow has turned or relabelled the rotator itself: the parser leaves TheSky alone
// for 2 s.
void frmConsole::HoldTheSkyUpdate()
{
    holdTheSkyUpdate(Timer4);
}

void frmConsole::tmrTheSky_Timer()
{
    m_follow.Tick();
}

Serial::SendResult frmConsole::Transmit(const QString &command)
{
    return OperatorSend::Transmit(cm.get(), command);
}

bool frmConsole::send(const QString &command, const QString &portClosed)
{
    return OperatorSend::Send(cm.get(), command, portClosed);
}
