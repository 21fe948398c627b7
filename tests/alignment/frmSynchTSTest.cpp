#include "AlignmentBench.h"

#include "alignment/frmSynchTS.h"
#include "support/WidgetInput.h"

#include <QStringList>

namespace {

// Opens the dialog and presses `button`; the dialog must close by itself unless it fails, in
// which case the test closes it after the press (given `again`, runs it and presses again first).
bool pressAndClose(const char *button, const std::function<void()> &again = nullptr)
{
    bool stayedOpen = false;
    WidgetInput::whenModal([button, &stayedOpen, again](QWidget *w) {
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Synchronise ZEL and TheSky"));
        EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
        WidgetInput::click(w, button);
        if (again && w->isVisible()) {
            again();
            WidgetInput::click(w, button);
        }
        stayedOpen = w->isVisible();
        if (stayedOpen)
            w->close();
    });
    frmSynchTS::ask();
    return !stayedOpen;
}

} // namespace

using SynchTS = AlignmentBench;

TEST_F(SynchTS, ZelToTheSkyRelabelsTheRotatorAndRecordsTheSide)
{
    struct Case { double angle; bool checkTelescope; int16_t pierSide; const char *sent; int recorded; };
    const Case cases[] = {
        {90.0, true, -1, "p18000 ", -1},
        {90.0, false, -1, "p18000 ", 0},
        {10.004, true, 1, "p2000 ", 1},    // Int: rounds down
        {-0.001, false, 1, "p-1 ", 0},
    };
    for (const Case &c : cases) {
        ModuleState &m = Module();
        m.thesky.ZELOffset = 5;
        m.settings.CheckTelescope = c.checkTelescope;
        m.thesky.PierSide = c.pierSide;
        sky->fovis[QStringLiteral("Camera")].angle = c.angle;
        EXPECT_TRUE(pressAndClose("cmdZELtoTS"));
        EXPECT_EQ(sent(), QString::fromLatin1(c.sent));
        EXPECT_EQ(m.thesky.ZELOffset, 0.0f);
        EXPECT_EQ(m.settings.ZELSynchedToTelescope, c.recorded);
        EXPECT_EQ(DriverKey::stored(QStringLiteral("ZELSynchedToTelescope")).toInt(), c.recorded);
        EXPECT_FALSE(m.rotator.RotatorMovePending);
    }
    EXPECT_TRUE(prompts.boxes.isEmpty());
}

TEST_F(SynchTS, TheSkyToZelByPierSideHistory)
{
    struct Case {
        bool recorded, checkTelescope; int16_t synched, pierSide; int32_t set;
        const char *sent; double angle; int storedAfter; // -9: the record untouched
        bool skyFailsFirst = false; // TheSky refuses the first press's angle; pressed again
    };
    const Case cases[] = {
        {true, true, -1, 1, 36000, "p72000 ", 360, 1},   // other side: half a turn on
        {true, true, -1, 1, 36001, "p1 ", 0.005, 1},     // and off
        {true, true, -1, 1, 36000, "p72000  R ", 360, 1, true}, // the second press completes the first
        {true, true, 1, 1, 20000, "", 100, -9},          // same side
        {true, true, 0, -1, 20000, "", 100, -9},         // never synchronised
        {true, false, 1, -1, 20000, "", 100, 0},         // telescope not watched
        {false, true, 1, -1, 20000, "", 100, 0},         // position not kept
    };
    for (const Case &c : cases) {
        ModuleState &m = Module();
        sim.setValue(QStringLiteral(":rrp"), QString::fromLatin1(c.recorded ? "9" : "1"));
        m.settings.CheckTelescope = c.checkTelescope;
        m.settings.ZELSynchedToTelescope = c.synched;
        DriverKey::store(QStringLiteral("ZELSynchedToTelescope"), REG_DWORD, int32_t(-9));
        m.thesky.PierSide = c.pierSide;
        sim.setRotatorPosition(c.set); // the target asked for when pressed, on a port opened afresh
        sharedLink()->setConnected(false);
        sharedLink()->setConnected(true);
        m.rotator.RotatorMovePending = false;
        m.thesky.ZELOffset = 3;
        main.timer3Restarts.clear();
        sky->journal.clear();
        if (c.skyFailsFirst)
            sky->failMember(QStringLiteral("FOVs.Property="), VbError(1000, QStringLiteral("No FOVI")));
        EXPECT_TRUE(pressAndClose("cmdTStoZEL", [&] { sky->clearFailures(); }));
        EXPECT_EQ(sent(), QStringLiteral(" R ") + QString::fromLatin1(c.sent)) << c.set;
        EXPECT_DOUBLE_EQ(sky->fovis[QStringLiteral("Camera")].angle, c.angle);
        EXPECT_EQ(sky->journal.last(), QStringLiteral("Chart.Refresh"));
        EXPECT_TRUE(sky->journal[sky->journal.size() - 2].startsWith(QStringLiteral("FOVs.Property(Camera,0,1)=")));
        EXPECT_EQ(m.thesky.ZELOffset, 0.0f);
        EXPECT_TRUE(m.rotator.RotatorMovePending);
        EXPECT_EQ(main.timer3Restarts, QList<int32_t>{2000});
        EXPECT_EQ(DriverKey::stored(QStringLiteral("ZELSynchedToTelescope")).toInt(), c.storedAfter) << c.set;
    }
}

