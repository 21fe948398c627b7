// The console's controls: the tab strip with the toolbar beside it and the five pages below,
// each control under its own name (array elements as name_index).
#include "windows/frmConsole.h"

#include "platform/ControlEvents.h"
#include "platform/UpDown.h"
#include "windows/EditHold.h"
#include "windows/ReportedReadouts.h"
#include "windows/WindowParts.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

using WindowParts::element;
using WindowParts::named;

QLabel *display(const QString &name)
{
    return WindowParts::readout(name, 50);
}

// A display of what the controller reported: empty once the port closes.
QLabel *reported(const QString &name)
{
    return ReportedReadouts::mark(display(name));
}

QSpinBox *spinner(const QString &name, int max, int step)
{
    auto *s = named(new UpDown, name);
    s->setRange(0, max);
    s->setSingleStep(step);
    return s;
}

// A readout with its up-down arrows right beside it.
QHBoxLayout *withArrows(QLabel *readout, QSpinBox *arrows)
{
    auto *pair = new QHBoxLayout;
    pair->setSpacing(2);
    pair->addWidget(readout);
    pair->addWidget(arrows);
    pair->addStretch();
    return pair;
}

// The three mode buttons "Manual", "Auto", "Off" in a group of their own.
QGroupBox *modeGroup(const char *name, std::array<QRadioButton *, 3> &options)
{
    auto *group = new QGroupBox(QStringLiteral("Mode"));
    auto *layout = new QVBoxLayout(group);
    const char *captions[] = {"Manual", "Auto", "Off"};
    for (int i = 0; i < 3; ++i) {
        options[i] = named(new QRadioButton(QString::fromLatin1(captions[i])), element(name, i));
        layout->addWidget(options[i]);
    }
    options[2]->setChecked(true);
    return group;
}

QPushButton *jogButton(int index, QStyle::StandardPixmap icon, const char *tip)
{
    auto *b = named(new QPushButton, element("cmdMove", index));
    b->setIcon(b->style()->standardIcon(icon));
    b->setToolTip(QString::fromLatin1(tip));
    return b;
}

} // namespace

void frmConsole::buildLayout()
{
    setWindowTitle(QStringLiteral("VKM"));
    auto *top = new QVBoxLayout(this);
    auto *strip = new QHBoxLayout;
    TabStrip1 = named(new QTabBar, QStringLiteral("TabStrip1"));
    for (const char *caption : {"Focus", "Rotate", "Fan", "Secondary", "Dew Heaters"})
        TabStrip1->addTab(QString::fromLatin1(caption));
    strip->addWidget(TabStrip1);

    Toolbar1 = named(new QToolBar, QStringLiteral("Toolbar1"));
    Toolbar1->addSeparator(); // button 1
    cmdShowMain = Toolbar1->addAction(style()->standardIcon(QStyle::SP_TitleBarMaxButton), QString());
    cmdShowMain->setObjectName(QStringLiteral("Button_2"));
    cmdShowMain->setToolTip(QStringLiteral("Show full application "));
    cmdPin = Toolbar1->addAction(QString());
    cmdPin->setObjectName(QStringLiteral("Button_3"));
    // The tabs and the buttons stay whole side by side: no tab behind a scroll arrow, no button
    // folded behind the toolbar's extension arrow.
    cmdPin->setIcon(style()->standardIcon(QStyle::SP_DialogNoButton));
    TabStrip1->setMinimumWidth(TabStrip1->sizeHint().width());
    Toolbar1->setMinimumWidth(Toolbar1->sizeHint().width());
    strip->addWidget(Toolbar1, 1);
    top->addLayout(strip);

    lblAmbient = {reported(element("lblAmbient", 0)), reported(element("lblAmbient", 1))};
    lblPrimary = reported(QStringLiteral("lblPrimary"));
    lblSecondary = reported(QStringLiteral("lblSecondary"));
    UpDown2 = spinner(QStringLiteral("UpDown2"), 100, 10);
    UpDown4 = spinner(QStringLiteral("UpDown4"), 100, 10);
    lblFanPower = display(QStringLiteral("lblFanPower"));
    lblSecPower = display(QStringLiteral("lblSecPower"));
    QWidget *pages[] = {
        buildFocusPage(), buildRotatePage(),
        buildPowerPage({lblAmbient[0], "Primary", lblPrimary, "optFan", optFan, "Fan %", lblFanPower, UpDown2}),
        buildPowerPage({lblAmbient[1], "Secondary", lblSecondary, "optSec", optSec, "Heater %", lblSecPower, UpDown4}),
        buildDewPage()};
    conTabs = new QStackedWidget;
    for (int i = 0; i < 5; ++i)
        conTab[i] = named(pages[i], element("conTab", i));
    for (QWidget *page : conTab)
        conTabs->addWidget(page);
    top->addWidget(conTabs);
    top->addStretch(1);

    Holds = new EditHold(Timer3, this);
    for (QRadioButton *o : optFan)
        Holds->watch(o, FanHold);
    Holds->watch(UpDown2, FanHold);
    for (QRadioButton *o : optSec)
        Holds->watch(o, HeaterHold);
    Holds->watch(UpDown4, HeaterHold);
    Holds->watch(chkDew1, Dew1Hold);
    Holds->watch(UpDown5, Dew1Hold);
    Holds->watch(chkDew2, Dew2Hold);
    Holds->watch(UpDown6, Dew2Hold);
    // The controls that send need the port: refused before they change.
    Holds->guardPresses([this] { return commPortOpen(); });
}

