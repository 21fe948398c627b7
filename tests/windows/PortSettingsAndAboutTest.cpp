#include "link/DriverSettings.h"
#include "support/ControllerBench.h"
#include "support/DiskFullAt.h"
#include "support/DriverKey.h"
#include "support/RecordingPrompts.h"
#include "support/WidgetInput.h"
#include "windows/frmAbout.h"
#include "windows/frmProperties.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <memory>
#include <optional>

using namespace WidgetInput;

namespace {

class PortSettingsWindow : public ControllerBench
{
protected:
    void SetUp() override
    {
        ControllerBench::SetUp();
        qputenv("VKM_COM2", second.devicePath().toLocal8Bit());
        CheckRegistry();
    }

    void TearDown() override
    {
        Module().tools.FlashInProgress = false;
        ControllerBench::TearDown();
        Module().tools.FlashAckFlag = false;
        sharedLink()->setPort(1);
    }

    static QVariant storedPort() { return DriverKey::stored(QStringLiteral("PORT")); }

    // Fills the link's input buffer without handing it out, to see whether the port reopens.
    void holdInput()
    {
        Module().tools.FlashAckFlag = true;
        sim.sendRaw(":a 1 ");
        ASSERT_TRUE(Wait::Until(2000, [&] { return sharedLink()->InBufferCount() == 5; }));
    }

    ControllerSimulator second;
    RecordingPrompts prompts;
};

// A store that refuses the write.
class frmPropertiesWithoutStore : public frmProperties
{
protected:
    LSTATUS storePortNumber(int16_t) override { return ERROR_ACCESS_DENIED; }
};

} // namespace

TEST_F(PortSettingsWindow, ListsCom1ToCom20WithTheCurrentPortSelected)
{
    struct Case { int16_t port; int index; };
    for (const Case c : {Case{1, 0}, Case{7, 6}, Case{20, 19}, Case{0, -1}, Case{21, -1}}) {
        Module().link.PortNumber = c.port;
        frmProperties window;
        EXPECT_EQ(window.windowTitle(), QStringLiteral("CommPort Properties"));
        ASSERT_EQ(window.cboPort->count(), 20);
        EXPECT_EQ(window.cboPort->itemText(0), QStringLiteral("Com1"));
        EXPECT_EQ(window.cboPort->itemText(19), QStringLiteral("Com20"));
        EXPECT_EQ(window.cboPort->currentIndex(), c.index) << c.port;
    }
}

TEST_F(PortSettingsWindow, AChangeMovesTheOpenLinkToTheNewDeviceAndStoresIt)
{
    sharedLink()->setConnected(true);
    holdInput();
    frmProperties window;
    window.cboPort->setCurrentIndex(1);
    window.cmdOK->click();
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(Module().link.PortNumber, 2);
    EXPECT_EQ(sharedLink()->Port(), 2);
    EXPECT_EQ(storedPort(), QVariant(int32_t(2)));
    ASSERT_TRUE(sharedLink()->Connected());
    EXPECT_EQ(sharedLink()->InBufferCount(), 0);
    sharedLink()->Transmit(QStringLiteral(" Q "));
    EXPECT_TRUE(second.waitForReceived(QStringLiteral(" Q "), 1000));
    EXPECT_TRUE(sim.received().isEmpty());
}

TEST_F(PortSettingsWindow, AChangeWhileClosedLeavesTheLinkClosed)
{
    frmProperties window;
    window.cboPort->setCurrentIndex(1);
    window.cmdOK->click();
    EXPECT_EQ(sharedLink()->Port(), 2);
    EXPECT_FALSE(sharedLink()->Connected());
    EXPECT_EQ(storedPort(), QVariant(int32_t(2)));
}

TEST_F(PortSettingsWindow, NoChangeDoesNothing)
{
    sharedLink()->setConnected(true);
    holdInput();
    DriverKey::store(QStringLiteral("PORT"), REG_DWORD, QVariant());
    for (const int index : {0, -1}) { // the same port, or none chosen
        frmProperties window;
        window.cboPort->setCurrentIndex(index);
        window.cmdOK->click();
        EXPECT_EQ(window.result(), QDialog::Accepted);
        EXPECT_EQ(Module().link.PortNumber, 1);
        EXPECT_TRUE(sharedLink()->Connected());
        EXPECT_EQ(sharedLink()->InBufferCount(), 5); // not reopened
        EXPECT_FALSE(storedPort().isValid());
    }
}

TEST_F(PortSettingsWindow, CancelChangesNothing)
{
    frmProperties window;
    window.cboPort->setCurrentIndex(4);
    window.cmdCancel->click();
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_EQ(Module().link.PortNumber, 1);
    EXPECT_EQ(sharedLink()->Port(), 1);
    EXPECT_EQ(storedPort(), QVariant(int32_t(1)));
}

