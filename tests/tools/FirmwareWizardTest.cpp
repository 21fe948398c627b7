// The firmware wizard against a simulated boot loader served by its own thread, since the
// exchange reads the port in loops that serve no events.
#include "link/ModuleState.h"
#include "link/Serial.h"
#include "platform/UserPrompts.h"
#include "platform/Wait.h"
#include "support/FakeControlWindows.h"
#include "../alignment/QStringPrinter.h"
#include "support/OperatorInput.h"
#include "support/RecordingPrompts.h"
#include "support/SimulatorThread.h"
#include "tools/frmFlash.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <utility>

using OperatorInput::click;
using BootLoader = ControllerSimulator::BootLoader;

namespace {

// S-records with 16 data bytes each: address, data, checksum.
QStringList firmwareLines(int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << (QStringLiteral("S113%1").arg(i * 16, 4, 16, QLatin1Char('0')) + QStringLiteral("000102030405060708090A0B0C0D0E0F")
                  + QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0')))
                     .toUpper();
    return lines;
}

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

    QString writeFirmware(const QStringList &lines, const QString &name = QStringLiteral("ORVA.S19"))
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1());
        return path;
    }

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

TEST_F(FirmwareWizard, SendsEveryLineWithItsAcknowledgementAndShowsTheProgress)
{
    struct Case
    {
        int lines;
        QList<int> progress;
    };
    const Case cases[] = {{3, {0, 33, 67}}, {8, {0, 12, 25, 38, 50, 62, 75, 88}}};
    for (const Case &c : cases) {
        sim.run([](ControllerSimulator &s) {
            s.clearReceived();
            s.setBootLoader(BootLoader{});
        });
        progress.clear();
        const QStringList lines = firmwareLines(c.lines);
        upload(writeFirmware(lines));

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

TEST_F(FirmwareWizard, EndsOnTheErrorPageWithTheCodesText)
{
    struct Case
    {
        const char *what;
        BootLoader loader;
        bool missingFile;
        int16_t code;             // 0: uploaded all the same
        QString wire;             // what the loader received, up to the first line
        QStringList boxes;
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
    const QString timedOut = QStringLiteral("Timed out waiting for response");
    const Case cases[] = {
        {"silent loader", silent, false, 1, QStringLiteral("x x "), {timedOut}},
        {"no programming voltage", noVoltage, false, 2, QStringLiteral("x E"), {}},
        {"erase failed", eraseFailed, false, 3, QStringLiteral("x E"), {}},
        {"missing file", {}, true, 4, QString(), {QStringLiteral("File not found")}},
        {"second line unanswered", lineUnanswered, false, 6, QStringLiteral("x EP"), {}},
        {"erase unanswered", eraseUnanswered, false, 0, QStringLiteral("x EP"), {}},
    };
    const QStringList lines = firmwareLines(3);
    const QString file = writeFirmware(lines);
    for (const Case &c : cases) {
        sim.run([&](ControllerSimulator &s) {
            s.clearReceived();
            s.setBootLoader(c.loader);
        });
        prompts.boxes.clear();
        upload(c.missingFile ? dir.filePath(QStringLiteral("gone.s19")) : file);

        EXPECT_EQ(wizard->UploadErrorCode, c.code) << c.what;
        QStringList boxes;
        for (const MessageBoxRequest &box : std::as_const(prompts.boxes))
            boxes << box.prompt;
        EXPECT_EQ(boxes, c.boxes) << c.what;
        Wait::For(30);
        const QString received = sim.received();
        EXPECT_TRUE(c.code == 4 ? received.isEmpty() : received.startsWith(c.wire)) << c.what << ": " << qPrintable(received);
        if (c.code == 0) {
            EXPECT_EQ(wizard->CurrentStep, frmFlash::Succeeded) << c.what;
        } else {
            EXPECT_EQ(wizard->CurrentStep, frmFlash::Failed) << c.what;
            EXPECT_EQ(wizard->lblStep->text(), QStringLiteral("Error Encountered"));
            EXPECT_EQ(wizard->lblInstructions->text(), frmFlash::ErrorText(c.code)) << c.what;
        }
        expectReceivePathBack();
        delete std::exchange(wizard, nullptr);
    }
    EXPECT_EQ(frmFlash::ErrorText(1),
              QStringLiteral("The firmware upload was terminated with an error code: 1\n\n\rNO RESPONSE DURING "
                             "INITIALIZATION\n\rPlease reboot the ORVA VKM by temporarily removing power and try "
                             "uploading the firmware again."));
    EXPECT_EQ(frmFlash::ErrorText(2).section(QLatin1Char('\n'), 2),
              QStringLiteral("\rPROGRAMMING VOLTAGE NOT PRESENT\n\rThis may be indicative of hardware damage.  If this "
                             "error continues please contact ORVA for repair."));
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
}

TEST_F(FirmwareWizard, TheWindowStaysWhileTheUploadRuns)
{
    sim.run([](ControllerSimulator &s) { s.setBootLoader(BootLoader{}); });
    const QString file = writeFirmware(firmwareLines(2));
    openWizard();
    wizard->show();
    click(wizard->cmdNext);
    wizard->txtFileName->setText(file);
    click(wizard->cmdNext);
    // Tried while the exchange serves events after "P".
    QTimer::singleShot(0, wizard, [this] { wizard->close(); });
    click(wizard->cmdNext);
    EXPECT_TRUE(wizard->isVisible());
    EXPECT_EQ(wizard->CurrentStep, frmFlash::Succeeded);
}

} // namespace