QWidget *frmConsole::buildFocusPage()
{
    auto *page = new QFrame;
    auto *grid = new QGridLayout(page);
    lblActual = reported(QStringLiteral("lblActual"));
    cmdMove[0] = jogButton(0, QStyle::SP_ArrowUp, "");
    cmdMove[1] = jogButton(1, QStyle::SP_ArrowDown, "");
    UpDown1 = spinner(QStringLiteral("UpDown1"), 3, 1);
    lblfocusIncrement = display(QStringLiteral("lblfocusIncrement"));
    cmdFocusHome = named(new QPushButton(QStringLiteral("HOME")), QStringLiteral("cmdFocusHome"));
    cmdFocusStop = named(new QPushButton(QStringLiteral("STOP")), QStringLiteral("cmdFocusStop"));
    grid->addWidget(new QLabel(QStringLiteral("Position")), 0, 0);
    grid->addWidget(lblActual, 0, 1);
    grid->addWidget(cmdMove[0], 0, 2);
    grid->addWidget(cmdMove[1], 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Step")), 1, 0);
    grid->addLayout(withArrows(lblfocusIncrement, UpDown1), 1, 1);
    grid->addWidget(cmdFocusHome, 2, 1);
    grid->addWidget(cmdFocusStop, 2, 2);
    return page;
}

QWidget *frmConsole::buildRotatePage()
{
    auto *page = new QFrame;
    auto *grid = new QGridLayout(page);
    lblRotate = reported(QStringLiteral("lblRotate"));
    auto *which = new QGroupBox;
    auto *whichLayout = new QHBoxLayout(which);
    const char *captions[] = {"Target", "Actual"};
    for (int i = 0; i < 2; ++i) {
        optSet[i] = named(new QRadioButton(QString::fromLatin1(captions[i])), element("optSet", i));
        whichLayout->addWidget(optSet[i]);
    }
    optSet[0]->setChecked(true);
    cmdMove[2] = jogButton(2, QStyle::SP_ArrowLeft, "Rotate CCW");
    cmdMove[3] = jogButton(3, QStyle::SP_ArrowRight, "Rotate CW");
    UpDown3 = spinner(QStringLiteral("UpDown3"), 4, 1);
    lblRotateIncrement = display(QStringLiteral("lblRotateIncrement"));
    cmdRotateHome = named(new QPushButton(QStringLiteral("HOME")), QStringLiteral("cmdRotateHome"));
    cmdRotateStop = named(new QPushButton(QStringLiteral("STOP")), QStringLiteral("cmdRotateStop"));
    grid->addWidget(new QLabel(QStringLiteral("Angle")), 0, 0);
    grid->addWidget(lblRotate, 0, 1);
    grid->addWidget(which, 0, 2, 1, 2);
    grid->addWidget(cmdMove[2], 1, 0);
    grid->addWidget(cmdMove[3], 1, 1);
    grid->addLayout(withArrows(lblRotateIncrement, UpDown3), 1, 2, 1, 2);
    grid->addWidget(cmdRotateHome, 2, 1);
    grid->addWidget(cmdRotateStop, 2, 2);
    return page;
}

// The fan and the secondary-heater pages: two temperatures, the mode buttons and the power.
QWidget *frmConsole::buildPowerPage(const PowerPage &p)
{
    auto *page = new QFrame;
    auto *grid = new QGridLayout(page);
    const std::pair<const char *, QLabel *> temperatures[] = {{"Ambient", p.ambient}, {p.mirrorCaption, p.mirror}};
    for (int row = 0; row < 2; ++row) {
        grid->addWidget(new QLabel(QString::fromLatin1(temperatures[row].first)), row, 0);
        grid->addWidget(temperatures[row].second, row, 1);
    }
    grid->addWidget(modeGroup(p.modeName, p.modes), 0, 2, 3, 1);
    grid->addWidget(new QLabel(QString::fromLatin1(p.powerCaption)), 2, 0);
    grid->addLayout(withArrows(p.power, p.spin), 2, 1);
    return page;
}

QWidget *frmConsole::buildDewPage()
{
    auto *page = new QFrame;
    auto *grid = new QGridLayout(page);
    chkDew1 = named(new QCheckBox(QStringLiteral("Dew1")), QStringLiteral("chkDew1"));
    chkDew2 = named(new QCheckBox(QStringLiteral("Dew2")), QStringLiteral("chkDew2"));
    UpDown5 = spinner(QStringLiteral("UpDown5"), 100, 10);
    UpDown6 = spinner(QStringLiteral("UpDown6"), 100, 10);
    lblDew1 = display(QStringLiteral("lblDew1"));
    lblDew2 = display(QStringLiteral("lblDew2"));
    grid->addWidget(chkDew1, 0, 0);
    grid->addLayout(withArrows(lblDew1, UpDown5), 0, 1);
    grid->addWidget(chkDew2, 1, 0);
    grid->addLayout(withArrows(lblDew2, UpDown6), 1, 1);
    return page;
}

void frmConsole::connectControls()
{
    connect(cmdFocusHome, &QPushButton::clicked, this, &frmConsole::cmdFocusHome_Click);
    connect(cmdFocusStop, &QPushButton::clicked, this, &frmConsole::cmdFocusStop_Click);
    connect(cmdRotateHome, &QPushButton::clicked, this, &frmConsole::cmdRotateHome_Click);
    connect(cmdRotateStop, &QPushButton::clicked, this, &frmConsole::cmdRotateStop_Click);
    // Left-button press and release of the jog buttons, seen before the button handles them.
    for (int i = 0; i < 4; ++i) {
        OnControlEvent(cmdMove[i], {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}, [this, i](QEvent *event) {
            if (static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
                return false;
            if (event->type() == QEvent::MouseButtonPress)
                cmdMove_MouseDown(i);
            else
                cmdMove_MouseUp(i);
            return false;
        });
    }

    // Each power spinner's value shows in the label beside it before its change handler runs;
    // a dew heater's label then ticks its check box.
    const std::pair<QSpinBox *, QLabel *> shown[] = {
        {UpDown2, lblFanPower}, {UpDown4, lblSecPower}, {UpDown5, lblDew1}, {UpDown6, lblDew2}};
    for (const auto &[spin, label] : shown) {
        label->setText(QString::number(spin->value()));
        connect(spin, &QSpinBox::valueChanged, this, [this, label = label](int value) {
            label->setText(QString::number(value));
            if (label == lblDew1)
                lblDew1_Change();
            else if (label == lblDew2)
                lblDew2_Change();
        });
    }
    const std::pair<QSpinBox *, void (frmConsole::*)()> spinners[] = {
        {UpDown1, &frmConsole::UpDown1_Change}, {UpDown2, &frmConsole::UpDown2_Change},
        {UpDown3, &frmConsole::UpDown3_Change}, {UpDown4, &frmConsole::UpDown4_Change},
        {UpDown5, &frmConsole::UpDown5_Change}, {UpDown6, &frmConsole::UpDown6_Change}};
    for (const auto &[spin, handler] : spinners)
        connect(spin, &QSpinBox::valueChanged, this, handler);
    for (int i = 0; i < 3; ++i) {
        connect(optFan[i], &QRadioButton::toggled, this, [this, i](bool on) { if (on) optFan_Click(i); });
        connect(optSec[i], &QRadioButton::toggled, this, [this, i](bool on) { if (on) optSec_Click(i); });
    }
    connect(chkDew1, &QCheckBox::toggled, this, &frmConsole::chkDew1_Click);
    connect(chkDew2, &QCheckBox::toggled, this, &frmConsole::chkDew2_Click);
    connect(TabStrip1, &QTabBar::currentChanged, this, &frmConsole::TabStrip1_Click);
    connect(cmdShowMain, &QAction::triggered, this, [this] { Toolbar1_ButtonClick(2); });
    connect(cmdPin, &QAction::triggered, this, [this] { Toolbar1_ButtonClick(3); });
}
