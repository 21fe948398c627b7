// The firmware wizard against a simulated boot loader served by its own thread, since the
// exchange reads the port in loops that serve no events.
#include "link/ModuleState.h"
#include "link/Serial.h"
#include "platform/PostedBoxes.h"
#include "platform/UserPrompts.h"
#include "platform/Wait.h"
#include "support/FakeControlWindows.h"
#include "support/FirmwareRecords.h"
#include "../alignment/QStringPrinter.h"
#include "support/OperatorInput.h"
#include "support/RecordingPrompts.h"
#include "support/SimulatorThread.h"
#include "tools/frmFlash.h"
#include "tools/frmSecHeaterWizard.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

using OperatorInput::click;
using BootLoader = ControllerSimulator::BootLoader;

namespace {

class FirmwareWizard : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("VKM_COM1", sim.devicePath().toLocal8Bit());
        Module().tools = ModuleState::Tools{};
        main.serial = std::make_shared<Serial>();
        main.serial->setConnected(true);
        main.parseFlashStatus();
        main.serial->subscribe(&holder, [this](const QString &s) { otherHolder << s; });
    }

    void TearDown() override
    {
        delete wizard;
        main.serial->setConnected(false);
    }

    QString writeFirmware(const QStringList &lines) { return writeBytes(crlf(lines)); }
    QString writeBytes(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("ORVA.S19"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    static QByteArray crlf(const QStringList &lines) { return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1(); }

    // Opens the wizard, walks to the confirm page with `path` typed in, and presses Next.
    void upload(const QString &path)
    {
        openWizard();
        click(wizard->cmdNext);
        wizard->txtFileName->setText(path);
        click(wizard->cmdNext);
        click(wizard->cmdNext);
    }

    void openWizard()
    {
        wizard = new frmFlash;
        wizard->Timings = {150, 200, 20, 200, 200};
        QObject::connect(wizard->ProgBar1, &QProgressBar::valueChanged, [this](int v) { progress << v; });
    }

    // What reached the loader, once `tail` has.
    QString wire(const QString &tail)
    {
        EXPECT_TRUE(Wait::Until(1000, [&] { return sim.received().endsWith(tail); })) << qPrintable(sim.received());
        return sim.received();
    }

    void expectReceivePathBack()
    {
        const ModuleState::Tools &flash = Module().tools;
        EXPECT_FALSE(flash.FlashAckFlag);
        EXPECT_FALSE(flash.FlashInProgress);
        EXPECT_TRUE(flash.FlashIgnoreAck);
        EXPECT_FALSE(wizard->ProgBar1->isVisible());
        EXPECT_TRUE(wizard->cmdFinish->isEnabled());
        EXPECT_FALSE(wizard->cmdNext->isEnabled() || wizard->cmdBack->isEnabled() || wizard->cmdCancel->isEnabled());
    }

    SimulatorThread sim;
    RecordingPrompts prompts;
    FakeMainWindow main;
    QObject holder;
    QStringList otherHolder;
    QTemporaryDir dir;
    frmFlash *wizard = nullptr;
    QList<int> progress;
};

// Blank lines are neither counted nor sent nor awaited.
TEST_F(FirmwareWizard, SendsEveryLineWithItsAcknowledgementAndShowsTheProgress)
{
    struct Case
    {
        int lines;
        QList<int> progress;
        QList<int> blanksAt = {}; // the blank lines' places among the records
    };
    const Case cases[] = {{3, {0, 33, 67}}, {8, {0, 12, 25, 38, 50, 62, 75, 88}}, {4, {0, 25, 50, 75}, {1, 4, 4}}};
    for (const Case &c : cases) {
        sim.run([](ControllerSimulator &s) {
            s.clearReceived();
            s.setBootLoader(BootLoader{});
        });
        progress.clear();
        const QStringList lines = FirmwareRecords(c.lines);
        QStringList file = lines;
        for (int at : c.blanksAt) file.insert(at, QStringLiteral(" \t"));
        upload(writeFirmware(file));

        EXPECT_EQ(wire(lines.last()), QStringLiteral("x EP") + lines.join(QString())) << c.lines;
        EXPECT_EQ(progress, c.progress);
        EXPECT_EQ(wizard->UploadErrorCode, 0);
        // The last line's "*" is not awaited; it reaches the link's holders again.
        EXPECT_TRUE(Wait::Until(1000, [&] { return otherHolder.join(QString()).endsWith(QLatin1Char('*')); }));
        sim.run([&](ControllerSimulator &s) { EXPECT_EQ(s.loaderLines(), lines); });
        EXPECT_EQ(wizard->CurrentStep, frmFlash::Succeeded);
        EXPECT_EQ(wizard->lblStep->text(), QStringLiteral("Success"));
        EXPECT_EQ(wizard->lblInstructions->text(),
                  QStringLiteral("The ORVA VKM firmware has been upload successfully.\n\n\r"
                                 "Please reboot the ORVA VKM by temporarily removing power."));
        EXPECT_TRUE(prompts.boxes.isEmpty());
        expectReceivePathBack();
        delete std::exchange(wizard, nullptr);
    }
    // Nothing of the boot loader's talk reached the link's other holders.
    EXPECT_FALSE(otherHolder.join(QString()).contains(QStringLiteral(":x")));
}

// The device goes under the upload (an adapter pulled while the erase wait serves events):
// the run-time failure is told in the handlers' box, and the wizard goes back to the confirm
// page with its buttons, the link's flags restored.
TEST_F(FirmwareWizard, ARunTimeFailureLeavesTheConfirmPageWithItsButtons)
{
    sim.run([](ControllerSimulator &s) { s.setBootLoader(BootLoader{}); });
    const QString file = writeFirmware(FirmwareRecords(3));
    QMetaObject::invokeMethod(
        &holder, [this] { sim.run([](ControllerSimulator &s) { s.vanish(); }); }, Qt::QueuedConnection);
    upload(file);

    ASSERT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(prompts.boxes[0].prompt, QStringLiteral("Error number: 8012 The device is not open"));
    EXPECT_EQ(wizard->CurrentStep, frmFlash::Confirm);
    EXPECT_EQ(wizard->lblStep->text(), QStringLiteral("Complete Upgrade"));
    EXPECT_TRUE(wizard->cmdBack->isEnabled() && wizard->cmdNext->isEnabled() && wizard->cmdCancel->isEnabled());
    EXPECT_FALSE(wizard->ProgBar1->isVisibleTo(wizard));
    const ModuleState::Tools &flash = Module().tools;
    EXPECT_FALSE(flash.FlashAckFlag || flash.FlashInProgress);
    EXPECT_TRUE(flash.FlashIgnoreAck);
}

// Only complete firmware goes on the line, as read once; any other file is refused before
// even "x ", the box naming its cause and the line an editor shows.
TEST_F(FirmwareWizard, OnlyCompleteFirmwareGoesOnTheLine)
{
    const QStringList good = FirmwareRecords(4);
    const QString badSum = good[1].chopped(1) + (good[1].endsWith(u'0') ? u'1' : u'0');
    const auto between = [&](const char *record) { return crlf({good[0], QLatin1String(record), good[3]}); };
    const char *const line2 = "Line 2 is not an S-record";
    enum Source { File, Folder, Fifo }; // a FIFO serves the bytes to a first reading, garbage to a second
    struct Case
    {
        QByteArray bytes;
        const char *refusal;
        Source source = File;
    };
    const Case cases[] = {
        {"", "The file holds no firmware records"},
        {"<html><body>404 Not Found</body></html>\n", "Line 1 is not an S-record"},
        {crlf(good.mid(0, 3)), "The file ends before its end record"},
        {(QStringList{good[0], good[1], badSum, good[3]}.join(QStringLiteral("\r\r\n"))).toLatin1(), "Line 3 is not an S-record"},
        {crlf(good) + "\x1a", nullptr},
        // GNU objcopy --srec-forceS3, with LF line ends.
        {"S0080000622E7331398A\nS31500008000123456789ABCDEF001020304050607080E\nS30B00008010090A0B0CFEED4F\nS705000080007A\n", nullptr},
        {"\xEF\xBB\xBF" + crlf(good), nullptr},
        // A record too short for its address (S1 two bytes, S2 three, S3 four), the reserved S4.
        {between("S10200FD"), line2},     {between("S2030000FC"), line2},
        {between("S304000000FB"), line2}, {between("S4030000FC"), line2},
        {crlf(QStringList(32767, good[0]) + QStringList{good[3]}), "The file is too long for the wizard (more than 32767 records)"},
        {crlf(good), "The file cannot be read", Folder},
        {crlf(good), nullptr, Fifo},
    };
    for (const Case &c : cases) {
        sim.run([](ControllerSimulator &s) { s.clearReceived(), s.setBootLoader(BootLoader{}); });
        const QString path = c.source == File ? writeBytes(c.bytes) : dir.filePath(QStringLiteral("other.S19"));
        const QByteArray name = QFile::encodeName(path);
        std::thread fifoWriter; // each writing waits for a reader to open it, the next for that reader to close it
        if (c.source == Folder) QDir().mkdir(path);
        if (c.source == Fifo) {
            ASSERT_EQ(mkfifo(name.constData(), 0600), 0);
            const int closes = inotify_init1(IN_CLOEXEC);
            inotify_add_watch(closes, name.constData(), IN_CLOSE_NOWRITE);
            fifoWriter = std::thread([&, closes] {
                for (const QByteArray &bytes : {c.bytes, crlf({good[0], badSum, good[3]})}) {
                    char event[sizeof(inotify_event) + NAME_MAX + 1];
                    QFile fifo(path);
                    EXPECT_TRUE(fifo.open(QIODevice::WriteOnly) && fifo.write(bytes) == bytes.size()
                                && (fifo.close(), ::read(closes, event, sizeof event) > 0));
                }
                ::close(closes);
            });
        }
        upload(path);
        main.serial->Transmit(QStringLiteral(" Q "));
        const QString lines = QString::fromLatin1(c.bytes).remove(QRegularExpression(QStringLiteral("^\u00EF\u00BB\u00BF|[\r\n\x1a]")));
        EXPECT_EQ(wire(QStringLiteral(" Q ")), (c.refusal ? QString() : QStringLiteral("x EP") + lines) + QStringLiteral(" Q ")) << c.bytes.left(80).constData();
        EXPECT_EQ(prompts.takePrompts(), c.refusal ? QStringList{QLatin1String(c.refusal) + QStringLiteral("; the firmware was not changed.")} : QStringList());
        EXPECT_EQ(wizard->UploadErrorCode, c.refusal ? FirmwareUpload::FileNotOpened : 0);
        if (c.refusal) { // the page says nothing was sent, and Back leads to another file
            EXPECT_TRUE(wizard->lblInstructions->text().endsWith(
                QStringLiteral("Nothing was sent to the ORVA VKM and its firmware was not changed.  Press 'Back' to choose another file.")));
            click(wizard->cmdBack);
            EXPECT_EQ(wizard->CurrentStep, frmFlash::ChooseFile);
            EXPECT_TRUE(wizard->cmdNext->isEnabled() && wizard->cmdCancel->isEnabled() && !wizard->cmdFinish->isEnabled());
        }
        if (QFile fifo(path); fifoWriter.joinable()) { // the writer still waits to serve its garbage: take it
            EXPECT_TRUE(fifo.open(QIODevice::ReadOnly) && !fifo.readAll().isEmpty());
            fifo.close(), fifoWriter.join();
        }
        QDir(path).removeRecursively(), QFile::remove(path);
        delete std::exchange(wizard, nullptr);
    }
}

TEST_F(FirmwareWizard, PagesMoveWithNextAndBackAndTheFileNameEnablesNext)
{
    openWizard();
    EXPECT_EQ(wizard->lblStep->text(), QStringLiteral("Welcome to the Firmware Upgrade Wizard"));
    EXPECT_FALSE(wizard->cmdBack->isEnabled());
    EXPECT_FALSE(wizard->txtFileName->isVisibleTo(wizard));

    click(wizard->cmdNext);
    EXPECT_EQ(wizard->lblStep->text(), QStringLiteral("Choose Firmware File"));
    EXPECT_TRUE(wizard->txtFileName->isVisibleTo(wizard) && wizard->cmdBack->isEnabled());
    EXPECT_FALSE(wizard->cmdNext->isEnabled());
    // Back with Next disabled keeps it disabled on the welcome page.
    click(wizard->cmdBack);
    EXPECT_EQ(wizard->CurrentStep, frmFlash::Welcome);
    EXPECT_FALSE(wizard->cmdNext->isEnabled());
    EXPECT_FALSE(wizard->txtFileName->isVisibleTo(wizard));
    wizard->ChangeStep(1);

    const std::pair<const char *, bool> names[] = {
        {"firmware.hex", false}, {"firmware.S2", true}, {"old.s19.txt", true}, {"", true}, // never disabled again
    };
    for (const auto &[name, enabled] : names) {
        wizard->txtFileName->setText(QString::fromLatin1(name));
        EXPECT_EQ(wizard->cmdNext->isEnabled(), enabled) << name;
    }

    // Browse: the filter matches both cases; a dismissed dialog leaves the name.
    prompts.chosenFile = QStringLiteral("/data/NEW.S19");
    click(wizard->cmdBrowse);
    ASSERT_EQ(prompts.fileDialogs.size(), 1);
    EXPECT_EQ(prompts.fileDialogs[0].filter, QStringLiteral("S19 File (*.S19; *.S2)|*.s19;*.s2"));
    EXPECT_EQ(prompts.fileDialogs[0].fileName, QStringLiteral("ORVA.s19"));
    EXPECT_EQ(DialogFilter(prompts.fileDialogs[0].filter), QStringLiteral("S19 File (*.S19; *.S2) (*.s19 *.S19 *.s2 *.S2)"));
    EXPECT_EQ(wizard->txtFileName->text(), QStringLiteral("/data/NEW.S19"));
    prompts.chosenFile.reset();
    click(wizard->cmdBrowse);
    EXPECT_EQ(wizard->txtFileName->text(), QStringLiteral("/data/NEW.S19"));

    click(wizard->cmdNext);
    EXPECT_EQ(wizard->lblStep->text(), QStringLiteral("Complete Upgrade"));
    EXPECT_TRUE(wizard->lblInstructions->text().endsWith(QStringLiteral("will need to be repeated.\r\n\nTo continue press 'Next'")));
}

TEST_F(FirmwareWizard, CancelAsksAndClosingGivesTheParserItsReportsBack)
{
    openWizard();
    wizard->show();
    prompts.answer = [](const MessageBoxRequest &) { return int(vbconst::vbCancel); };
    click(wizard->cmdCancel);
    ASSERT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(prompts.boxes[0].prompt, QStringLiteral("Cancel firmware upgrade?"));
    EXPECT_EQ(prompts.boxes[0].buttons, vbconst::vbOKCancel | vbconst::vbQuestion);
    EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("ORVA"));
    EXPECT_TRUE(wizard->isVisible());

    Module().tools.FlashInProgress = true; // as a failed upload left it
    Module().tools.FlashAckFlag = true;
    prompts.answer = nullptr;
    click(wizard->cmdCancel);
    EXPECT_FALSE(wizard->isVisible());
    EXPECT_FALSE(Module().tools.FlashInProgress || Module().tools.FlashAckFlag);
    EXPECT_TRUE(Module().tools.FlashIgnoreAck);

    // A second Cancel answered behind the first one's question closes the wizard: the window
    // stands until the first handler has returned. The same for the heater wizard.
    prompts.boxes.clear();
    for (QPointer<QWidget> window : {static_cast<QWidget *>(new frmFlash), static_cast<QWidget *>(new frmSecHeaterWizard)}) {
        window->setAttribute(Qt::WA_DeleteOnClose);
        auto *cancel = window->findChild<QPushButton *>(QStringLiteral("cmdCancel"));
        prompts.answer = [&](const MessageBoxRequest &) {
            if (prompts.boxes.size() == 1)
                click(cancel), QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return int(vbconst::vbOK);
        };
        click(cancel);
        EXPECT_EQ(prompts.takePrompts().size(), 2);
        ASSERT_TRUE(window && window->isHidden());
        QCoreApplication::sendPostedEvents(); // other events of the window still pending
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(window); // freed, so that the next use loads a fresh one
    }
    prompts.answer = nullptr;
}

TEST_F(FirmwareWizard, TheWindowStaysWhileTheUploadRuns)
{
    sim.run([](ControllerSimulator &s) { s.setBootLoader(BootLoader{}); });
    const QString file = writeFirmware(FirmwareRecords(2));
    openWizard();
    wizard->show();
    click(wizard->cmdNext);
    wizard->txtFileName->setText(file);
    click(wizard->cmdNext);
    // Tried while the exchange serves events after "P"; a box posted then waits for the upload's end.
    QTimer::singleShot(0, wizard, [this] { wizard->close(), PostedBoxes::Application().post("posted", vbconst::vbExclamation); });
    click(wizard->cmdNext);
    EXPECT_TRUE(wizard->isVisible() && prompts.boxes.isEmpty());
    EXPECT_EQ(wizard->CurrentStep, frmFlash::Succeeded);
    EXPECT_TRUE(Wait::Until(1000, [&] { return prompts.boxes.size() == 1; }));
}

} // namespace
