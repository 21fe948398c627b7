// Tools > Firmware Upgrade: the wizard against the main window's own parser and link, with
// the boot loader simulated on a thread of its own (the exchange serves no events).
#include "MainWindowFixture.h"
#include "support/OperatorInput.h"
#include "support/SimulatorThread.h"
#include "tools/frmFlash.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

class FirmwareMenu : public MainWindowFixture
{
protected:
    SimulatorThread loader;
    QTemporaryDir dir;

    static frmFlash *wizard()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *flash = qobject_cast<frmFlash *>(w); flash && flash->isVisible())
                return flash;
        return nullptr;
    }
};

TEST_F(FirmwareMenu, OpensOneWizardThatUploadsThroughTheMainWindowsLink)
{
    qputenv("VKM_COM1", loader.devicePath().toLocal8Bit());
    loader.run([](ControllerSimulator &s) { s.setBootLoader(ControllerSimulator::BootLoader{}); });
    frmMain *form = open();
    form->mnuConnect_Click();
    form->mnuFirmware->trigger();
    frmFlash *flash = wizard();
    ASSERT_NE(flash, nullptr);
    form->mnuFirmware->trigger();
    EXPECT_EQ(wizard(), flash);

    const QStringList lines = {QStringLiteral("S00600004844521B"), QStringLiteral("S1070000AABBCCDDE8"),
                               QStringLiteral("S9030000FC")};
    const QString path = dir.filePath(QStringLiteral("orva.s19"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write((lines.join(QStringLiteral("\n")) + QStringLiteral("\n")).toLatin1());
    file.close();

    flash->Timings = {500, 500, 20, 500, 500};
    OperatorInput::click(flash->cmdNext);
    flash->txtFileName->setText(path);
    OperatorInput::click(flash->cmdNext);
    OperatorInput::click(flash->cmdNext);

    EXPECT_EQ(flash->CurrentStep, frmFlash::Succeeded);
    QStringList taken;
    ASSERT_TRUE(Wait::Until(1000, [&] {
        loader.run([&](ControllerSimulator &s) { taken = s.loaderLines(); });
        return taken.size() == lines.size();
    }));
    EXPECT_EQ(taken, lines);
    EXPECT_TRUE(Module().tools.FlashIgnoreAck);
    EXPECT_FALSE(Module().tools.FlashInProgress || Module().tools.FlashAckFlag);

    OperatorInput::click(flash->cmdFinish);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(wizard(), nullptr);
}

} // namespace
