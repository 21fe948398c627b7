#include "drivers/Focuser.h"
#include "drivers/DriverDialogs.h"
#include "drivers/Rotator.h"
#include "drivers/frmDialog.h"
#include "drivers/frmRotatorSetup.h"
#include "link/DriverSettings.h"
#include "support/ControllerBench.h"
#include "support/DiskFullAt.h"
#include "support/DriverKey.h"
#include "support/RecordingPrompts.h"
#include "support/WidgetInput.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

using namespace WidgetInput;
using DriverKey::store;
using DriverKey::stored;

namespace {

using DialogFactory = std::function<std::unique_ptr<DriverSetupDialog>()>;

struct DialogKind
{
    const char *name;
    DialogFactory make;
};

const DialogKind BothDialogs[] = {
    {"frmDialog", [] { return std::make_unique<frmDialog>(); }},
    {"frmRotatorSetup", [] { return std::make_unique<frmRotatorSetup>(); }},
};

class SetupDialogTest : public ControllerBench
{
protected:
    void TearDown() override
    {
        ControllerBench::TearDown();
        Module().tools.FlashAckFlag = false;
        sharedLink()->setPort(1);
    }

    RecordingPrompts prompts;
};

} // namespace

TEST_F(SetupDialogTest, OkStoresPortAndConsoleAndCancelNothing)
{
    for (const DialogKind &kind : BothDialogs) {
        SCOPED_TRACE(kind.name);
        CheckRegistry();
        auto dialog = kind.make();
        EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
        ASSERT_EQ(dialog->cmbPorts->count(), 20);
        EXPECT_EQ(dialog->cmbPorts->itemText(0), QStringLiteral("COM1"));
        EXPECT_EQ(dialog->cmbPorts->itemText(19), QStringLiteral("COM20"));
        EXPECT_EQ(dialog->cmbPorts->currentIndex(), 0);
        EXPECT_FALSE(dialog->Check1->isChecked());
        dialog->Check1->setChecked(true);
        // A port that does not open is said; the link stays where it was and nothing is stored.
        qputenv("VKM_COM9", "/nonexistent/vkm-port");
        sharedLink()->setConnected(true);
        dialog->cmbPorts->setCurrentIndex(8);
        dialog->cmdOK->click();
        EXPECT_EQ(prompts.takePrompts(), QStringList{"Invalid port number: /nonexistent/vkm-port (from VKM_COM9): no such device"});
        EXPECT_TRUE(sharedLink()->Connected() && sharedLink()->Port() == 1);
        EXPECT_EQ(stored(QStringLiteral("PORT")), QVariant(int32_t(1)));
        EXPECT_EQ(stored(QStringLiteral("ControlConsole")), QVariant(int32_t(0)));
        sharedLink()->setConnected(false);
        dialog->cmbPorts->setCurrentIndex(2);
        std::optional<DiskFullAt> full(100); // a failed save is said and takes nothing into use
        dialog->cmdOK->click();
        full.reset();
        EXPECT_EQ(prompts.takePrompts(), QStringList{"Unable to save ControlConsole, PORT (File too large); their former values stay in use."});
        EXPECT_TRUE(dialog->result() == QDialog::Rejected && Module().link.PortNumber == 1 && Module().link.ControlConsole == 0);
        EXPECT_EQ(sharedLink()->Port(), 1); // put back: the port was not saved
        dialog->cmdOK->click(); // with room again
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_EQ(stored(QStringLiteral("PORT")), QVariant(int32_t(3)));
        EXPECT_EQ(stored(QStringLiteral("ControlConsole")), QVariant(int32_t(1)));
        EXPECT_EQ(stored(QStringLiteral("Absolute")), QVariant(int32_t(0))); // only the variable
        EXPECT_EQ(Module().link.PortNumber, 3);
        EXPECT_EQ(Module().link.ControlConsole, 1);
        EXPECT_TRUE(Module().settings.Absolute);
        EXPECT_EQ(sharedLink()->Port(), 3);

        auto again = kind.make();
        EXPECT_EQ(again->cmbPorts->currentIndex(), 2);
        EXPECT_TRUE(again->Check1->isChecked());
        again->cmbPorts->setCurrentIndex(4);
        again->Check1->setChecked(false);
        again->cmdCancel->click();
        EXPECT_EQ(again->result(), QDialog::Rejected);
        EXPECT_EQ(stored(QStringLiteral("PORT")), QVariant(int32_t(3)));
        EXPECT_EQ(stored(QStringLiteral("ControlConsole")), QVariant(int32_t(1)));
        EXPECT_EQ(Module().link.PortNumber, 3);
        EXPECT_EQ(Module().link.ControlConsole, 1);

        store(QStringLiteral("PORT"), REG_DWORD, 1);
        store(QStringLiteral("ControlConsole"), REG_DWORD, 0);
        sharedLink()->setPort(1);
    }
}

