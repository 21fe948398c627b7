// The main window's controls: four tabs, menus, toolbar and status bar, each control under
// its own name (array elements as name_index).
#include "windows/frmMain.h"

#include "platform/UpDown.h"
#include "windows/EditHold.h"
#include "windows/ReportedReadouts.h"
#include "windows/ToolbarIcons.h"
#include "windows/WindowParts.h"

#include <QAction>
#include <QKeySequence>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

using WindowParts::element;
using WindowParts::named;
using ReportedReadouts::mark;

QLabel *label(const QString &name, const QString &caption = QString())
{
    return WindowParts::readout(name, 70, caption);
}

QLabel *caption(const QString &text)
{
    return new QLabel(text);
}

QPushButton *button(const QString &name, const QString &text)
{
    return named(new QPushButton(text), name);
}

// A spinner whose number is its own readout, or (arrowsOnly) arrows beside a label that shows it.
QSpinBox *spinner(const QString &name, int min, int max, int step, int start, bool arrowsOnly = false)
{
    auto *s = named(arrowsOnly ? new UpDown : new QSpinBox, name);
    s->setRange(min, max);
    s->setSingleStep(step);
    s->setValue(start);
    return s;
}

QPushButton *jogButton(int index, QStyle::StandardPixmap icon)
{
    auto *b = named(new QPushButton, element("Command1", index));
    b->setIcon(b->style()->standardIcon(icon));
    b->setAutoRepeat(false);
    return b;
}

} // namespace

void frmMain::buildLayout()
{
    setWindowTitle(QStringLiteral("ORVA Korvane"));
    SSTab1 = named(new QTabWidget, QStringLiteral("SSTab1"));
    SSTab1->addTab(buildFocusTab(), QStringLiteral("FOCUS"));
    SSTab1->addTab(buildTemperatureTab(), QStringLiteral("TEMPERATURE"));
    SSTab1->addTab(buildRotatorTab(), QStringLiteral("ROTATOR"));
    SSTab1->addTab(buildSteppersTab(), QStringLiteral("STEPPERS"));
    setCentralWidget(SSTab1);
    buildMenusAndToolbar();

    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("sbStatusBar"));
    for (int i = 0; i < 2; ++i) {
        // The panel stretches; its text sits in a fixed-size label inside, so a new reading
        // does not lay out the status bar again.
        auto *panel = new QWidget;
        auto *row = new QHBoxLayout(panel);
        row->setContentsMargins(0, 0, 0, 0);
        StatusPanel[i] = mark(named(new QLabel, element("Panel", i + 1)));
        WindowParts::fixedLabel(StatusPanel[i], StatusPanel[i]->fontMetrics().horizontalAdvance(QStringLiteral("Amb Temp -000.0 F")) + 8);
        row->addWidget(StatusPanel[i]);
        row->addStretch();
        bar->addPermanentWidget(panel, 1);
    }

    // The edit-hold controls, in the order the hold count tests them.
    Holds = new EditHold(Timer3, this);
    Holds->watch(UpDown3, FanGainHold);
    Holds->watch(UpDown2, FanSpeedHold);
    Holds->watch(UpDown5, HeaterPowerHold);
    Holds->watch(udDew1[0], Dew1Hold);
    Holds->watch(udDew1[1], Dew2Hold);
    Holds->watch(UpDown1, FanThresholdHold);
    Holds->watch(UpDown6, HeaterSetpointHold);
    for (QRadioButton *o : optSec)
        Holds->watch(o, HeaterModeHold);
    for (QRadioButton *o : optFan)
        Holds->watch(o, FanModeHold);
    Holds->watch(chkRecallFocus, RecallFocusPressed);
    Holds->watch(chkRecalRotator, RecallRotatorPressed);
    connectCommands();
}

