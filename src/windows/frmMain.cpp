// The main window's life cycle: load, connect, menus, toolbar, tabs and unload.
#include "windows/frmMain.h"
#include "link/HandlerError.h"

#include "link/ControlWindowHooks.h"
#include "link/DriverSettings.h"
#include "link/ModuleState.h"
#include "link/Serial.h"
#include "link/connector.h"
#include "platform/DataFolder.h"
#include "platform/Held.h"
#include "platform/HelpViewer.h"
#include "platform/RunningHandler.h"
#include "platform/Screen.h"
#include "platform/UserPrompts.h"
#include "platform/VbError.h"
#include "windows/EditHold.h"
#include "windows/Forms.h"
#include "windows/ReportedReadouts.h"
#include "windows/WindowParts.h"
#include "windows/WindowRules.h"
#include "windows/frmAbout.h"
#include "windows/frmProperties.h"
#include "settings/StoredPositionFile.h"
#include "settings/frmCal.h"
#include "tools/frmFlash.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <algorithm>

namespace {

// Stored records into a table whose slot 0 stands for "<new>". Every record is listed, one
// with a blank description too, so that list entry k stays record k of the file.
template <typename Record>
int loadTable(const QList<Record> &records, QVector<Record> &table, QComboBox *list, QVector<float> *temperatures)
{
    table = QVector<Record>(21);
    if (temperatures)
        *temperatures = QVector<float>(21);
    list->clear();
    list->addItem(QStringLiteral("<new>"));
    int count = 1;
    for (int n = 1; n <= records.size(); ++n) {
        if (n >= table.size() - 1) {
            table.resize(table.size() + 20);
            if (temperatures)
                temperatures->resize(table.size());
        }
        const Record &record = records[n - 1];
        table[n] = record;
        if constexpr (std::is_same_v<Record, FocusRecord>) {
            if (temperatures)
                (*temperatures)[n] = record.Temperature;
        }
        list->addItem(record.Description);
        ++count;
    }
    list->setCurrentIndex(0);
    return count;
}

} // namespace

frmMain::frmMain(QWidget *parent)
    : OperatorWindow(parent), m_reply([this](QStringView code, QStringView value) { dispatch(code, value); })
{
    setObjectName(QStringLiteral("frmMain"));
    m_reply.setChunkHook([this](const QString &chunk) { logChunk(chunk); });

    WindowParts::setUpTimers<frmMain>(
        this, {{Timer1, "Timer1", 30, false, &frmMain::Timer1_Timer},     {Timer2, "Timer2", 100, true, &frmMain::Timer2_Timer},
               {Timer3, "Timer3", 2000, true, &frmMain::Timer3_Timer},    {Timer4, "Timer4", 250, true, &frmMain::Timer4_Timer},
               {Timer5, "Timer5", 15000, false, &frmMain::Timer5_Timer},  {Timer6, "Timer6", 1000, false, &frmMain::Timer6_Timer},
               {tmrTheSky, "tmrTheSky", 1000, false, &frmMain::tmrTheSky_Timer}});

    buildLayout();
    connect(SSTab1, &QTabWidget::currentChanged, this, &frmMain::SSTab1_Click);
    Form_Load();
    connectAfterLoad();
}

frmMain::~frmMain() = default;

void frmMain::showError(const std::exception &e)
{
    ShowHandlerError(e);
}

void frmMain::RestartTimer3(int32_t intervalMs)
{
    Timer3.setInterval(intervalMs);
    restartTimer3();
}

QString frmMain::RotatorCaption() const
{
    return lblRot->text();
}

void frmMain::setRotatorGotoText(const QString &text)
{
    txtRotGOTO->setText(text);
}

void frmMain::setPrimaryCoverMode(int16_t mode)
{
    PrimaryCoverMode = mode;
    pnlPrimaryCover->setVisible(mode == 1);
}

