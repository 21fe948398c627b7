#include "alignment/frmZELUtilities.h"

#include "alignment/frmSynchTS.h"
#include "link/ModuleState.h"
#include "platform/ControlEvents.h"
#include "platform/Controls.h"
#include "platform/Screen.h"
#include "platform/UpDown.h"
#include "platform/UserPrompts.h"
#include "platform/VbError.h"

#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// What the key filter of "Max iterations:" lets through of a text.
QString digitsOnly(const QString &text)
{
    QString digits;
    for (const QChar c : text)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
    return digits;
}

} // namespace

frmZELUtilities::frmZELUtilities(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmZELUtilities"));
    setWindowTitle(QStringLiteral("ZEL Utilities"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(true);
    buildLayout();
    wireHandlers();
    Form_Load();
}

frmZELUtilities::~frmZELUtilities()
{
    if (!m_unloaded)
        Form_Unload();
}

void frmZELUtilities::ask(QWidget *parent)
{
    frmZELUtilities window(parent);
    window.exec();
}

void frmZELUtilities::buildLayout()
{
    auto *grid = new QGridLayout;
    int row = 0;
    const auto setting = [&](const char *labelName, const QString &caption, QLineEdit *&box, const char *boxName,
                             QSpinBox **spinner, const char *spinnerName) {
        grid->addWidget(NewControl<QLabel>(this, labelName, caption), row, 0);
        box = NewControl<QLineEdit>(this, boxName);
        grid->addWidget(box, row, 1);
        if (spinner) {
            *spinner = NewControl<UpDown>(this, spinnerName);
            (*spinner)->setRange(0, 100);
            (*spinner)->setWrapping(true);
            grid->addWidget(*spinner, row, 2);
        }
        ++row;
    };
    setting("label1_0", QStringLiteral("Unbinned image scale (arcsec/pix):"), txtImageScale, "txtImageScale", &UpDown1,
            "UpDown1");
    setting("label1_1", QStringLiteral("Max allowable position error (arcsec):"), txtPositionErr, "txtPositionErr",
            &UpDown2, "UpDown2");
    setting("label1_2", QStringLiteral("Max allowable rotation error (deg):"), txtRotErr, "txtRotErr", &UpDown3,
            "UpDown3");
    setting("label1_3", QStringLiteral("Max iterations:"), txtItterations, "txtItterations", &UpDown4, "UpDown4");
    setting("label1_4", QStringLiteral("Exposure time (sec):"), txtExposureTime, "txtExposureTime", &UpDown5,
            "UpDown5");
    grid->addWidget(NewControl<QLabel>(this, "Label2", QStringLiteral("Imaging program:")), row, 0);
    cmbImager = NewControl<QComboBox>(this, "cmbImager");
    grid->addWidget(cmbImager, row++, 1);
    grid->addWidget(NewControl<QLabel>(this, "Label5", QStringLiteral("Catalog")), row, 0);
    cmbCatalog = NewControl<QComboBox>(this, "cmbCatalog");
    grid->addWidget(cmbCatalog, row++, 1);
    grid->addWidget(NewControl<QLabel>(this, "Label4", QStringLiteral("Catalog Path")), row, 0);
    txtCatalogPath = NewControl<QLineEdit>(this, "txtCatalogPath");
    grid->addWidget(txtCatalogPath, row++, 1, 1, 2);

    auto *engine = NewControl<QGroupBox>(this, "Frame2", QStringLiteral("Astrometric Engine"));
    auto *engineLayout = new QVBoxLayout(engine);
    optAstro[0] = NewControl<QRadioButton>(engine, "optAstro_0", QStringLiteral("PinPoint"));
    optAstro[1] = NewControl<QRadioButton>(engine, "optAstro_1", QStringLiteral("CCDSoft/TheSky"));
    engineLayout->addWidget(optAstro[0]);
    engineLayout->addWidget(optAstro[1]);
    chkSpiralSearch = NewControl<QCheckBox>(this, "chkSpiralSearch", QStringLiteral("Spiral search"));
    auto *slew = NewControl<QGroupBox>(this, "Frame1", QString());
    auto *slewLayout = new QVBoxLayout(slew);
    chkSlewTele = NewControl<QCheckBox>(slew, "chkSlewTele", QStringLiteral("Slew telescope to center of object."));
    slewLayout->addWidget(chkSlewTele);

    cmdAlignCCD = NewControl<QPushButton>(this, "cmdAlignCCD", QStringLiteral("Align Camera"));
    cmdSavedImage = NewControl<QPushButton>(this, "cmdSavedImage", QStringLiteral("Frame from Saved Image"));
    cmdImageLink = NewControl<QPushButton>(this, "cmdImageLink", QStringLiteral("Image Link && Synch ZEL"));
    cmdSynchronize = NewControl<QPushButton>(this, "cmdSynchronize", QStringLiteral("Synchronize"));
    cmdAbort = NewControl<QPushButton>(this, "cmdAbort", QStringLiteral("ABORT"));
    cmdAbort->setEnabled(false);
    // Enter in a box confirms a value and never starts a run.
    for (QPushButton *button : {cmdAlignCCD, cmdSavedImage, cmdImageLink, cmdSynchronize, cmdAbort}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    lstStatus = NewControl<QListWidget>(this, "lstStatus");

    auto *buttons = new QVBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{cmdAlignCCD, cmdImageLink, slew, cmdSavedImage, cmdSynchronize,
                                                       cmdAbort})
        buttons->addWidget(w);
    buttons->addStretch();
    auto *top = new QGridLayout(this);
    top->addLayout(grid, 0, 0);
    top->addWidget(engine, 1, 0);
    top->addWidget(chkSpiralSearch, 2, 0);
    top->addLayout(buttons, 0, 1, 3, 1);
    top->addWidget(NewControl<QLabel>(this, "Label3", QStringLiteral("Status:")), 3, 0);
    top->addWidget(lstStatus, 4, 0, 1, 2);
}

void frmZELUtilities::wireHandlers()
{
    for (QRadioButton *option : optAstro)
        connect(option, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                optAstro_Click();
        });
    connect(txtCatalogPath, &QLineEdit::textChanged, this, &frmZELUtilities::txtCatalogPath_Change);
    connect(txtExposureTime, &QLineEdit::textChanged, this, &frmZELUtilities::txtExposureTime_Change);
    connect(txtItterations, &QLineEdit::textChanged, this, &frmZELUtilities::txtItterations_Change);
    OnControlEvent(txtItterations, {QEvent::KeyPress}, [this](QEvent *event) {
        // Pasted text is filtered as typed text is.
        if (static_cast<QKeyEvent *>(event)->matches(QKeySequence::Paste)) {
            txtItterations->insert(digitsOnly(QGuiApplication::clipboard()->text()));
            return true;
        }
        // Digits only; Backspace is dropped too.
        const QChar c = TypedCharacter(event);
        return !c.isNull() && !(c >= QLatin1Char('0') && c <= QLatin1Char('9'));
    });
    // No other way in for text the filter has not seen: no menu, no drop, no middle-button paste.
    txtItterations->setContextMenuPolicy(Qt::NoContextMenu);
    txtItterations->setAcceptDrops(false);
    OnControlEvent(txtItterations, {QEvent::MouseButtonRelease}, [](QEvent *event) {
        return static_cast<QMouseEvent *>(event)->button() == Qt::MiddleButton;
    });
    connect(chkSpiralSearch, &QCheckBox::stateChanged, this, [this](int state) {
        // A stored 2 shows grayed; the operator's click leaves only on and off.
        if (state != Qt::PartiallyChecked)
            chkSpiralSearch->setTristate(false);
        chkSpiralSearch_Click();
    });
    connect(cmbCatalog, &QComboBox::activated, this, &frmZELUtilities::cmbCatalog_Click);
    connect(cmbImager, &QComboBox::activated, this, &frmZELUtilities::cmbImager_Click);
    connect(UpDown1, &QSpinBox::valueChanged, this, &frmZELUtilities::UpDown1_Change);
    connect(UpDown2, &QSpinBox::valueChanged, this, &frmZELUtilities::UpDown2_Change);
    connect(UpDown3, &QSpinBox::valueChanged, this, &frmZELUtilities::UpDown3_Change);
    OnControlEvent(UpDown1, {QEvent::MouseButtonPress}, [this] { ImageScaleRepeat = 0; });
    OnControlEvent(UpDown2, {QEvent::MouseButtonPress}, [this] { PositionErrRepeat = 0; });
    OnControlEvent(UpDown3, {QEvent::MouseButtonPress}, [this] { RotErrRepeat = 0; });
    connect(cmdAbort, &QPushButton::clicked, this, &frmZELUtilities::cmdAbort_Click);
    connect(cmdSynchronize, &QPushButton::clicked, this, &frmZELUtilities::cmdSynchronize_Click);
    connect(cmdAlignCCD, &QPushButton::clicked, this, &frmZELUtilities::cmdAlignCCD_Click);
    connect(cmdImageLink, &QPushButton::clicked, this, &frmZELUtilities::cmdImageLink_Click);
    connect(cmdSavedImage, &QPushButton::clicked, this, &frmZELUtilities::cmdSavedImage_Click);
}

void frmZELUtilities::cmdAbort_Click()
{
    AbortRequested = true;
    Screen::SetMousePointer(Screen::vbHourglass);
}

void frmZELUtilities::cmdSynchronize_Click()
{
    try {
        if (!Module().thesky.TheSky) {
            cmdSynchronize->setEnabled(false);
            return;
        }
        frmSynchTS::ask(this);
    } catch (const VbError &e) {
        MsgBox(e.description(), vbconst::vbExclamation, QStringLiteral("VKM ERROR OCCURED"));
    }
}

void frmZELUtilities::enableRunButtons(bool enabled)
{
    // Synchronize comes back only as the run found it: without TheSky it stays disabled.
    if (!enabled)
        m_synchronizeEnabled = cmdSynchronize->isEnabled();
    for (QPushButton *button : {cmdAlignCCD, cmdImageLink, cmdSavedImage})
        button->setEnabled(enabled);
    cmdSynchronize->setEnabled(enabled && m_synchronizeEnabled);
}

void frmZELUtilities::Log(const QString &line)
{
    lstStatus->addItem(line);
    lstStatus->setCurrentRow(lstStatus->count() - 1);
}

void frmZELUtilities::AppendDot()
{
    const int last = lstStatus->count() - 1;
    if (last < 0)
        return;
    QListWidgetItem *item = lstStatus->item(last);
    item->setText(item->text() + QLatin1Char('.'));
    lstStatus->setCurrentRow(last);
}

void frmZELUtilities::closeEvent(QCloseEvent *event)
{
    // The run is still on the stack: ask it to stop, and close once it has ended.
    if (m_running) {
        m_closePending = true;
        cmdAbort_Click();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
    if (event->isAccepted() && !m_unloaded)
        Form_Unload();
}

void frmZELUtilities::done(int result)
{
    if (m_running) {
        m_closePending = true;
        cmdAbort_Click();
        return;
    }
    Form_Unload();
    QDialog::done(result);
}