QWidget *frmMain::buildFocusTab()
{
    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);

    auto *position = new QGroupBox(QStringLiteral("Position"));
    auto *pg = new QGridLayout(position);
    lblSet = mark(label(QStringLiteral("lblSet")));
    lblActual = mark(label(QStringLiteral("lblActual")));
    lblMotorCurrent = mark(label(QStringLiteral("lblMotorCurrent")));
    lblMotorStatus = mark(label(QStringLiteral("lblMotorStatus")));
    // Its yellow "ON" and red "OFF" read on black, not on the window's grey.
    QPalette dark = lblMotorStatus->palette();
    dark.setColor(QPalette::Window, Qt::black);
    dark.setColor(QPalette::WindowText, Qt::white);
    lblMotorStatus->setPalette(dark);
    pg->addWidget(caption(QStringLiteral("Set")), 0, 0);
    pg->addWidget(lblSet, 0, 1);
    pg->addWidget(caption(QStringLiteral("Actual")), 1, 0);
    pg->addWidget(lblActual, 1, 1);
    pg->addWidget(caption(QStringLiteral("Motor Current (A)")), 2, 0);
    pg->addWidget(lblMotorCurrent, 2, 1);
    pg->addWidget(caption(QStringLiteral("Motor")), 3, 0);
    pg->addWidget(lblMotorStatus, 3, 1);
    Check1 = named(new QCheckBox(QStringLiteral("Force Motor Off")), QStringLiteral("Check1"));
    pg->addWidget(Check1, 4, 0, 1, 2);
    grid->addWidget(position, 0, 0);

    auto *move = new QGroupBox(QStringLiteral("Move"));
    auto *mg = new QGridLayout(move);
    txtPosition = named(new QLineEdit, QStringLiteral("txtPosition"));
    cmdGoto = button(QStringLiteral("cmdGoto"), QStringLiteral("GOTO"));
    cmdHome = button(QStringLiteral("cmdHome"), QStringLiteral("HOME"));
    cmdStopFocus = button(QStringLiteral("cmdStopFocus"), QStringLiteral("STOP"));
    Combo1 = named(new QComboBox, QStringLiteral("Combo1"));
    cmdStore = button(QStringLiteral("cmdStore"), QStringLiteral("Store"));
    mg->addWidget(txtPosition, 0, 0);
    mg->addWidget(cmdGoto, 0, 1);
    mg->addWidget(Combo1, 1, 0);
    mg->addWidget(cmdStore, 1, 1);
    mg->addWidget(cmdHome, 2, 0);
    mg->addWidget(cmdStopFocus, 2, 1);
    Command1[0] = jogButton(0, QStyle::SP_ArrowUp);
    Command1[1] = jogButton(1, QStyle::SP_ArrowDown);
    mg->addWidget(Command1[0], 3, 0);
    mg->addWidget(Command1[1], 3, 1);
    auto *steps = new QHBoxLayout;
    const char *focusSteps[] = {"1x", "10x", "25x", "100x"};
    for (int i = 0; i < 4; ++i) {
        optFocus[i] = named(new QRadioButton(QLatin1String(focusSteps[i])), element("optFocus", i));
        steps->addWidget(optFocus[i]);
    }
    mg->addLayout(steps, 4, 0, 1, 2);
    grid->addWidget(move, 0, 1);

    auto *recall = new QGroupBox(QStringLiteral("Power-up"));
    auto *rg = new QVBoxLayout(recall);
    chkRecallFocus = named(new QCheckBox(QStringLiteral("Recall Last Known Position at Startup")), QStringLiteral("chkRecallFocus"));
    cmdRecordFocus = button(QStringLiteral("cmdRecordFocus"), QStringLiteral("RECORD"));
    rg->addWidget(chkRecallFocus);
    rg->addWidget(cmdRecordFocus);
    grid->addWidget(recall, 1, 0);

    auto *spacing = new QGroupBox(QStringLiteral("Mirror Spacing"));
    auto *sg = new QVBoxLayout(spacing);
    cmbMirrorSpacing = named(new QComboBox, QStringLiteral("cmbMirrorSpacing"));
    lblIdealMirrorSpacing = mark(label(QStringLiteral("lblIdealMirrorSpacing")));
    cmdSetMirrorSpacing = button(QStringLiteral("cmdSetMirrorSpacing"), QStringLiteral("SET IDEAL POS"));
    sg->addWidget(cmbMirrorSpacing);
    sg->addWidget(lblIdealMirrorSpacing);
    sg->addWidget(cmdSetMirrorSpacing);
    grid->addWidget(spacing, 1, 1);

    cmdTempComp = button(QStringLiteral("cmdTempComp"), QStringLiteral("Temperature Compensation = OFF"));
    cmdSynchTempComp = button(QStringLiteral("cmdSynchTempComp"), QStringLiteral("Synch"));
    cmdSynchTempComp->setEnabled(false);
    grid->addWidget(cmdTempComp, 2, 0);
    grid->addWidget(cmdSynchTempComp, 2, 1);
    return page;
}

