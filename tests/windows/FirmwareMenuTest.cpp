// Tools > Firmware Upgrade: the wizard against the main window's own parser and link, with
// the boot loader simulated on a thread of its own (the exchange serves no events).
#include "MainWindowFixture.h"
#include "../alignment/QStringPrinter.h"
#include "drivers/Focuser.h"
#include "platform/ClockTimer.h"
#include "platform/VbFiles.h"
#include "support/FirmwareRecords.h"
#include "support/OperatorInput.h"
#include "support/SimulatorThread.h"
#include "tools/DataLog.h"
#include "tools/frmFlash.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

using BootLoader = ControllerSimulator::BootLoader;
using OperatorInput::click;

class FirmwareMenu : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        qputenv("VKM_COM1", loader.devicePath().toLocal8Bit());
    }

    static frmFlash *wizard()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *flash = qobject_cast<frmFlash *>(w); flash && flash->isVisible())
                return flash;
        return nullptr;
    }

    QString writeFirmware(const QStringList &lines)
    {
        const QString path = dir.filePath(QStringLiteral("orva.s19"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write((lines.join(QStringLiteral("\n")) + QStringLiteral("\n")).toLatin1());
        return path;
    }

    void setLoader(const BootLoader &boot)
    {
        loader.run([&](ControllerSimulator &s) { s.setBootLoader(boot); });
    }

    // The wizard from the menu, on its confirm page with `path` chosen.
    frmFlash *confirmPage(frmMain *form, const QString &path, FirmwareUpload::Timings timings)
    {
        form->mnuFirmware->trigger();
        frmFlash *flash = wizard();
        EXPECT_NE(flash, nullptr);
        flash->Timings = timings;
        click(flash->cmdNext);
        flash->txtFileName->setText(path);
        click(flash->cmdNext);
        return flash;
    }

    static void finish(frmFlash *flash)
    {
        click(flash->cmdFinish);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The first `size` bytes the loader received, once that many came (foreign ones too).
    QString loaderBytes(int size)
    {
        QString bytes;
        Wait::Until(2000, [&] {
            loader.run([&](ControllerSimulator &s) { bytes = s.loaderReceived(); });
            return bytes.size() >= size;
        });
        return bytes.left(size);
    }

    SimulatorThread loader;
    QTemporaryDir dir;
    const FirmwareUpload::Timings quick{150, 200, 2000, 200, 200};
};

TEST_F(FirmwareMenu, OpensOneWizardThatUploadsThroughTheMainWindowsLink)
{
    setLoader({});
    frmMain *form = open();
    form->mnuConnect_Click();
    form->mnuFirmware->trigger();
    frmFlash *flash = wizard();
    ASSERT_NE(flash, nullptr);
    form->mnuFirmware->trigger();
    EXPECT_EQ(wizard(), flash);

    const QStringList lines = {QStringLiteral("S00600004844521B"), QStringLiteral("S1070000AABBCCDDEA"),
                               QStringLiteral("S9030000FC")};
    confirmPage(form, writeFirmware(lines), quick);
    click(flash->cmdNext);

    EXPECT_EQ(flash->CurrentStep, frmFlash::Succeeded);
    QStringList taken;
    ASSERT_TRUE(Wait::Until(1000, [&] {
        loader.run([&](ControllerSimulator &s) { taken = s.loaderLines(); });
        return taken.size() == lines.size();
    }));
    EXPECT_EQ(taken, lines);
    EXPECT_TRUE(Module().tools.FlashIgnoreAck);
    EXPECT_FALSE(Module().tools.FlashInProgress || Module().tools.FlashAckFlag);

    finish(flash);
    EXPECT_EQ(wizard(), nullptr);
}

TEST_F(FirmwareMenu, EndsOnTheErrorPageWithTheCodesText)
{
    struct Case
    {
        const char *what;
        BootLoader boot;
        bool missingFile;
        bool linkGoesInPause; // the main window's link is gone when the lines start
        int16_t code;         // 0: uploaded all the same
        QString loaderBytes;  // what the loader took after the first "x "
        QStringList boxes;
        QString text;
        bool heldPastErase = false, goneBeforeLastLine = false; // as the rows' names say
    };
    BootLoader silent;
    silent.handshake.clear();
    BootLoader noVoltage;
    noVoltage.erase = ":x \x01 ";
    BootLoader eraseFailed;
    eraseFailed.erase = QByteArray(":x \0 ", 5); // the status byte is a NUL
    BootLoader eraseUnanswered;
    eraseUnanswered.erase.clear();
    BootLoader lineUnanswered;
    lineUnanswered.silentFromLine = 2;
    const QStringList lines = FirmwareRecords(3);
    const QString file = writeFirmware(lines);
    const QString reboot = QStringLiteral(
        "Please reboot the ORVA VKM by temporarily removing power and try uploading the firmware again.");
    const QString lineNotSent = QStringLiteral("The firmware upload was terminated with an error code: 5\n\n\rERROR WHILE SENDING FIRMWARE LINE\n\r"
                                               "This may be indicative of a corrupt firmware file.");
    const Case cases[] = {
        {"silent loader", silent, false, false, 1, QStringLiteral("x "), {QStringLiteral("Timed out waiting for response")},
         QStringLiteral("The firmware upload was terminated with an error code: 1\n\n\rNO RESPONSE DURING INITIALIZATION\n\r")
             + reboot},
        {"no programming voltage", noVoltage, false, false, 2, QStringLiteral("E"), {},
         QStringLiteral("The firmware upload was terminated with an error code: 2\n\n\rPROGRAMMING VOLTAGE NOT PRESENT\n\r"
                        "This may be indicative of hardware damage.  If this error continues please contact ORVA for repair.")},
        {"erase failed", eraseFailed, false, false, 3, QStringLiteral("E"), {},
         QStringLiteral("The firmware upload was terminated with an error code: 3\n\n\rUNABLE TO ERASE FLASH\n\r"
                        "Please reboot the ORVA VKM by temporarily removing power and try uploading the firmware again.  "
                        "If this error persists please contact ORVA for repair.")},
        {"missing file", {}, true, false, 4, QString(), {QStringLiteral("File not found")},
         QStringLiteral("The firmware upload was terminated with an error code: 4\n\n\rFIRMWARE FILE NOT USABLE\n\r"
                        "Nothing was sent to the ORVA VKM and its firmware was not changed.  Press 'Back' to choose another file.")},
        {"link gone", {}, false, true, 5, QStringLiteral("EP"), {QStringLiteral("Object variable or With block variable not set")},
         lineNotSent},
        {"second line unanswered", lineUnanswered, false, false, 6, QStringLiteral("EP") + lines[0] + lines[1], {},
         QStringLiteral("The firmware upload was terminated with an error code: 6\n\n\rTIMED OUT WAITING FOR PROGRAM HANDSHAKE\n\r"
                        "Please reboot the ORVA VKM by temporarily removing power and try uploading the firmware again.  "
                        "This error can be caused by a corrupt firmware file.")},
        {"erase unanswered", eraseUnanswered, false, false, 0, QStringLiteral("EP") + lines.join(QString()), {}, QString()},
        {"no programming voltage while a box holds the erase wait", eraseUnanswered, false, false, 2, QStringLiteral("E"),
         {QStringLiteral("Error:  A firmware upload is in progress.")},
         QStringLiteral("The firmware upload was terminated with an error code: 2\n\n\rPROGRAMMING VOLTAGE NOT PRESENT\n\r"
                        "This may be indicative of hardware damage.  If this error continues please contact ORVA for repair."),
         true},
        {"device gone before the last line", {}, false, false, 5, QStringLiteral("EP") + lines[0] + lines[1],
         {QStringLiteral("Line 3 did not reach the controller: the port is not open.")}, lineNotSent, false, true},
    };
    frmMain *form = open();
    form->Timer4.setEnabled(false); // only the upload talks to the loader here
    for (const Case &c : cases) {
        setLoader(c.boot);
        prompts.boxes.clear();
        frmFlash *flash = confirmPage(form, c.missingFile ? dir.filePath(QStringLiteral("gone.s19")) : file, quick);
        ClockTimer linkGoes; // the first wait that lets time pass is the pause after "P"
        linkGoes.setSingleShot(true);
        QObject::connect(&linkGoes, &ClockTimer::timeout, [form] { form->GetSerial.reset(); });
        if (c.linkGoesInPause)
            linkGoes.start(1000);
        if (c.heldPastErase) { // the loader's status comes while the operator reads the box
            QMetaObject::invokeMethod(form, [form] { form->mnuSettings->trigger(); }, Qt::QueuedConnection);
            prompts.answer = [&](const MessageBoxRequest &) {
                return loader.run([](ControllerSimulator &s) { s.sendRaw(":x \x01 "); }), Wait::For(quick.eraseMs * 2), int(vbconst::vbOK);
            };
        }
        if (c.goneBeforeLastLine) // the last progress shown comes after the next-to-last line's "*"
            QObject::connect(flash->ProgBar1, &QProgressBar::valueChanged, flash,
                             [&](int v) { v == 67 ? loader.run([](ControllerSimulator &s) { s.vanish(); }) : void(); });
        bool lineHeldAtBox = false; // the upload's boxes come once the line is given back
        if (!c.heldPastErase)
            prompts.answer = [&](const MessageBoxRequest &) { return lineHeldAtBox |= Module().tools.FlashInProgress, int(vbconst::vbOK); };
        click(flash->cmdNext);
        prompts.answer = nullptr;
        form->GetSerial = Module().link.SharedSerial;
        EXPECT_FALSE(lineHeldAtBox) << c.what;

        EXPECT_EQ(flash->UploadErrorCode, c.code) << c.what;
        QStringList boxes;
        for (const MessageBoxRequest &box : std::as_const(prompts.boxes))
            boxes << box.prompt;
        EXPECT_EQ(boxes, c.boxes) << c.what;
        EXPECT_EQ(loaderBytes(c.loaderBytes.size()), c.loaderBytes) << c.what;
        if (c.code == 0) {
            EXPECT_EQ(flash->CurrentStep, frmFlash::Succeeded) << c.what;
        } else {
            EXPECT_EQ(flash->CurrentStep, frmFlash::Failed) << c.what;
            EXPECT_EQ(flash->lblStep->text(), QStringLiteral("Error Encountered"));
            EXPECT_EQ(flash->lblInstructions->text(), c.text) << c.what;
        }
        EXPECT_TRUE(flash->cmdFinish->isEnabled());
        EXPECT_FALSE(flash->cmdNext->isEnabled() || flash->cmdCancel->isEnabled());
        EXPECT_EQ(flash->cmdBack->isEnabled(), c.code == FirmwareUpload::FileNotOpened) << c.what;
        finish(flash);
    }
}

// The operator tries to leave, or to open a window that would hold up the upload's waits, while the
// upload serves events: the main window stays, its mini console does not open, the other windows
// are refused in a box, the upload completes, and the loader gets only its bytes.
TEST_F(FirmwareMenu, NoCommandOfTheMainWindowCutsTheUploadShort)
{
    struct Case
    {
        const char *what;
        void (*leave)(frmMain *);
        bool inPause; // else in the erase wait
        bool refused = false;
    };
    const auto fileExit = [](frmMain *form) { form->mnuExit->trigger(); };
    const auto titleBar = [](frmMain *form) { form->close(); };
    const auto miniConsole = [](frmMain *form) { form->mnuMiniConsole->trigger(); };
    const Case cases[] = {
        {"File > Exit", fileExit, false},     {"File > Exit", fileExit, true},
        {"title bar", titleBar, false},       {"title bar", titleBar, true},
        {"Show Mini Console", miniConsole, false}, {"Show Mini Console", miniConsole, true},
        {"Properties", [](frmMain *f) { f->tbrToolBar_ButtonClick(QStringLiteral("Properties")); }, true, true},
        {"Start data logging", [](frmMain *f) { f->mnuStartLog->trigger(); }, false, true},
        {"Options", [](frmMain *f) { f->mnuTempCal->trigger(); }, false, true},
        {"Secondary Heater Cal. Wizard", [](frmMain *f) { f->mnuSecHeatWiz->trigger(); }, true, true},
    };
    const QStringList lines = FirmwareRecords(3);
    const QString file = writeFirmware(lines);
    frmMain *form = open();
    const int16_t holders = Module().link.ClientCount;
    for (const Case &c : cases) {
        setLoader({});
        frmFlash *flash = confirmPage(form, file, quick);
        QString during;
        const auto leave = [&] {
            during = flash->lblInstructions->text();
            c.leave(form);
        };
        ClockTimer inPause; // the first wait that lets time pass is the pause after "P"
        inPause.setSingleShot(true);
        QObject::connect(&inPause, &ClockTimer::timeout, leave);
        if (c.inPause)
            inPause.start(1000);
        else // the first events served are the erase wait's
            QMetaObject::invokeMethod(form, leave, Qt::QueuedConnection);
        click(flash->cmdNext);

        EXPECT_EQ(during, c.inPause ? QStringLiteral("Programming...this may take a moment") : QStringLiteral("Erasing"))
            << c.what;
        EXPECT_EQ(flash->CurrentStep, frmFlash::Succeeded) << c.what;
        const QString upload = QStringLiteral("EP") + lines.join(QString());
        EXPECT_EQ(loaderBytes(upload.size()), upload) << c.what;
        EXPECT_TRUE(form->isVisible() && !form->isUnloaded()) << c.what;
        EXPECT_EQ(ConsoleForm(false), nullptr) << c.what;
        EXPECT_EQ(Module().link.ClientCount, holders) << c.what;
        EXPECT_EQ(prompts.takePrompts(), QStringList(c.refused, QStringLiteral("Error:  A firmware upload is in progress."))) << c.what;
        finish(flash);
    }
    EXPECT_TRUE(form->close()); // and once the upload is over, the window closes
}

// The status poll on the focus tab, a data log at 1 s and a client reading Position all
// run through a 20-line upload: none of them reaches the loader, and afterwards nothing the
// controller reported before the upload is vouched for.
TEST_F(FirmwareMenu, OnlyTheUploadsBytesReachTheLoaderWhileOthersPoll)
{
    setLoader({});
    loader.run([](ControllerSimulator &s) { s.setFocuserPosition(1234); });
    frmMain *form = open();
    ASSERT_EQ(form->SSTab1->currentIndex(), 0);
    Focuser client;
    ASSERT_EQ(client.Position(), 1234);

    ModuleState::Tools &tools = Module().tools;
    tools.LogFileNumber = VbFiles::FreeFile();
    VbFiles::Open(tools.LogFileNumber, dir.filePath(QStringLiteral("log.csv")), VbFiles::Mode::Output);
    tools.LogAmbient = true;
    tools.LogInterval = 1;
    tools.LoggingActive = true;
    DataLog::StartLogTimer(500);

    // The client's calls run nested in the upload's pumps and are refused: the line is the
    // upload's, no report can answer them.
    QList<int32_t> refusals;
    bool calling = false;
    ClockTimer poll;
    QObject::connect(&poll, &ClockTimer::timeout, [&] {
        if (std::exchange(calling, true))
            return;
        try { client.Position(); } catch (const VbError &e) { refusals << e.number(); }
        calling = false;
    });
    poll.start(100);

    const QStringList lines = FirmwareRecords(20);
    frmFlash *flash = confirmPage(form, writeFirmware(lines), {500, 500, 2000, 500, 500});
    click(flash->cmdNext);
    poll.stop();
    form->mnuStopLog_Click();

    EXPECT_EQ(flash->CurrentStep, frmFlash::Succeeded);
    const QString upload = QStringLiteral("EP") + lines.join(QString());
    EXPECT_EQ(loaderBytes(upload.size()), upload);
    EXPECT_GE(refusals.size(), 3);
    EXPECT_EQ(refusals, QList<int32_t>(refusals.size(), Serial::ErrUploadOwnsPort));
    EXPECT_THROW(client.Position(), VbError); // the controller, still in its loader, says nothing
    finish(flash);
}

// A controller still in its boot loader never answers the connect handshake; an upload
// started before its first retry ends it, and nothing closes the port afterwards.
TEST_F(FirmwareMenu, ConnectsHandshakeGivesWayToAnUploadStartedAtOnce)
{
    BootLoader waiting;
    waiting.entered = true;
    setLoader(waiting);
    frmMain *form = open(); // connects: " ! " and Timer6
    ASSERT_TRUE(form->Timer6.Enabled());
    const QStringList lines = FirmwareRecords(3);
    frmFlash *flash = confirmPage(form, writeFirmware(lines), {});
    click(flash->cmdNext);

    EXPECT_EQ(flash->CurrentStep, frmFlash::Succeeded);
    Wait::For(5000);
    EXPECT_TRUE(prompts.boxes.isEmpty());
    EXPECT_TRUE(form->GetSerial->Connected());
    EXPECT_FALSE(form->Timer6.Enabled());
    QString bytes;
    loader.run([&](ControllerSimulator &s) { bytes = s.loaderReceived(); });
    const QString upload = QStringLiteral("EP") + lines.join(QString());
    const QString afterHandshake = bytes.mid(bytes.indexOf(QLatin1String("x ")) + 2);
    EXPECT_TRUE(afterHandshake.startsWith(upload)) << qPrintable(bytes);
    EXPECT_FALSE(afterHandshake.contains(QLatin1Char('!'))) << qPrintable(bytes);
    finish(flash);
}

// A controller that comes up in its boot loader reports ":x" outside any upload: the
// link goes on delivering to the main window and to every driver.
TEST_F(FirmwareMenu, AStrayBootLoaderStatusNeverSilencesTheLink)
{
    frmMain *form = open();
    form->Timer4.setEnabled(false);
    ASSERT_TRUE(Wait::Until(2000, [&] { return form->lblActual->text() == QLatin1String("0"); })); // the load's " Q "
    loader.run([](ControllerSimulator &s) {
        s.sendRaw(":x \x03 ");
        s.sendRaw(":a 4321 ");
    });
    EXPECT_TRUE(Wait::Until(2000, [&] { return form->lblActual->text() == QLatin1String("4321"); }));
    EXPECT_FALSE(Module().tools.FlashAckFlag);
    loader.run([](ControllerSimulator &s) { s.setFocuserPosition(5678); });
    Focuser client;
    // Each read waits 250 ms of real time for its report: a loaded machine may need another.
    EXPECT_TRUE(Wait::Until(3000, [&] { return client.Position() == 5678; }));
}

} // namespace