void frmMain::Form_Load()
{
    ModuleState &m = Module();
    m_focusList = ComboBoxList(Combo1);
    m_rotatorList = ComboBoxList(cmbRotStore);
    ControlWindows().Main = this;
    // A window without its logs keeps working; the operator hears once that they cannot be
    // written, after the rest has loaded.
    QString unwritable = openLogs();
    try {
        m.rotator.RotatorMovePending = false;
        CheckRegistry();
        MainConnector = std::make_unique<connector>();
        GetSerial = MainConnector->Class();
        if (GetSerial) {
            GetSerial->subscribe(this, [this](const QString &s) { cm_MyEvent(s); });
            // The menus show the port as it is, whoever opened or closed it.
            connect(GetSerial.get(), &Serial::connectedChanged, this, &frmMain::setConnectedStates);
            ReportedReadouts::follow(this, *GetSerial);
        }
        mnuConnect_Click();

        m.link.SettingsWindowOpen = false;
        FocusJogSteps = 1;
        RotJogSteps = 100;
        m.link.FirmwareVersion = QStringLiteral("Not Available");

        for (const QString &unread : loadStoredPositions())
            unwritable += (unwritable.isEmpty() ? QString() : QStringLiteral("\n")) + unread;

        if (m.settings.FocusStep >= 0 && m.settings.FocusStep <= 3) {
            optFocus[m.settings.FocusStep]->setChecked(true);
            FocusJogSteps = std::array<int32_t, 4>{1, 10, 25, 100}[m.settings.FocusStep];
        }
        if (m.settings.RotateStep >= 0 && m.settings.RotateStep <= 4) {
            optRot[m.settings.RotateStep]->setChecked(true);
            txtRot->setText(m.settings.RotateStepOption);
            RotJogSteps = std::array<int32_t, 5>{100, 200, 1000, 9000, 0}[m.settings.RotateStep];
        }
        setLoggingStates(m.tools.LogTimerId != 0 || m.tools.LoggingActive);
        Check1->setChecked(m.focuser.ForceMotorOff);
        SSTab1->setCurrentIndex(m.rotator.RotatorTabShown ? 2 : 0);
        if (m.settings.MainPosX >= 0 && m.settings.MainPosY >= 0)
            move(Screen::ShownPosition({m.settings.MainPosX, m.settings.MainPosY}, WindowParts::openingSize(this)));
        m.link.MainFormOpen = true;

        cmbMirrorSpacing->clear();
        cmbMirrorSpacing->addItem(QStringLiteral("Secondary Deviation (0.001\")"));
        cmbMirrorSpacing->addItem(QStringLiteral("Focal Plane Deviation (0.001\")"));
        cmbMirrorSpacing->setCurrentIndex(0);

        for (const char *query : {" J ", " l ", " Q "})
            Held(GetSerial).Transmit(QString::fromLatin1(query));

        // A stored limit outside the spinner's range shows clamped.
        udLimits->setValue(std::clamp<int32_t>(m.settings.ZELLimit, udLimits->minimum(), udLimits->maximum()));

        if (m.thesky.TheSky) {
            tmrTheSky.setEnabled(true);
            chkConnectTheSky->setChecked(true);
        }
        // Check box values: 0 cleared, 1 checked, 2 grayed; anything else shows as the nearest.
        const Qt::CheckState celsiusStates[] = {Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked};
        chkCelcius->setTristate(true);
        chkCelcius->setCheckState(celsiusStates[std::clamp<int>(m.settings.Celcius, 0, 2)]);

        StepperSteps = {1, 5, 10, 25, 0};
        for (QComboBox *list : cmbStepSize) {
            list->clear();
            for (int i = 0; i < 4; ++i)
                list->addItem(QString::number(StepperSteps[i]));
            list->setCurrentIndex(0);
        }
    } catch (const std::exception &e) {
        showError(e);
    }
    if (!unwritable.isEmpty())
        m_errorBoxes->post(unwritable, vbconst::vbExclamation, QStringLiteral("VKM"));
}

QString frmMain::openLogs()
{
    const std::pair<LogFile *, std::pair<const char *, QString>> logs[] = {
        {&ReceiveLog, {"log.log", QStringLiteral("start\r\n")}},
        {&DebugFile, {"debug.txt", QStringLiteral("\"cse\",\"sKi\",\"sKp\",\"sKd\",\"sdi\",\"t6\",\"sd1\",\"ss\",\"t4\","
                                                  "\"ce\",\"si\",\"sil\",\"dt\",\"sp\",\"time\"\r\n")}},
    };
    QStringList failed;
    for (const auto &[log, file] : logs) {
        const QString path = DataFolder::file(QString::fromLatin1(file.first));
        try {
            log->open(path, file.second);
        } catch (const VbError &e) {
            failed << cannotWrite(path, e);
        }
    }
    return failed.join(QLatin1Char('\n'));
}