QWidget *frmMain::buildTemperatureTab()
{
    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);

    auto *temps = new QGroupBox(QStringLiteral("Temperatures"));
    auto *tg = new QGridLayout(temps);
    const char *sensors[] = {"Ambient", "Primary", "Secondary"};
    for (int i = 0; i < 3; ++i) {
        lblTemp[i] = mark(label(element("lblTemp", i)));
        tg->addWidget(caption(QLatin1String(sensors[i])), i, 0);
        tg->addWidget(lblTemp[i], i, 1);
    }
    chkCelcius = named(new QCheckBox(QStringLiteral("Celsius")), QStringLiteral("chkCelcius"));
    tg->addWidget(chkCelcius, 3, 0, 1, 2);
    grid->addWidget(temps, 0, 0);

    auto modeGroup = [](std::array<QRadioButton *, 2> &options, const char *name, QGridLayout *into) {
        auto *group = new QButtonGroup(into);
        const char *captions[] = {"Manual", "Auto"};
        for (int i = 0; i < 2; ++i) {
            options[i] = named(new QRadioButton(QLatin1String(captions[i])), element(name, i));
            group->addButton(options[i]);
            into->addWidget(options[i], 0, i);
        }
    };

    auto *fan = new QGroupBox(QStringLiteral("Telescope Fan"));
    auto *fg = new QGridLayout(fan);
    modeGroup(optFan, "optFan", fg);
    UpDown1 = spinner(QStringLiteral("UpDown1"), 0, 100, 1, 0, true);
    lblFanSet = label(QStringLiteral("lblFanSet"), QStringLiteral("0"));
    UpDown2 = spinner(QStringLiteral("UpDown2"), 0, 100, 5, 0);
    UpDown3 = spinner(QStringLiteral("UpDown3"), 1, 10, 1, 1, true);
    lblFanGain = label(QStringLiteral("lblFanGain"), QStringLiteral("1"));
    fg->addWidget(caption(QStringLiteral("Deadband (Amb +/-)")), 1, 0);
    fg->addWidget(UpDown1, 1, 1);
    fg->addWidget(lblFanSet, 1, 2);
    fg->addWidget(caption(QStringLiteral("Power (%)")), 2, 0);
    fg->addWidget(UpDown2, 2, 1);
    fg->addWidget(caption(QStringLiteral("Aggressiveness")), 3, 0);
    fg->addWidget(UpDown3, 3, 1);
    fg->addWidget(lblFanGain, 3, 2);
    grid->addWidget(fan, 0, 1);

    auto *heater = new QGroupBox(QStringLiteral("Secondary Heater"));
    auto *hg = new QGridLayout(heater);
    modeGroup(optSec, "optSec", hg);
    UpDown5 = spinner(QStringLiteral("UpDown5"), 0, 100, 5, 0);
    UpDown6 = spinner(QStringLiteral("UpDown6"), -100, 100, 1, 0, true);
    lblSecSet = label(QStringLiteral("lblSecSet"), QStringLiteral("0"));
    hg->addWidget(caption(QStringLiteral("Power (%)")), 1, 0);
    hg->addWidget(UpDown5, 1, 1);
    hg->addWidget(caption(QStringLiteral("Set Point (Amb +/-)")), 2, 0);
    hg->addWidget(UpDown6, 2, 1);
    hg->addWidget(lblSecSet, 2, 2);
    grid->addWidget(heater, 1, 0);

    auto *dew = new QGroupBox(QStringLiteral("Dew Heaters"));
    auto *dg = new QGridLayout(dew);
    const char *zones[] = {"Zone 1", "Zone 2"};
    for (int i = 0; i < 2; ++i) {
        udDew1[i] = spinner(element("udDew1", i), 0, 100, 5, 0);
        dg->addWidget(caption(QLatin1String(zones[i])), i, 0);
        dg->addWidget(udDew1[i], i, 1);
    }
    grid->addWidget(dew, 1, 1);
    return page;
}

