// The options window's life cycle, the read-back chain, the change marks and the
// registry-only options.
#include "settings/frmCal.h"

#include "link/ControlWindowHooks.h"
#include "link/DriverSettings.h"
#include "link/HandlerError.h"
#include "link/ModuleState.h"
#include "link/Serial.h"
#include "platform/ControlEvents.h"
#include "platform/CreateObject.h"
#include "platform/Held.h"
#include "platform/OperatorEdits.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbError.h"
#include "settings/OptionRows.h"
#include "settings/SettingsReadBack.h"
#include "settings/frmCalculateStepSize.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <algorithm>
#include <functional>

namespace {

const QString Title = QStringLiteral("VKM");

// The temperature-coefficient boxes take the digits 0 to 9, one ".", and "-" as the first
// character. `counts` tells whether the character is one of those the boxes take at all.
bool coefficientKeeps(QChar typed, const QString &text, bool &counts)
{
    const bool digit = typed >= u'0' && typed <= u'9';
    counts = digit || typed == u'.' || typed == u'-' || typed == u'\b';
    if (!counts)
        return false;
    return !(typed == u'.' && text.contains(u'.')) && !(typed == u'-' && !text.isEmpty());
}

// Keys that step a spinner, as against those that only pass the focus through it.
bool stepsSpinner(const QEvent *event)
{
    if (event->type() != QEvent::KeyRelease)
        return true;
    switch (static_cast<const QKeyEvent *>(event)->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

} // namespace

frmCal *CalForm(bool create)
{
    static QPointer<frmCal> instance;
    if (!instance && create)
        instance = new frmCal;
    return instance;
}

frmCal::frmCal(QWidget *parent) : QWidget(parent, Qt::Window), m_readBack(std::make_unique<SettingsReadBack>(this))
{
    buildLayout();
    captureDesign();
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(250);
    connectHandlers();
    m_readBack->valueWritten = [this](const QString &name) {
        for (int k = 0; k < 4; ++k)
            if (name == UpDown3[k]->objectName())
                UpDown3_Change(k);
    };
    m_readBack->keptByOperator = [this](const QString &name) { return keptByOperator(name); };
    m_readBack->reportWritten = [this](const QString &name) {
        if (const OptionRow *row = OptionRows::byControl(name))
            rowKnown(row->entry);
    };
}

frmCal::~frmCal()
{
    if (m_loaded && ControlWindows().SettingsWindow == m_readBack.get())
        ControlWindows().SettingsWindow = nullptr;
}

void frmCal::showWindow()
{
    if (!m_loaded)
        Form_Load();
    show();
    raise();
    activateWindow();
}

void frmCal::connectHandlers()
{
    connect(&Timer1, &VbTimer::Tick, this, &frmCal::Timer1_Timer);
    connect(SSTab1, &QTabWidget::currentChanged, this, &frmCal::SSTab1_Click);

    // Changes count only from the operator's own hand on a control, whatever the way in.
    for (QRadioButton *option : optIntFan) {
        OnControlEvent(option, {QEvent::MouseButtonRelease}, [this] { mark(0, true); });
        connect(option, &QAbstractButton::clicked, this, [this] { mark(0, true); });
    }
    // Each row's control marks its entry the way its kind is edited.
    for (const OptionRow &row : OptionRows::all()) {
        const int entry = row.entry;
        switch (row.kind) {
        case RowKind::Spinner:
        case RowKind::Deadband:
            connectSpinner(findChild<UpDown *>(QString::fromLatin1(row.control)), rowBox(row), entry);
            break;
        case RowKind::ServoText:
        case RowKind::FixedPoint:
            OnOperatorEdit(rowBox(row), {}, [this, entry] { mark(entry, true); });
            break;
        case RowKind::Coefficient:
            connectCoefficient(rowBox(row), entry);
            break;
        case RowKind::Flag: {
            auto *box = findChild<QCheckBox *>(QString::fromLatin1(row.control));
            OnControlEvent(box, {QEvent::MouseButtonRelease}, [this, entry] { mark(entry, true); });
            connect(box, &QAbstractButton::clicked, this, [this, entry] { mark(entry, true); });
            // The operator clicks between cleared and checked; grayed comes only from a file.
            connect(box, &QAbstractButton::pressed, this, [box] {
                if (box->checkState() != Qt::PartiallyChecked)
                    box->setTristate(false);
            });
            break;
        }
        case RowKind::Hundredths:
        case RowKind::HeaterText:
        case RowKind::StepSize: {
            const bool enables = row.letter != nullptr; // the step size goes to the registry only
            OnControlEvent(rowBox(row), {QEvent::KeyPress}, [this, entry, enables](QEvent *e) {
                if (!TypedCharacter(e).isNull())
                    mark(entry, enables);
                return false;
            });
            OnOperatorEdit(rowBox(row), {}, [this, entry, enables] { mark(entry, enables); });
            break;
        }
        default:
            break;
        }
    }
    const std::pair<QCheckBox *, int> options[] = {{chkTeleEastWest, 33}, {chkPromptTheSky, 34}, {chkZELLimit, 36}};
    for (const auto &[box, entry] : options) {
        connect(box, &QCheckBox::stateChanged, this, [this, entry = entry] {
            if (!IsLoading)
                mark(entry, false);
        });
    }
    connect(Combo1, &QComboBox::activated, this, &frmCal::Combo1_Click);
    for (int k = 0; k < 4; ++k) {
        // A value the operator chose, which the upload may send whatever the port.
        const auto edited = [this](QWidget *control) {
            return [this, control] {
                if (!IsLoading && !m_readBack->writing())
                    m_stepperOrigins.edited(control->objectName());
            };
        };
        connect(cmbStepperMode[k], &QComboBox::currentIndexChanged, this, edited(cmbStepperMode[k]));
        connect(cmbStepperStepMode[k], &QComboBox::currentIndexChanged, this, edited(cmbStepperStepMode[k]));
        connect(UpDown3[k], &QSpinBox::valueChanged, this, edited(UpDown3[k]));
        connect(cmbStepperMode[k], &QComboBox::currentIndexChanged, this, [this, k] { cmbStepperMode_Click(k); });
        connect(cmbStepperStepMode[k], &QComboBox::currentIndexChanged, this, [this, k] { cmbStepperStepMode_Click(k); });
        connect(UpDown3[k], &QSpinBox::valueChanged, this, [this, k] {
            UpDown3_Change(k);
            operatorChange(38, true);
        });
        OnControlEvent(UpDown3[k], {QEvent::MouseButtonPress, QEvent::KeyRelease, QEvent::Wheel}, [this](QEvent *e) {
            if (stepsSpinner(e))
                mark(38, true);
            return false;
        });
    }

    connect(udDBSettle, &QSpinBox::valueChanged, this, &frmCal::udDBSettle_Change);

    connect(cmdUploadVKM, &QPushButton::clicked, this, &frmCal::cmdUploadVKM_Click);
    connect(Command1, &QPushButton::clicked, this, &frmCal::Command1_Click);
    connect(cmdCalc, &QPushButton::clicked, this, &frmCal::cmdCalc_Click);
    connect(cmdCheckTS, &QPushButton::clicked, this, &frmCal::cmdCheckTS_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmCal::cmdClose_Click);
    connect(cmdSaveFile, &QPushButton::clicked, this, &frmCal::cmdSaveFile_Click);
    connect(cmdRetrieveFile, &QPushButton::clicked, this, &frmCal::cmdRetrieveFile_Click);
    connect(cmdCalMark, &QPushButton::clicked, this, &frmCal::cmdCalMark_Click);
    connect(cmdCalibrate, &QPushButton::clicked, this, &frmCal::cmdCalibrate_Click);
    connect(cmdCalUpload, &QPushButton::clicked, this, &frmCal::cmdCalUpload_Click);
    connect(cmdRetrieveCoef, &QPushButton::clicked, this, &frmCal::cmdRetrieveCoef_Click);
    connect(cmdSaveCoef, &QPushButton::clicked, this, &frmCal::cmdSaveCoef_Click);
    connect(cmdLoad, &QPushButton::clicked, this, &frmCal::cmdLoad_Click);
}

// A spinner shows its value in its partner box, which the operator may also edit: the
// spinner takes the typed number, and the box shows what it took once the edit is done. A
// number beyond the spinner's range stays as typed, for the upload to refuse by name.
void frmCal::connectSpinner(UpDown *spin, QLineEdit *box, int entry)
{
    OnControlEvent(spin, {QEvent::MouseButtonRelease, QEvent::KeyRelease, QEvent::Wheel}, [this, entry](QEvent *e) {
        if (stepsSpinner(e))
            mark(entry, true);
        return false;
    });
    connect(spin, &QSpinBox::valueChanged, this, [this, entry] { operatorChange(entry, true); });
    if (!box)
        return;
    spin->setBuddy(box);
    connect(spin, &QSpinBox::valueChanged, box, [box](int value) { box->setText(QString::number(value)); });
    OnOperatorEdit(box, {}, [this, spin, entry] {
        spin->takeBuddyNumber();
        mark(entry, true);
    });
    connect(box, &QLineEdit::editingFinished, spin, [this, spin, box, entry] {
        const bool beyond = vb::StrictNumber(box->text()) && !takesFileValue(*OptionRows::byEntry(entry), box->text());
        if (box->isModified() && !beyond) // typed since the program last wrote it
            box->setText(QString::number(spin->value()));
    });
}

void frmCal::connectCoefficient(QLineEdit *box, int entry)
{
    OnControlEvent(box, {QEvent::KeyPress}, [this, box, entry](QEvent *e) {
        const QChar typed = TypedCharacter(e);
        if (typed.isNull())
            return false;
        bool counts = false;
        const bool kept = coefficientKeeps(typed, box->text(), counts);
        if (counts)
            mark(entry, true);
        return !kept;
    });
    const auto keeps = [](QChar typed, const QString &text) {
        bool counts = false;
        return coefficientKeeps(typed, text, counts);
    };
    OnOperatorEdit(box, keeps, [this, entry] { mark(entry, true); });
}

void frmCal::Form_Load()
{
    ModuleState &m = Module();
    IsLoading = true;
    SkipUploadPrompt = false; // a declined close must not silence the button's question
    cmdCalUpload->setEnabled(false);
    cmdCalibrate->setEnabled(false);
    cmdUploadVKM->setEnabled(false);
    CalPointCount = 0;
    // The window is reused: it opens as it was built, with nothing of its last opening.
    m_readBack->asProgram([this] {
        for (const auto &restore : m_design)
            restore();
        showSpinnerValues();
    });
    m_readBack->forgetSources();
    m_stepperOrigins.clear();
    m_knownRows.clear();
    m_foviErrorShown = false;
    ControlWindows().SettingsWindow = m_readBack.get();
    m.link.SettingsWindowOpen = true;
    m_loaded = true;
    RequestControllerSettings();

    chkErrorComputer->setChecked(m.settings.ErrorMessage != 0);
    try {
        txtStepSize->setText(vb::Format(m.settings.StepSize, QStringLiteral("0.00")));
    } catch (const VbError &) {
    }
    chkTeleEastWest->setChecked(m.settings.CheckTelescope);
    chkPromptTheSky->setChecked(m.settings.PromptTheSky);
    chkEnableSlew->setChecked(m.settings.EnableSlew != 0);
    for (int k = 0; k < 4; ++k) {
        cmbStepperMode[k]->clear();
        cmbStepperMode[k]->addItems({QStringLiteral("General"), QStringLiteral("Primary Cover")});
        cmbStepperMode[k]->setCurrentIndex(0);
        cmbStepperStepMode[k]->clear();
        cmbStepperStepMode[k]->addItems(
            {QStringLiteral("Full Step"), QStringLiteral("1/2 Step"), QStringLiteral("1/4 Step"), QStringLiteral("1/8 Step")});
        cmbStepperStepMode[k]->setCurrentIndex(0);
        lblStepCurrent[k]->setText(QStringLiteral("n/a"));
    }
    IsLoading = false;
    chkZELLimit->setChecked(m.settings.AutoReverse != 0);
    ChangedFlags.fill(false);
    showUnread();
}

void frmCal::captureDesign()
{
    for (QLineEdit *box : findChildren<QLineEdit *>()) {
        if (!box->objectName().isEmpty() && !qobject_cast<QAbstractSpinBox *>(box->parent()))
            m_design.push_back([box, text = box->text()] { box->setText(text); });
    }
    for (QLabel *label : findChildren<QLabel *>()) {
        if (!label->objectName().isEmpty())
            m_design.push_back([label, text = label->text()] { label->setText(text); });
    }
    for (QSpinBox *spin : findChildren<QSpinBox *>())
        m_design.push_back([spin, value = spin->value()] { spin->setValue(value); });
    for (QCheckBox *box : findChildren<QCheckBox *>()) {
        m_design.push_back([box, state = box->checkState(), tristate = box->isTristate()] {
            box->setCheckState(state);
            box->setTristate(tristate);
        });
    }
    for (QRadioButton *option : findChildren<QRadioButton *>()) {
        m_design.push_back([option, checked = option->isChecked()] {
            option->setAutoExclusive(false); // so that no option of the group may be selected
            option->setChecked(checked);
            option->setAutoExclusive(true);
        });
    }
    m_design.push_back([this] {
        Combo1->clear();
        SSTab1->setCurrentIndex(0);
    });
}

// Each partner box shows its spinner's value, also one the spinner has held from the start.
void frmCal::showSpinnerValues()
{
    const std::pair<QSpinBox *, QLineEdit *> partners[] = {{udIntFanSet, txtIntFanSet},
                                                           {udIntFanHyst, txtintfanhyst},
                                                           {UpDown1, txtFanThreshold},
                                                           {UpDown2, txtFanPulsePower},
                                                           {udDeadband, txtDeadband}};
    for (const auto &[spin, box] : partners)
        box->setText(QString::number(spin->value()));
    udDBSettle_Change();
}

void frmCal::operatorChange(int entry, bool enablesUpload)
{
    if (!m_readBack->writing())
        mark(entry, enablesUpload);
}

void frmCal::RequestControllerSettings()
{
    try {
        if (!portOpen())
            return;
        transmit(QStringLiteral("l "));
        Module().tools.DownloadState = 0;
        Timer1.setEnabled(true);
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
}

// Each tick repeats the request whose report the chain still waits for.
void frmCal::Timer1_Timer()
{
    int32_t &state = Module().tools.DownloadState;
    try {
        switch (state) {
        case 1: transmit(QStringLiteral("G ")); break;
        case 2: transmit(QStringLiteral("< ")); break;
        case 3: transmit(QStringLiteral("1 ")); break;
        case 4: state = 5; break;
        case 5: Timer1.setEnabled(false); break;
        default: break;
        }
    } catch (const std::exception &) {
        // Without the main window's link the chain waits; the next tick tries again.
    }
}

void frmCal::Command1_Click()
{
    RequestControllerSettings();
}

bool frmCal::hasChanges() const
{
    return std::find(ChangedFlags.begin(), ChangedFlags.end(), true) != ChangedFlags.end();
}

void frmCal::mark(int entry, bool enablesUpload)
{
    if (entry < 0 || entry >= FlagCount)
        throw VbError(9, QStringLiteral("Subscript out of range"));
    ChangedFlags[entry] = true;
    rowKnown(entry);
    if (enablesUpload)
        cmdUploadVKM->setEnabled(true);
}

void frmCal::cmbStepperMode_Click(int index)
{
    if (IsLoading || Module().tools.DownloadState != 5 || m_readBack->writing())
        return;
    mark(38, true);
    if (index == 0 && cmbStepperMode[0]->currentIndex() == 1) {
        for (int k = 1; k < 4; ++k)
            cmbStepperMode[k]->setCurrentIndex(1);
    }
}

void frmCal::cmbStepperStepMode_Click(int)
{
    if (!IsLoading && Module().tools.DownloadState == 5 && !m_readBack->writing())
        mark(38, true);
}

bool frmCal::keptByOperator(const QString &name) const
{
    if (m_stepperOrigins.byOperator(name))
        return true;
    const OptionRow *row = OptionRows::byControl(name);
    return row && row->entry >= 0 && ChangedFlags[row->entry];
}

void frmCal::rowKnown(int entry)
{
    if (!m_knownRows.contains(entry)) {
        m_knownRows.insert(entry);
        showUnread();
    }
}

bool frmCal::rowUnread(const OptionRow &row) const
{
    return row.reports && !m_knownRows.contains(row.entry);
}

void frmCal::showUnread()
{
    QStringList names;
    bool anyRead = false;
    for (const OptionRow &row : OptionRows::all()) {
        if (rowUnread(row))
            names << QLatin1String(row.name);
        else if (row.reports)
            anyRead = true;
    }
    if (names.isEmpty())
        lblNotRead->clear();
    else if (!anyRead)
        lblNotRead->setText(QStringLiteral("Nothing was read from the VKM: the values shown are not its own, and a file saves "
                                           "only those typed."));
    else
        lblNotRead->setText(QStringLiteral("Not read from the VKM, and not saved to a file until read or typed: %1.")
                                .arg(names.join(QStringLiteral(", "))));
}

void frmCal::UpDown3_Change(int index)
{
    const QString shown = vb::Format(UpDown3[index]->value() / 90.0, QStringLiteral("0.00"));
    lblStepCurrent[index]->setText(shown);
}

void frmCal::udDBSettle_Change()
{
    txtDeadbandSettle->setText(vb::Format(udDBSettle->value() / 20.0, QStringLiteral("#0.0")));
}

void frmCal::cmdCalc_Click()
{
    // Taken into use with the other options when the window closes.
    if (const std::optional<float> size = frmCalculateStepSize::showModal(this)) {
        txtStepSize->setText(vb::CStr(*size));
        mark(30, false);
    }
}

void frmCal::SSTab1_Click(int tab)
{
    if (tab == 2)
        checkTheSky(true);
}

void frmCal::Combo1_Click()
{
    if (IsLoading)
        return;
    Module().settings.Detector = Combo1->currentText();
    mark(37, false);
}

void frmCal::cmdCheckTS_Click()
{
    checkTheSky(false);
}

// A visit of the tab says that TheSky's list cannot be had once per opening; the button every time.
void frmCal::checkTheSky(bool onVisit)
{
    QString &detector = Module().settings.Detector;
    IsLoading = true;
    try {
        std::shared_ptr<Dispatch> fovs = CreateObject(QStringLiteral("TheSky6.myFovs"));
        const int16_t count = fovs->Get(QStringLiteral("Count")).toInteger();
        Combo1->clear();
        int found = -1;
        for (int16_t i = 0; i < count; ++i) {
            const QString name = fovs->Get(QStringLiteral("Name"), {Variant(i)}).toString();
            Combo1->addItem(name);
            if (name == detector)
                found = i;
        }
        if (!detector.isEmpty() && found == -1) {
            MsgBox(QStringLiteral("The current FOVI was not identified in TheSky.  The FOVI will default to first in list"),
                   vbconst::vbExclamation, Title);
            found = 0;
            mark(37, false);
        } else if (detector.isEmpty()) {
            found = 0;
            mark(37, false);
        }
        if (found >= Combo1->count())
            throw VbError(380, QStringLiteral("Invalid property value"));
        Combo1->setCurrentIndex(found);
        if (Combo1->currentText() != detector)
            mark(37, false);
        detector = Combo1->currentText();
    } catch (const std::exception &) {
        if (!onVisit || !m_foviErrorShown)
            MsgBox(QStringLiteral("Error retrieving FOVI list from TheSky6.  Make sure the correct version of TheSky is installed."),
                   vbconst::vbExclamation, Title);
        m_foviErrorShown = true;
    }
    IsLoading = false;
}

void frmCal::cmdClose_Click()
{
    close();
}

void frmCal::closeEvent(QCloseEvent *event)
{
    if (m_loaded)
        Form_Unload();
    event->accept();
}

void frmCal::Form_Unload()
{
    Timer1.setEnabled(false);
    bool accepted = false;
    bool stepSizeMarked = false;
    if (hasChanges()) {
        SkipUploadPrompt = true;
        accepted = MsgBox(QStringLiteral("One or more items have changed.  Would you like to upload changed to the VKM?"),
                          vbconst::vbOKCancel | vbconst::vbQuestion, Title)
                   != vbconst::vbCancel;
        if (accepted) {
            stepSizeMarked = ChangedFlags[30];
            cmdUploadVKM_Click();
        }
    }
    if (storeErrorMessage() && (!accepted || storeRegistryOptions(stepSizeMarked)))
        storeEnableSlew();
    Module().link.SettingsWindowOpen = false;
    if (ControlWindows().SettingsWindow == m_readBack.get())
        ControlWindows().SettingsWindow = nullptr;
    m_loaded = false;
}

namespace {

// The driver key for one window's writes: the box and false when it cannot be had, the box
// naming what was not saved when a write fails (the value in use stays the one on disk).
bool withDriverKey(bool create, const std::function<void(SettingsWrite &)> &write)
{
    HKEY key = 0;
    const LSTATUS opened = create ? RegCreateKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, QString(), 0, SettingsKeyAccess, &key, nullptr)
                                  : RegOpenKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, 0, SettingsKeyAccess, &key);
    if (opened != ERROR_SUCCESS) {
        MsgBox(create ? QStringLiteral("Unable to create key") : QStringLiteral("Unable to read registry"),
               vbconst::vbExclamation, Title);
        return false;
    }
    SettingsWrite writes(key);
    try {
        write(writes);
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
    if (writes.failed())
        MsgBox(writes.failure(), vbconst::vbExclamation, Title);
    RegCloseKey(key);
    return true;
}

} // namespace

// A change of the computer's error messages is kept at every close, as the slew option is.
bool frmCal::storeErrorMessage()
{
    ModuleState::Settings &s = Module().settings;
    const int16_t shown = chkErrorComputer->isChecked() ? 1 : 0;
    if (shown == s.ErrorMessage)
        return true;
    return withDriverKey(true, [&](SettingsWrite &w) {
        if (w.put(QStringLiteral("ErrorMessage"), REG_DWORD, shown))
            s.ErrorMessage = shown;
    });
}

// The options the operator marked, after an accepted upload; each is taken into use once saved.
bool frmCal::storeRegistryOptions(bool stepSizeMarked)
{
    ModuleState::Settings &s = Module().settings;
    return withDriverKey(false, [&](SettingsWrite &w) {
        // A step size that is no number is refused alone; the other options are still stored.
        try {
            if (stepSizeMarked) {
                const std::optional<float> size = OptionRows::stepSize(txtStepSize->text());
                if (!size)
                    throw VbError(13, QStringLiteral("Type mismatch"));
                if (w.put(QStringLiteral("StepSize"), REG_SZ, vb::CStr(*size)))
                    s.StepSize = *size;
            }
        } catch (const std::exception &e) {
            ShowHandlerError(e);
        }
        const auto option = [&](int entry, const char *name, QCheckBox *box, auto &variable) {
            const int16_t value = box->isChecked() ? 1 : 0;
            if (ChangedFlags[entry] && w.put(QString::fromLatin1(name), REG_DWORD, value))
                variable = std::remove_reference_t<decltype(variable)>(value);
        };
        option(33, "CheckTelescope", chkTeleEastWest, s.CheckTelescope);
        option(34, "PromptTheSky", chkPromptTheSky, s.PromptTheSky);
        option(36, "AutoReverse", chkZELLimit, s.AutoReverse);
        // The detector is taken into use as it is chosen: unsaved, it goes back to the one on disk.
        QVariant stored;
        if (ChangedFlags[37] && !w.put(QStringLiteral("Detector"), REG_SZ, s.Detector)
            && QueryRegistryValue(w.key(), QStringLiteral("Detector"), stored) == ERROR_SUCCESS)
            AssignRegistryValue(s.Detector, stored);
    });
}

void frmCal::storeEnableSlew()
{
    ModuleState::Settings &s = Module().settings;
    const int16_t value = chkEnableSlew->isChecked() ? 1 : 0;
    withDriverKey(false, [&](SettingsWrite &w) {
        if (w.put(QStringLiteral("EnableSlew"), REG_DWORD, value))
            s.EnableSlew = value;
    });
}

int frmCal::CheckValue(const QCheckBox *box)
{
    switch (box->checkState()) {
    case Qt::Unchecked: return 0;
    case Qt::Checked: return 1;
    default: return 2;
    }
}

void frmCal::SetCheckValue(QCheckBox *box, int value)
{
    static const Qt::CheckState states[] = {Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked};
    if (value < 0 || value > 2)
        throw VbError(380, QStringLiteral("Invalid property value"));
    box->setCheckState(states[value]);
}

// Without the main window its link counts as closed.
bool frmCal::portOpen()
{
    return LinkTakesValues(MainWindowLink().get());
}

void frmCal::transmit(const QString &command)
{
    Held(MainWindowLink()).Transmit(command);
}