TEST_F(SetupDialogTest, LoadingHealsMissingValuesAndAPortBeyondTheListShowsCom1)
{
    for (const DialogKind &kind : BothDialogs) {
        SCOPED_TRACE(kind.name);
        CheckRegistry();
        store(QStringLiteral("PORT"), REG_DWORD, 25);
        store(QStringLiteral("ControlConsole"), REG_DWORD, QVariant());
        Module().link.ControlConsole = 1;
        auto dialog = kind.make();
        EXPECT_EQ(stored(QStringLiteral("ControlConsole")), QVariant(int32_t(0)));
        EXPECT_EQ(Module().link.ControlConsole, 0);
        EXPECT_EQ(Module().link.PortNumber, 25);
        EXPECT_EQ(dialog->cmbPorts->currentText(), QStringLiteral("COM1"));
        dialog->cmdOK->click();
        EXPECT_EQ(stored(QStringLiteral("PORT")), QVariant(int32_t(1)));
    }
}

TEST_F(SetupDialogTest, FocuserDialogReadsAndHealsTheStepSettings)
{
    CheckRegistry();
    store(QStringLiteral("StepSize"), REG_SZ, QVariant());
    store(QStringLiteral("LargeStepSize"), REG_DWORD, QVariant());
    store(QStringLiteral("SmallStepSize"), REG_DWORD, 7);
    Module().settings.StepSize = 3;
    frmDialog dialog;
    EXPECT_EQ(stored(QStringLiteral("StepSize")), QVariant(QStringLiteral("0.25")));
    EXPECT_EQ(stored(QStringLiteral("LargeStepSize")), QVariant(int32_t(80)));
    EXPECT_EQ(dialog.txtStepSize->text(), QStringLiteral("0.25"));
    EXPECT_EQ(dialog.txtLargeStepSize->text(), QStringLiteral("80"));
    EXPECT_EQ(dialog.txtSmallStepSize->text(), QStringLiteral("7"));

    store(QStringLiteral("StepSize"), REG_SZ, QStringLiteral("fast"));
    frmDialog notNumeric;
    EXPECT_EQ(notNumeric.txtStepSize->text(), QStringLiteral("0.25"));
}