QWidget *frmMain::buildRotatorTab()
{
    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);

    auto *position = new QGroupBox(QStringLiteral("Position (degrees)"));
    auto *pg = new QGridLayout(position);
    lblRot = mark(label(QStringLiteral("lblRot")));
    lblRotAct = mark(label(QStringLiteral("lblRotAct")));
    lblWrap = mark(label(QStringLiteral("lblWrap")));
    pg->addWidget(caption(QStringLiteral("Set")), 0, 0);
    pg->addWidget(lblRot, 0, 1);
    pg->addWidget(caption(QStringLiteral("Actual")), 1, 0);
    pg->addWidget(lblRotAct, 1, 1);
    pg->addWidget(caption(QStringLiteral("Wrap")), 2, 0);
    pg->addWidget(lblWrap, 2, 1);
    Command2 = button(QStringLiteral("Command2"), QStringLiteral("Dial"));
    pg->addWidget(Command2, 3, 0, 1, 2);
    grid->addWidget(position, 0, 0);

    auto *move = new QGroupBox(QStringLiteral("Move"));
    auto *mg = new QGridLayout(move);
    txtRotGOTO = named(new QLineEdit, QStringLiteral("txtRotGOTO"));
    cmdRotGOTO = button(QStringLiteral("cmdRotGOTO"), QStringLiteral("GOTO"));
    cmbRotStore = named(new QComboBox, QStringLiteral("cmbRotStore"));
    cmdRotStore = button(QStringLiteral("cmdRotStore"), QStringLiteral("Store"));
    cmdRotHome = button(QStringLiteral("cmdRotHome"), QStringLiteral("HOME"));
    cmdStopRot = button(QStringLiteral("cmdStopRot"), QStringLiteral("STOP"));
    mg->addWidget(txtRotGOTO, 0, 0);
    mg->addWidget(cmdRotGOTO, 0, 1);
    mg->addWidget(cmbRotStore, 1, 0);
    mg->addWidget(cmdRotStore, 1, 1);
    mg->addWidget(cmdRotHome, 2, 0);
    mg->addWidget(cmdStopRot, 2, 1);
    Command1[2] = jogButton(2, QStyle::SP_ArrowLeft);
    Command1[3] = jogButton(3, QStyle::SP_ArrowRight);
    mg->addWidget(Command1[2], 3, 0);
    mg->addWidget(Command1[3], 3, 1);
    grid->addWidget(move, 0, 1);

    auto *step = new QGroupBox(QStringLiteral("Jog Step"));
    auto *sg = new QGridLayout(step);
    const char *rotSteps[] = {"0.5 Degrees", "1 Degree", "5 Degrees", "45 Degrees", "Other"};
    for (int i = 0; i < 5; ++i) {
        optRot[i] = named(new QRadioButton(QLatin1String(rotSteps[i])), element("optRot", i));
        sg->addWidget(optRot[i], i, 0);
    }
    txtRot = named(new QLineEdit, QStringLiteral("txtRot"));
    sg->addWidget(txtRot, 4, 1);
    grid->addWidget(step, 1, 0);

    auto *wrap = new QGroupBox(QStringLiteral("Cable Wrap"));
    auto *wg = new QGridLayout(wrap);
    udLimits = spinner(QStringLiteral("udLimits"), 180, 1080, 10, 360);
    cmdUnwrap = button(QStringLiteral("cmdUnwrap"), QStringLiteral("Unwrap"));
    cmdWrapZero = button(QStringLiteral("cmdWrapZero"), QStringLiteral("Zero Wrap"));
    wg->addWidget(caption(QStringLiteral("Limits (+/-):")), 0, 0);
    wg->addWidget(udLimits, 0, 1);
    wg->addWidget(cmdUnwrap, 1, 0);
    wg->addWidget(cmdWrapZero, 1, 1);
    grid->addWidget(wrap, 1, 1);

    auto *recall = new QGroupBox(QStringLiteral("Power-up and TheSky"));
    auto *rg = new QGridLayout(recall);
    chkRecalRotator = named(new QCheckBox(QStringLiteral("Recall Last Known Position at Startup")), QStringLiteral("chkRecalRotator"));
    cmdRecordRotator = button(QStringLiteral("cmdRecordRotator"), QStringLiteral("RECORD"));
    chkConnectTheSky = named(new QCheckBox(QStringLiteral("Connect to TheSky")), QStringLiteral("chkConnectTheSky"));
    cmdZELUtils = button(QStringLiteral("cmdZELUtils"), QStringLiteral("ZEL Utilities"));
    rg->addWidget(chkRecalRotator, 0, 0);
    rg->addWidget(cmdRecordRotator, 0, 1);
    rg->addWidget(chkConnectTheSky, 1, 0);
    rg->addWidget(cmdZELUtils, 1, 1);
    grid->addWidget(recall, 2, 0, 1, 2);
    return page;
}

