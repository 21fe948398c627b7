#include "ConsoleFixture.h"

#include "link/ControlWindowHooks.h"
#include "alignment/TheSkyAutomation.h"
#include "support/DriverKey.h"
#include "support/FakeTheSky.h"
#include "support/OperatorInput.h"
#include "support/WidgetInput.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

// The follow as the two windows run it: the connect box, tmrTheSky and the hold timers.
class TheSkyFollowWiring : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        DriverKey::store(QStringLiteral("Detector"), REG_SZ, QStringLiteral("Camera"));
        Module().settings.Detector = QStringLiteral("Camera");
        sky = FakeTheSky::Install();
        sky->fovis[QStringLiteral("Camera")].angle = 10;
    }
    void TearDown() override
    {
        ConsoleFixture::TearDown();
        TheSkyAutomation::ReleaseObjects();
        FakeTheSky::Uninstall();
    }

    // The rotator standing at 10 degrees, the controller answering, and the link's record
    // holding its answer.
    void rotatorAt2000()
    {
        ModuleState::Rotator &r = Module().rotator;
        r.RotatorSetPosition = r.RotatorPosition = 2000;
        r.RotatorMovePending = false;
        sim.setSilent(false);
        sim.setRotatorPosition(2000);
        ASSERT_TRUE(RotatorStatus::Ask(*Module().link.SharedSerial));
        sent();
    }

    // The operator turns the indicator from 10 to 20 degrees.
    void turnIndicator() { sky->fovis[QStringLiteral("Camera")].angle = 20; }

    // 70 s of follow ticks while the window polls only its FOCUS tab, after the turn went:
    // no tick sends it again (each waits for the answer to its own query), and the cable
    // ends where the one turn took it.
    void followOnTheFocusTab()
    {
        Wait::For(70000);
        EXPECT_FALSE(sent().contains(QLatin1Char('j')));
        EXPECT_EQ(sim.rotatorWrap(), 2000);
        EXPECT_TRUE(prompts.boxes.isEmpty());
    }

    std::shared_ptr<FakeTheSky> sky;
};

TEST_F(TheSkyFollowWiring, MainWindowConnectsFollowsAndDisconnectsByItsBox)
{
    Serial &link = *Module().link.SharedSerial;
    link.setPort(1);
    link.setConnected(true);
    frmMain *main = MainForm();
    main->show();
    main->Timer4.setEnabled(false);
    EXPECT_EQ(ControlWindows().Main->RotatorCaption(), main->lblRot->text());

    rotatorAt2000();
    OperatorInput::click(main->chkConnectTheSky);
    ASSERT_TRUE(Module().thesky.TheSky);
    EXPECT_TRUE(main->tmrTheSky.Enabled());
    EXPECT_TRUE(main->cmdZELUtils->isEnabled());

    turnIndicator();
    sent();
    emit main->tmrTheSky.Tick();
    EXPECT_TRUE(sent().endsWith(QStringLiteral("j2000 ")));
    EXPECT_TRUE(main->TheSkyUpdateHold);
    EXPECT_TRUE(main->Timer2.Enabled());
    EXPECT_EQ(main->Timer2.Interval(), 2000);
    ASSERT_EQ(main->SSTab1->currentIndex(), 0);
    main->Timer4.setEnabled(true);
    followOnTheFocusTab();

    OperatorInput::click(main->chkConnectTheSky);
    EXPECT_FALSE(Module().thesky.TheSky || Module().thesky.TheSkyTelescope);
    EXPECT_FALSE(main->tmrTheSky.Enabled());
    EXPECT_FALSE(main->cmdZELUtils->isEnabled());
    EXPECT_TRUE(prompts.boxes.isEmpty());
}

TEST_F(TheSkyFollowWiring, ConsoleFollowsWithItsOwnHold)
{
    ASSERT_TRUE(TheSkyAutomation::CreateChartObjects());
    open();
    EXPECT_TRUE(form->tmrTheSky.Enabled());
    rotatorAt2000();
    turnIndicator();
    emit form->tmrTheSky.Tick();
    EXPECT_EQ(sent(), QStringLiteral("j2000 "));
    EXPECT_TRUE(form->TheSkyUpdateHold);
    EXPECT_TRUE(form->Timer4.Enabled());
    ASSERT_EQ(form->TabStrip1->currentIndex(), 0);
    form->Timer2.setEnabled(true);
    followOnTheFocusTab();
}

TEST_F(TheSkyFollowWiring, TheMainWindowClosedDuringItsSlewWaitGoesOnlyAfterTheTick)
{
    const std::function<void(frmMain *)> closings[] = {
        [](frmMain *main) { main->mnuExit->trigger(); },
        [](frmMain *main) { main->close(); }, // the title bar
        [](frmMain *main) { main->mnuMiniConsole->trigger(); },
    };
    for (const auto &closeMain : closings) {
        Serial &link = *Module().link.SharedSerial;
        if (!link.Connected()) {
            link.setPort(1);
            link.setConnected(true);
        }
        QPointer<frmMain> main = MainForm();
        main->show();
        rotatorAt2000();
        OperatorInput::click(main->chkConnectTheSky);
        ASSERT_TRUE(Module().thesky.TheSky);
        Module().settings.EnableSlew = 1;
        sky->fovis[QStringLiteral("Camera")].offsetNorthSouth = 3;
        sky->slewCompleteAfter = 0; // the telescope never stands
        sky->journal.clear();

        // The offset prompt is answered; the operator closes the window while the tick waits.
        QTimer operatorHand;
        QObject::connect(&operatorHand, &QTimer::timeout, [&] {
            if (QWidget *prompt = QApplication::activeModalWidget())
                WidgetInput::click(prompt, "cmdOK");
            else if (main && !main->isUnloaded() && sky->calls(QStringLiteral("Telescope.IsSlewComplete")).size() >= 2)
                closeMain(main);
        });
        operatorHand.start(5);
        main->tmrTheSky.setInterval(10);
        ASSERT_TRUE(Wait::Until(1500, [&] { return main.isNull(); }));
        operatorHand.stop();
        const qsizetype polls = sky->calls(QStringLiteral("Telescope.IsSlewComplete")).size();
        Wait::For(100);
        EXPECT_EQ(sky->calls(QStringLiteral("Telescope.IsSlewComplete")).size(), polls); // it stopped following
        closeWindows();
        TheSkyAutomation::ReleaseObjects();
        sky = FakeTheSky::Install();
        sky->fovis[QStringLiteral("Camera")].angle = 10;
    }
}