TEST_F(SetupDialogTest, StepSizeChecks)
{
    struct Case
    {
        const char *small;
        const char *large;
        const char *message; // nullptr: accepted
        int16_t smallAfter;
        int16_t largeAfter;
        const char *step = "0.3";
        const char *stepStored = "0.3"; // once accepted
    };
    const Case cases[] = {
        // A refusal takes over nothing, not even the fields checked before it.
        {"5", "4", "Illegal value for LargeStepSize", 3, 80},
        {"5", "4.9", "Illegal value for LargeStepSize", 3, 80},
        {"0", "80", "Illegal value for SmallStepSize", 3, 80},
        {"0.9", "80", "Illegal value for SmallStepSize", 3, 80},
        {"abc", "80", "Illegal value for SmallStepSize", 3, 80},
        {"", "80", "Illegal value for SmallStepSize", 3, 80},
        {"32768", "40000", "Illegal value for SmallStepSize", 3, 80},
        {"5", "32767.5", "Illegal value for LargeStepSize", 3, 80},
        {"5", "1e6", "Illegal value for LargeStepSize", 3, 80},
        // The step size by the options window's rule, stored as the number it is.
        {"5", "80", "Illegal value for StepSize", 3, 80, ""},
        {"5", "80", "Illegal value for StepSize", 3, 80, "."},
        {"5", "80", "Illegal value for StepSize", 3, 80, "0"},
        {"2.5", "4", nullptr, 2, 4},
        {"3.5", "100.5", nullptr, 4, 100},
        {"1", "32767", nullptr, 1, 32767},
        {"5", "5", nullptr, 5, 5},
        {"5", "80", nullptr, 5, 80, "1.", "1"},
        {"5", "80", nullptr, 5, 80, "0.425", "0.425"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.small) + " / " + c.large);
        CheckRegistry();
        store(QStringLiteral("SmallStepSize"), REG_DWORD, 3);
        store(QStringLiteral("LargeStepSize"), REG_DWORD, 80);
        store(QStringLiteral("StepSize"), REG_SZ, QStringLiteral("0.25"));
        prompts.boxes.clear();
        frmDialog dialog;
        dialog.show();
        dialog.Check1->setChecked(true);
        dialog.cmbPorts->setCurrentIndex(1);
        dialog.txtStepSize->setText(QString::fromLatin1(c.step));
        dialog.txtSmallStepSize->setText(QString::fromLatin1(c.small));
        dialog.txtLargeStepSize->setText(QString::fromLatin1(c.large));
        dialog.cmdOK->click();
        if (c.message) {
            EXPECT_TRUE(dialog.isVisible());
            dialog.cmdCancel->click();
        }
        EXPECT_EQ(Module().link.ControlConsole, c.message ? 0 : 1);
        EXPECT_EQ(Module().settings.SmallStepSize, c.smallAfter);
        EXPECT_EQ(Module().settings.LargeStepSize, c.largeAfter);
        const QString stepStored = QString::fromLatin1(c.message ? "0.25" : c.stepStored); // in use as on disk
        EXPECT_FLOAT_EQ(Module().settings.StepSize, stepStored.toFloat());
        EXPECT_EQ(stored(QStringLiteral("StepSize")), QVariant(stepStored));
        if (c.message) {
            ASSERT_EQ(prompts.boxes.size(), 1);
            EXPECT_EQ(prompts.boxes[0].prompt, QString::fromLatin1(c.message));
            EXPECT_EQ(prompts.boxes[0].buttons, vbconst::vbOKOnly);
            EXPECT_EQ(stored(QStringLiteral("PORT")), QVariant(int32_t(1)));
            EXPECT_EQ(stored(QStringLiteral("ControlConsole")), QVariant(int32_t(0)));
            EXPECT_EQ(stored(QStringLiteral("SmallStepSize")), QVariant(int32_t(3)));
            EXPECT_EQ(Module().link.PortNumber, 1);
        } else {
            EXPECT_TRUE(prompts.boxes.isEmpty());
            EXPECT_FALSE(dialog.isVisible());
            EXPECT_EQ(stored(QStringLiteral("PORT")), QVariant(int32_t(2)));
            EXPECT_EQ(stored(QStringLiteral("ControlConsole")), QVariant(int32_t(1)));
            EXPECT_EQ(stored(QStringLiteral("SmallStepSize")), QVariant(int32_t(c.smallAfter)));
            EXPECT_EQ(stored(QStringLiteral("LargeStepSize")), QVariant(int32_t(c.largeAfter)));
        }
        sharedLink()->setPort(1);
    }
}

TEST_F(SetupDialogTest, StepSizeBoxTakesDigitsAndOnePoint)
{
    frmDialog dialog;
    dialog.txtStepSize->clear();
    type(dialog.txtStepSize, QStringLiteral("1.2.5x-"));
    EXPECT_EQ(dialog.txtStepSize->text(), QStringLiteral("1.25"));
}

TEST_F(SetupDialogTest, CalculateShowsTheCalculatorsStepSize)
{
    CheckRegistry();
    frmDialog dialog;
    whenModal([](QWidget *w) {
        EXPECT_EQ(w->objectName(), QStringLiteral("frmCalculateStepSize"));
        EXPECT_EQ(w->findChild<QLineEdit *>(QStringLiteral("txtMag"))->text(), QStringLiteral("3.000"));
        w->findChild<QLineEdit *>(QStringLiteral("txtMag"))->setText(QStringLiteral("4"));
        click(w, "cmdOK");
    });
    dialog.txtSmallStepSize->setText(QStringLiteral("9"));
    dialog.cmdCalc->click();
    // Unrounded, in the box only: the setup dialog's Cancel leaves the step size in use.
    EXPECT_EQ(dialog.txtStepSize->text(), QStringLiteral("0.425"));
    EXPECT_EQ(dialog.txtSmallStepSize->text(), QStringLiteral("9"));
    dialog.cmdCancel->click();
    EXPECT_FLOAT_EQ(Module().settings.StepSize, 0.25f);
}