TEST_F(SynchTS, TheSkyToZelRestartsTheConsoleTimerWithoutTheMainWindow)
{
    Module().link.MainFormOpen = false;
    Module().link.ConsoleFormOpen = true;
    EXPECT_TRUE(pressAndClose("cmdTStoZEL"));
    EXPECT_EQ(console.timer3Restarts, QList<int32_t>{2000});
    EXPECT_TRUE(main.timer3Restarts.isEmpty());
}

TEST_F(SynchTS, SetOffsetKeepsTheDifferenceUnreduced)
{
    sky->fovis[QStringLiteral("Camera")].angle = 10;
    main.rotatorCaption = QStringLiteral("350.00");
    EXPECT_TRUE(pressAndClose("cmdSetOffset"));
    EXPECT_EQ(Module().thesky.ZELOffset, -340.0f);
    EXPECT_EQ(sent(), QString());
    EXPECT_FALSE(DriverKey::stored(QStringLiteral("ZELSynchedToTelescope")).isValid());
}

TEST_F(SynchTS, FailuresShowTheErrorAndKeepTheDialogOpen)
{
    // What can fail is checked before the first step: nothing sent, the offset kept.
    struct Case { const char *button; std::function<void()> arrange; const char *message; const char *sent; float offset; };
    const Case cases[] = {
        {"cmdSetOffset", [this] { main.rotatorCaption = QStringLiteral("ZEL"); }, "Type mismatch", "", 7},
        {"cmdZELtoTS", [this] { sky->failMember(QStringLiteral("FOVs.Property"), VbError(1000, QStringLiteral("No FOVI"))); },
         "No FOVI", "", 7},
        {"cmdTStoZEL", [] { Module().thesky.TheSkyChart.reset(); }, "Object variable or With block variable not set", " R ", 7},
        {"cmdZELtoTS", [] { RegDeleteKey(HKEY_LOCAL_MACHINE, DriverKeyPath); },
         "Unable to read registry", "", 7},
    };
    for (const Case &c : cases) {
        prompts.boxes.clear();
        sky->fovis[QStringLiteral("Camera")].angle = 90;
        Module().thesky.ZELOffset = 7;
        c.arrange();
        EXPECT_FALSE(pressAndClose(c.button)) << c.message;
        ASSERT_EQ(prompts.boxes.size(), 1) << c.message;
        EXPECT_EQ(prompts.boxes[0].prompt, QString::fromLatin1(c.message));
        EXPECT_EQ(prompts.boxes[0].buttons, vbconst::vbExclamation);
        EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("VKM ERROR OCCURED"));
        EXPECT_EQ(sent(), QString::fromLatin1(c.sent)) << c.message;
        EXPECT_EQ(Module().thesky.ZELOffset, c.offset) << c.message;
        sky->clearFailures();
    }
}

// With the port closed or during an upload each button refuses before any change; TheSky
// refusing the angle after "p" records nothing and says what took effect.
TEST_F(SynchTS, RefusalsAndALateFailureRecordNothing)
{
    const QString closed = QStringLiteral("Error:  The communications port is not open.");
    const QString upload = QStringLiteral("Error:  A firmware upload is in progress.");
    const QString relabelled = QStringLiteral(
        "Error:  TheSky did not take the camera angle: No FOVI.  The ZEL position counter had already been relabelled "
        "by 180 degrees (p72000); nothing was recorded, so TheSky and the ZEL are not synchronised.");
    struct Case { const char *button; int stop; QString message; const char *sent; }; // stop: 0 port, 1 upload, 2 TheSky
    const Case cases[] = {
        {"cmdZELtoTS", 0, closed, ""},   {"cmdTStoZEL", 0, closed, ""}, {"cmdSetOffset", 0, closed, ""},
        {"cmdZELtoTS", 1, upload, ""},   {"cmdTStoZEL", 1, upload, ""}, {"cmdTStoZEL", 2, relabelled, " R p72000 "},
    };
    ModuleState &m = Module();
    for (const Case &c : cases) {
        m.settings.CheckTelescope = true;
        sim.setValue(QStringLiteral(":rrp"), QStringLiteral("9"));
        m.settings.ZELSynchedToTelescope = -1; // synchronised on the other side: "p" relabels
        DriverKey::store(QStringLiteral("ZELSynchedToTelescope"), REG_DWORD, -1);
        m.thesky.PierSide = 1;
        sim.setRotatorPosition(36000);
        m.thesky.ZELOffset = 7;
        sky->fovis[QStringLiteral("Camera")].angle = 90;
        if (c.stop == 0)
            sharedLink()->setConnected(false);
        m.tools.FlashInProgress = c.stop == 1;
        if (c.stop == 2)
            sky->failMember(QStringLiteral("FOVs.Property="), VbError(1000, QStringLiteral("No FOVI")));
        EXPECT_FALSE(pressAndClose(c.button)) << c.button;
        m.tools.FlashInProgress = false;
        if (c.stop == 0)
            sharedLink()->setConnected(true);
        sky->clearFailures();
        EXPECT_EQ(prompts.takePrompts(), QStringList{c.message}) << c.button;
        EXPECT_EQ(sent(), QString::fromLatin1(c.sent)) << c.button;
        EXPECT_EQ(sky->fovis[QStringLiteral("Camera")].angle, 90.0);
        EXPECT_EQ(m.thesky.ZELOffset, 7.0f);
        EXPECT_EQ(m.settings.ZELSynchedToTelescope, -1);
        EXPECT_EQ(DriverKey::stored(QStringLiteral("ZELSynchedToTelescope")).toInt(), -1);
        EXPECT_FALSE(m.rotator.RotatorMovePending);
    }
}