QString frmMain::cannotWrite(const QString &path, const VbError &error)
{
    return QStringLiteral("The file \"%1\" cannot be written (Error number: %2 %3).")
        .arg(path)
        .arg(error.number())
        .arg(error.description());
}

// A receive log or debug row; a log that stopped taking lines is told once, from the event
// loop (this runs in a delivery of received text).
void frmMain::writeLog(LogFile &log, const QString &text)
{
    if (const auto error = log.print(text))
        m_errorBoxes->post(cannotWrite(log.path(), *error), vbconst::vbExclamation, QStringLiteral("VKM"));
}

QStringList frmMain::loadStoredPositions()
{
    QStringList unread;
    // A file that cannot be read lists nothing; its editor then refuses to write over it.
    const auto read = [&](auto reader, const QString &name) -> decltype(reader(QString())) {
        try {
            return reader(DataFolder::file(name));
        } catch (const StoredPositionFile::FileRefused &e) {
            unread << e.message();
            return {};
        }
    };
    ModuleState::Positions &p = Module().positions;
    const auto rotator = read(&StoredPositionFile::readRotator, StoredPositionFile::RotatorFileName);
    p.RotatorPositionCount = loadTable(rotator, p.RotatorPositions, cmbRotStore, nullptr);
    const auto focus = read(&StoredPositionFile::readFocus, StoredPositionFile::FocusFileName);
    p.FocusPositionCount = int16_t(loadTable(focus, p.FocusPositions, Combo1, &p.FocusTemperatures));
    return unread;
}

void frmMain::setConnectedStates(bool connected)
{
    for (QAction *a : tbrToolBar->actions()) {
        if (a->objectName() == QLatin1String("DialPhoneNumber"))
            a->setEnabled(!connected);
        else if (a->objectName() == QLatin1String("HangUpPhone"))
            a->setEnabled(connected);
    }
    mnuConnect->setEnabled(!connected);
    mnuDisconnect->setEnabled(connected);
}

void frmMain::setLoggingStates(bool logging)
{
    for (QAction *a : tbrToolBar->actions()) {
        if (a->objectName() == QLatin1String("Log"))
            a->setEnabled(!logging);
        else if (a->objectName() == QLatin1String("StopLog"))
            a->setEnabled(logging);
    }
    mnuStartLog->setEnabled(!logging);
    mnuStopLog->setEnabled(logging);
}

void frmMain::mnuConnect_Click()
{
    const RunningHandler running(this); // the served events may close the window
    if (!GetSerial)
        return;
    const int16_t port = Module().link.PortNumber;
    try {
        if (!GetSerial->Connected() && port > 0)
            GetSerial->setPort(port);
        if (!GetSerial->Connected())
            GetSerial->setConnected(true);
    } catch (const VbError &e) {
        MsgBox(e.description(), vbconst::vbOKOnly);
        if (GetSerial) // the box served events: the window may have let go of the link
            GetSerial->setConnected(false);
        setConnectedStates(false);
        return;
    }
    HandshakeMark = GetSerial->Reports().LastSerial();
    HandshakeRetries = 0;
    Held(GetSerial).Transmit(QStringLiteral(" ! "));
    Timer6.setInterval(1000);
    Timer6.setEnabled(true);
    setConnectedStates(true);
}

void frmMain::mnuDisconnect_Click()
{
    try {
        if (GetSerial && GetSerial->Connected())
            GetSerial->setConnected(false);
    } catch (const VbError &e) { // a firmware upload owns the line
        MsgBox(e.description(), vbconst::vbOKOnly);
        return;
    }
    setConnectedStates(false);
}

void frmMain::mnuStopLog_Click()
{
    WindowRules::StopDataLogging();
    setLoggingStates(false);
}

// The console is shown first: its holder keeps the process alive when this window goes.
void frmMain::mnuMiniConsole_Click()
{
    if (FirmwareUploadRunning())
        return;
    ShowConsoleForm();
    close();
}

void frmMain::mnuExit_Click()
{
    close();
}

void frmMain::mnuSettings_Click()
{
    if (RefusedDuringUpload()) // its modal window would hold up the upload's waits
        return;
    const RunningHandler running(this); // the served events may close the window
    frmProperties::showModal(this);
}

void frmMain::mnuAbout_Click()
{
    frmAbout::showWindow();
}

void frmMain::mnuFirmware_Click()
{
    frmFlash::showWindow();
}