TEST_F(SetupDialogTest, OkOnTheSameOpenPortReopensItAndEmptiesTheInput)
{
    for (const DialogKind &kind : BothDialogs) {
        SCOPED_TRACE(kind.name);
        CheckRegistry();
        sharedLink()->setConnected(true);
        Module().tools.FlashAckFlag = true; // keeps what arrives in the input buffer
        sim.sendRaw(":a 100 ");
        ASSERT_TRUE(Wait::Until(2000, [&] { return sharedLink()->InBufferCount() == 7; }));
        auto dialog = kind.make();
        dialog->cmdOK->click();
        EXPECT_TRUE(sharedLink()->Connected());
        EXPECT_EQ(sharedLink()->InBufferCount(), 0);
        Module().tools.FlashAckFlag = false;
        sim.clearReceived();
        sharedLink()->Transmit(QStringLiteral(" Q "));
        EXPECT_TRUE(sim.waitForReceived(QStringLiteral(" Q "), 1000));
        sharedLink()->setConnected(false);
    }
}

TEST_F(SetupDialogTest, WithoutTheKeyTheDialogsWorkOnTheVariablesAndWriteNothing)
{
    for (const DialogKind &kind : BothDialogs) {
        SCOPED_TRACE(kind.name);
        Module().link.PortNumber = 4;
        Module().link.ControlConsole = 1;
        Module().settings.SmallStepSize = 5;
        Module().settings.LargeStepSize = 80;
        Module().settings.StepSize = 0.25f;
        auto dialog = kind.make();
        EXPECT_EQ(dialog->cmbPorts->currentIndex(), 3);
        EXPECT_TRUE(dialog->Check1->isChecked());
        dialog->cmbPorts->setCurrentIndex(1);
        dialog->cmdOK->click();
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_EQ(Module().link.PortNumber, 2);
        EXPECT_FALSE(DriverKey::exists());
        sharedLink()->setPort(1);
    }
}

TEST_F(SetupDialogTest, SetupDialogMembersShowTheirDialogModallyAndOnTop)
{
    struct Case { const char *dialog; std::function<void()> show; };
    InstallDriverDialogs();
    Focuser focuser;
    Rotator rotator;
    const Case cases[] = {
        {"frmDialog", [&] { focuser.Call(QStringLiteral("SetupDialog")); }},
        {"frmRotatorSetup", [&] { rotator.Call(QStringLiteral("SetupDialog")); }},
    };
    for (const Case &c : cases) {
        bool seen = false;
        whenModal([&](QWidget *w) {
            seen = true;
            EXPECT_EQ(w->objectName(), QString::fromLatin1(c.dialog));
            EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
            click(w, "cmdCancel");
        });
        c.show();
        EXPECT_TRUE(seen) << c.dialog;
    }
    // While an upload owns the line: refused at once, no dialog, nothing read or healed.
    CheckRegistry();
    store(QStringLiteral("ControlConsole"), REG_DWORD, QVariant());
    QTimer opened; // a dialog that opens anyway is closed and counted
    QObject::connect(&opened, &QTimer::timeout, [] { ADD_FAILURE() << "opened", QApplication::activeModalWidget()->close(); });
    opened.start(0);
    Module().tools.FlashInProgress = true;
    for (const Case &c : cases)
        expectRefusal(c.show, Serial::ErrUploadOwnsPort, "The port is in use by a firmware upload.", "ASCOM Helper Serial Port Object");
    Module().tools.FlashInProgress = false;
    EXPECT_FALSE(stored(QStringLiteral("ControlConsole")).isValid());
    EXPECT_EQ(stored(QStringLiteral("PORT")), QVariant(int32_t(1)));
}