QWidget *frmMain::buildSteppersTab()
{
    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);
    for (int i = 0; i < 4; ++i) {
        auto *frame = named(new QGroupBox(QStringLiteral("Stepper %1").arg(i + 1)), element("Frame3", i));
        Frame3[i] = frame;
        auto *fg = new QGridLayout(frame);
        lblStepperPosition[i] = mark(label(element("lblStepperPosition", i)));
        cmdStepDown[i] = button(element("cmdStepDown", i), QStringLiteral("-"));
        cmdStepUp[i] = button(element("cmdStepUp", i), QStringLiteral("+"));
        cmbStepSize[i] = named(new QComboBox, element("cmbStepSize", i));
        lblLimit1[i] = mark(label(element("lblLimit1", i)));
        lblLimit2[i] = mark(label(element("lblLimit2", i)));
        fg->addWidget(caption(QStringLiteral("Position")), 0, 0);
        fg->addWidget(lblStepperPosition[i], 0, 1, 1, 2);
        fg->addWidget(cmdStepDown[i], 1, 0);
        fg->addWidget(cmbStepSize[i], 1, 1);
        fg->addWidget(cmdStepUp[i], 1, 2);
        fg->addWidget(caption(QStringLiteral("Limits")), 2, 0);
        fg->addWidget(lblLimit1[i], 2, 1);
        fg->addWidget(lblLimit2[i], 2, 2);
        grid->addWidget(frame, i / 2, i % 2);
    }
    auto *cover = named(new QGroupBox(QStringLiteral("Primary Mirror Cover")), QStringLiteral("pnlPrimaryCover"));
    pnlPrimaryCover = cover;
    auto *cg = new QHBoxLayout(cover);
    lblPrimaryCoverStatus = mark(label(QStringLiteral("lblPrimaryCoverStatus")));
    cmdOpenPrimaryCover = button(QStringLiteral("cmdOpenPrimaryCover"), QStringLiteral("Open"));
    cmdClosePrimaryCover = button(QStringLiteral("cmdClosePrimaryCover"), QStringLiteral("Close"));
    cg->addWidget(lblPrimaryCoverStatus);
    cg->addWidget(cmdOpenPrimaryCover);
    cg->addWidget(cmdClosePrimaryCover);
    cover->setVisible(false);
    grid->addWidget(cover, 2, 0, 1, 2);
    return page;
}