void frmMain::mnuHelpTopics_Click()
{
    showHelp(QStringLiteral("VKM Help.chm"));
}

// Help files live beside the program (the data folder); without one the operator is told.
void frmMain::showHelp(const QString &fileName)
{
    const QString path = DataFolder::file(fileName);
    if (!HelpViewer::Open(path))
        MsgBox(QStringLiteral("The help file \"%1\" could not be opened.").arg(path), vbconst::vbExclamation,
               QStringLiteral("VKM"));
}

// The keys whose windows are not built yet do nothing.
void frmMain::tbrToolBar_ButtonClick(const QString &key)
{
    if (key == QLatin1String("DialPhoneNumber"))
        mnuConnect_Click();
    else if (key == QLatin1String("HangUpPhone"))
        mnuDisconnect_Click();
    else if (key == QLatin1String("StopLog"))
        mnuStopLog_Click();
    else if (key == QLatin1String("Properties"))
        mnuSettings_Click();
    else if (key == QLatin1String("Mini"))
        mnuMiniConsole_Click();
    else if (key == QLatin1String("Log"))
        mnuStartLog_Click();
    else if (key == QLatin1String("TempPlot"))
        mnuPlot_Click();
}

// The options window, modeless; the cover panel follows the cover mode as the window leaves it.
void frmMain::mnuTempCal_Click()
{
    if (RefusedDuringUpload()) // its pacing and boxes would hold up the upload's waits
        return;
    const RunningHandler running(this); // the served events may close the window
    CalForm()->showWindow();
    pnlPrimaryCover->setVisible(PrimaryCoverMode != 0);
}

void frmMain::SSTab1_Click(int tab)
{
    ModuleState &m = Module();
    m.rotator.RotatorTabShown = tab == 2;
    if (tab == 2) {
        const bool theSky = bool(m.thesky.TheSky);
        chkConnectTheSky->setChecked(theSky);
        if (!theSky)
            cmdZELUtils->setEnabled(false);
    }
    if (tab == 3)
        setPrimaryCoverMode(PrimaryCoverMode);
}

bool frmMain::otherWindowOpen() const
{
    return Module().link.ConsoleFormOpen;
}

void frmMain::Form_Unload()
{
    ModuleState &m = Module();
    m_unloaded = true;
    // The options window's edits not yet uploaded are offered first, while its link (this
    // window's) still reaches the controller.
    if (frmCal *options = CalForm(false); options && options->isLoaded() && options->hasChanges())
        options->close();
    try {
        m.settings.MainPosX = x();
        m.settings.MainPosY = y();
        HKEY key = 0;
        if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, 0, SettingsKeyAccess, &key) == ERROR_SUCCESS) {
            SetRegistryValue(key, QStringLiteral("FocusStep"), REG_DWORD, m.settings.FocusStep);
            SetRegistryValue(key, QStringLiteral("RotateStep"), REG_DWORD, m.settings.RotateStep);
            SetRegistryValue(key, QStringLiteral("RotateStepOption"), REG_SZ, m.settings.RotateStepOption);
            SetRegistryValue(key, QStringLiteral("MainPosX"), REG_DWORD, m.settings.MainPosX);
            SetRegistryValue(key, QStringLiteral("MainPosY"), REG_DWORD, m.settings.MainPosY);
            SetRegistryValue(key, QStringLiteral("ZELLimit"), REG_DWORD, m.settings.ZELLimit);
            SetRegistryValue(key, QStringLiteral("Celcius"), REG_DWORD, m.settings.Celcius);
            RegCloseKey(key);
        }
    } catch (const std::exception &e) {
        showError(e);
    }
    // The files are closed before the link is released: that may end the process.
    ReceiveLog.close();
    DebugFile.close();
    if (GetSerial) {
        GetSerial->unsubscribe(this);
        disconnect(GetSerial.get(), nullptr, this, nullptr);
    }
    GetSerial.reset();
    m.link.MainFormOpen = false;
    if (ControlWindows().Main == this)
        ControlWindows().Main = nullptr;
    m.focuser.ForceMotorOff = Check1->isChecked();
    // The window may stand a while longer, until a handler serving a modal window under it
    // returns: nothing of it runs meanwhile.
    for (VbTimer *timer : {&Timer1, &Timer2, &Timer3, &Timer4, &Timer5, &Timer6, &tmrTheSky})
        timer->setEnabled(false);
    MainConnector.reset();
}