// A change that fails to store, that a firmware upload refuses, or to a port that does not
// open, keeps the window open with its box: the link, the port number and the stored setting
// stay as they were.
TEST_F(PortSettingsWindow, ARefusedChangeLeavesTheLinkAndKeepsTheWindowOpen)
{
    qputenv("VKM_COM3", "/nonexistent/vkm-port");
    sharedLink()->setConnected(true);
    const char *boxes[] = {"Unable to open registry key", "The port is in use by a firmware upload.",
                           "Unable to save PORT (File too large); its former value stays in use.", // a full disk
                           "Invalid port number: /nonexistent/vkm-port (from VKM_COM3): no such device"};
    for (int i = 0; i < 4; ++i) {
        const bool uploading = i == 1;
        const std::unique_ptr<frmProperties> window = i != 0 ? std::make_unique<frmProperties>() : std::make_unique<frmPropertiesWithoutStore>();
        window->show();
        window->cboPort->setCurrentIndex(i == 3 ? 2 : 1);
        Module().tools.FlashInProgress = uploading;
        std::optional<DiskFullAt> full;
        if (i == 2)
            full.emplace(100);
        window->cmdOK->click();
        full.reset();
        Module().tools.FlashInProgress = false;
        EXPECT_EQ(prompts.takePrompts(), QStringList{QString::fromLatin1(boxes[i])});
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(Module().link.PortNumber, 1);
        EXPECT_EQ(sharedLink()->Port(), 1);
        ASSERT_TRUE(sharedLink()->Connected());
        sharedLink()->Transmit(QStringLiteral(" Q "));
        EXPECT_TRUE(sim.waitForReceived(QStringLiteral(" Q "), 1000));
        sim.clearReceived();
        EXPECT_EQ(storedPort(), QVariant(int32_t(1)));
    }
}

TEST_F(PortSettingsWindow, ShownModally)
{
    bool seen = false;
    whenModal([&](QWidget *w) {
        seen = true;
        EXPECT_EQ(w->objectName(), QStringLiteral("frmProperties"));
        click(w, "cmdCancel");
    });
    frmProperties::showModal();
    EXPECT_TRUE(seen);
}

// --- About ---

namespace {

class AboutWindow : public ::testing::Test
{
protected:
    void TearDown() override
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<frmAbout *>(w))
                w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static QList<frmAbout *> openAboutWindows()
    {
        QList<frmAbout *> found;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *about = qobject_cast<frmAbout *>(w); about && about->isVisible())
                found << about;
        return found;
    }

    RecordingPrompts prompts;
};

} // namespace

TEST_F(AboutWindow, ShowsTheVersionsBeforeAndAfterAFirmwareReport)
{
    QCoreApplication::setApplicationVersion(QStringLiteral("1.5.26"));
    struct Case { const char *firmware; const char *label; };
    const Case cases[] = {
        {"Not Available", "Firmware version:  Not Available"},
        {"2.14b", "Firmware version:  2.14b"},
    };
    for (const Case &c : cases) {
        Module().link.FirmwareVersion = QString::fromLatin1(c.firmware);
        frmAbout window;
        EXPECT_EQ(window.windowTitle(), QStringLiteral("About Project1"));
        EXPECT_EQ(window.lblVersion->text(), QStringLiteral("Version 1.5.26"));
        EXPECT_EQ(window.lblTitle->text(), QStringLiteral("Brenwick \nKorvane"));
        EXPECT_EQ(window.lblFirmware->text(), QString::fromLatin1(c.label));
    }
    QCoreApplication::setApplicationVersion(QString());
}

TEST_F(AboutWindow, SystemInformationIsUnavailable)
{
    frmAbout window;
    EXPECT_EQ(window.cmdSysInfo->text(), QStringLiteral("&System Info..."));
    window.cmdSysInfo->click();
    ASSERT_EQ(prompts.boxes.size(), 1);
    EXPECT_EQ(prompts.boxes[0].prompt, QStringLiteral("System Information Is Unavailable At This Time"));
    EXPECT_EQ(prompts.boxes[0].buttons, vbconst::vbOKOnly);
    EXPECT_EQ(prompts.boxes[0].title, QCoreApplication::applicationName()); // the default title
}

TEST_F(AboutWindow, OneModelessWindowThatOkCloses)
{
    frmAbout::showWindow();
    frmAbout::showWindow();
    const QList<frmAbout *> open = openAboutWindows();
    ASSERT_EQ(open.size(), 1);
    EXPECT_FALSE(open[0]->isModal());
    open[0]->cmdOK->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(openAboutWindows().isEmpty());
}