void frmMain::buildMenusAndToolbar()
{
    auto item = [this](QMenu *menu, const char *name, const char *text) {
        QAction *a = menu->addAction(QString::fromLatin1(text));
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    mnuExit = item(file, "mnuExit", "&Exit");

    QMenu *comm = menuBar()->addMenu(QStringLiteral("&Communications"));
    comm->setObjectName(QStringLiteral("mnuCommunications"));
    mnuConnect = item(comm, "mnuConnect", "Connect");
    mnuDisconnect = item(comm, "mnuDisconnect", "Disconnect");
    comm->addSeparator();
    mnuSettings = item(comm, "mnuSettings", "Port Settings");
    comm->addSeparator();
    mnuStartLog = item(comm, "mnuStartLog", "Start data logging");
    mnuStopLog = item(comm, "mnuStopLog", "Stop data logging");

    QMenu *tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("mnuTools"));
    mnuFirmware = item(tools, "mnuFirmware", "Firmware Upgrade");
    mnuSecHeatWiz = item(tools, "mnuSecHeatWiz", "Secondary Heater Cal. Wizar");
    tools->addSeparator();
    mnuTempCal = item(tools, "mnuTempCal", "Options");

    QMenu *window = menuBar()->addMenu(QStringLiteral("&Window"));
    window->setObjectName(QStringLiteral("mnuWindow"));
    mnuMiniConsole = item(window, "mnuMiniConsole", "Show Mini Console");
    mnuPlot = item(window, "mnuPlot", "Show Temperature Graph");

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpTopics = item(help, "mnuHelpTopics", "Help Topics...");
    mnuAbout = item(help, "mnuAbout", "About");

    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
    connect(mnuConnect, &QAction::triggered, this, &frmMain::mnuConnect_Click);
    connect(mnuDisconnect, &QAction::triggered, this, &frmMain::mnuDisconnect_Click);
    connect(mnuStopLog, &QAction::triggered, this, &frmMain::mnuStopLog_Click);
    connect(mnuSettings, &QAction::triggered, this, &frmMain::mnuSettings_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
    connect(mnuHelpTopics, &QAction::triggered, this, &frmMain::mnuHelpTopics_Click);
    // F1 opens the application's help file.
    auto *f1 = new QAction(this);
    f1->setShortcut(QKeySequence::HelpContents);
    addAction(f1);
    connect(f1, &QAction::triggered, this, [this] { showHelp(QStringLiteral("VKMhelp.chm")); });
    connect(mnuMiniConsole, &QAction::triggered, this, &frmMain::mnuMiniConsole_Click);
    connect(mnuTempCal, &QAction::triggered, this, &frmMain::mnuTempCal_Click);
    connectToolsMenus();
    connect(mnuFirmware, &QAction::triggered, this, &frmMain::mnuFirmware_Click);

    tbrToolBar = addToolBar(QStringLiteral("Toolbar"));
    tbrToolBar->setObjectName(QStringLiteral("tbrToolBar"));
    struct Key { const char *key; const char *tip; QStyle::StandardPixmap icon; QIcon (*themed)() = nullptr; };
    const Key keys[] = {
        {"DialPhoneNumber", "Connect", QStyle::SP_DialogYesButton, ToolbarIcons::connect},
        {"HangUpPhone", "Disconnect", QStyle::SP_DialogNoButton, ToolbarIcons::disconnect},
        {"", "", QStyle::SP_ToolBarHorizontalExtensionButton}, // the button without a key
        {"Properties", "Properties...", QStyle::SP_FileDialogDetailedView},
        {"Log", "Start data logging", QStyle::SP_MediaPlay},
        {"StopLog", "Stop data logging", QStyle::SP_MediaStop},
        {"OpenLogFile", "", QStyle::SP_DialogOpenButton},
        {"CloseLogFile", "", QStyle::SP_DialogCloseButton},
        {"TempPlot", "Show temperature graph", QStyle::SP_FileDialogContentsView},
        {"Mini", "Show mini console", QStyle::SP_TitleBarMinButton, ToolbarIcons::console},
    };
    for (const Key &k : keys) {
        QAction *a = tbrToolBar->addAction(k.themed ? k.themed() : style()->standardIcon(k.icon), QString());
        const QString key = QString::fromLatin1(k.key);
        a->setObjectName(key);
        a->setProperty("Key", key);
        a->setToolTip(QString::fromLatin1(k.tip));
        connect(a, &QAction::triggered, this, [this, key] { tbrToolBar_ButtonClick(key); });
    }
}
