#include "alignment/AlignmentBench.h"

#include "link/RotatorStatus.h"
#include "link/RotatorSteps.h"
#include "support/WidgetInput.h"
#include "windows/TheSkyFollow.h"
#include "windows/WindowRules.h"

#include <QApplication>
#include <QTimer>

namespace {

using Window = TheSkyFollowHost::Window;

// A window as the follow sees it: its link, its hold, its timers and its connect box.
class TestHost : public TheSkyFollowHost
{
public:
    Window window = Window::Main;
    bool TheSkyUpdateHold = false;
    int holds = 0, moveWatchRestarts = 0;
    bool followTimer = false, box = true, utilities = false;

    Window kind() const override { return window; }
    int sendsLeft = -1; // then the port takes no more (negative: no end)
    Serial::SendResult Transmit(const QString &command) override
    {
        if (sendsLeft == 0)
            return Serial::SendResult::NotDelivered;
        --sendsLeft;
        const Serial::SendResult result = Module().link.SharedSerial->Transmit(command);
        closing = closing || (closeOnQ && command.startsWith(u'q'));
        if (command.startsWith(u'q') && !clientMove.isEmpty()) // a client's move lands right after
            QTimer::singleShot(0, [move = std::exchange(clientMove, QString())] { Module().link.SharedSerial->Transmit(move); });
        return result;
    }
    QString clientMove;
    bool closeOnQ = false, closing = false; // the window closes once a "q" went
    bool Closing() const override { return closing; }
    Serial *Link() const override { return Module().link.SharedSerial.get(); }
    void HoldTheSkyUpdate() override
    {
        TheSkyUpdateHold = true;
        ++holds;
    }
    void RestartMoveWatch() override { ++moveWatchRestarts; }
    void EnableFollowTimer(bool enabled) override { followTimer = enabled; }
    void SetConnectBox(bool checked) override { box = checked; }
    void EnableUtilities(bool enabled) override { utilities = enabled; }

    // What the windows' parsers do with a ":rs" report.
    void reportTarget(int32_t v)
    {
        if (WindowRules::PushRotatorTargetToTheSky(v, TheSkyUpdateHold))
            RestartMoveWatch();
        Module().rotator.RotatorSetPosition = v;
    }
};

// Answers the modal prompts as they open, in order: the window's name and the button; a
// prompt with no answer left, or a null button, is closed by its title bar. `whileOpen`
// runs inside each prompt before it is answered.
class PromptAnswers : public QObject
{
public:
    PromptAnswers()
    {
        connect(&m_poll, &QTimer::timeout, this, &PromptAnswers::answerOpen);
        m_poll.start(1);
    }
    void expect(const char *window, const char *button) { m_queue.append(std::pair(window, button)); }

    QStringList shown;
    std::function<void()> whileOpen;

private:
    void answerOpen()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || w->property("answered").toBool())
            return;
        w->setProperty("answered", true);
        shown << w->objectName();
        if (whileOpen)
            whileOpen();
        const auto [window, button] = m_queue.isEmpty() ? std::pair<const char *, const char *>() : m_queue.takeFirst();
        if (window) {
            EXPECT_EQ(w->objectName(), QString::fromLatin1(window));
        }
        if (button)
            WidgetInput::click(w, button);
        else
            w->close();
    }

    QTimer m_poll;
    QList<std::pair<const char *, const char *>> m_queue;
};

class TheSkyFollowTest : public AlignmentBench
{
protected:
    void SetUp() override
    {
        AlignmentBench::SetUp();
        TheSkyFollow::shared() = {};
        ModuleState &m = Module();
        m.settings.ZELLimit = 540;
        m.settings.AutoReverse = 1;
    }
    void TearDown() override
    {
        TheSkyFollow::SlewWaitLimitMs = 5 * 60 * 1000;
        AlignmentBench::TearDown();
    }

    FakeTheSky::Fovi &camera() { return sky->fovis[QStringLiteral("Camera")]; }

    // The rotator standing at `set` with the indicator on the same angle, and the link's
    // record holding the controller's answer.
    void standAt(int32_t set, int32_t wrap = 0)
    {
        ModuleState::Rotator &r = Module().rotator;
        r.RotatorSetPosition = r.RotatorPosition = set;
        r.RotatorWrap = wrap;
        r.RotatorMovePending = false;
        camera().angle = set / 200.0;
        sim.setRotatorPosition((set % RotatorStepsPerTurn + RotatorStepsPerTurn) % RotatorStepsPerTurn);
        sim.setRotatorWrap(wrap);
        ASSERT_TRUE(RotatorStatus::Ask(*sharedLink()));
        sent();
    }

    // A slew of `ticks` seconds, then one standing tick.
    void slewThenStand(TheSkyFollow &follow, int ticks)
    {
        sky->slewComplete.assign(size_t(ticks), 0);
        for (int i = 0; i <= ticks; ++i)
            follow.Tick();
    }

    void expectFollowStopped(const QString &text)
    {
        ASSERT_EQ(prompts.boxes.size(), 1);
        EXPECT_EQ(prompts.boxes[0].prompt, text);
        EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("VKM ERROR OCCURED"));
        EXPECT_EQ(prompts.boxes[0].icon(), vbconst::vbExclamation);
        EXPECT_FALSE(Module().thesky.TheSky);
        EXPECT_TRUE(Module().thesky.TheSkyChart); // the others stay
        EXPECT_FALSE(host.followTimer);
        EXPECT_FALSE(host.box);
        EXPECT_FALSE(host.utilities);
    }

    TestHost host;
    TheSkyFollow follow{host};
    PromptAnswers answers;
};

const QString CreationFailed =
    QStringLiteral("Unable to creat object '%1'.  Make sure the correct version of TheSky is installed.");

} // namespace

TEST_F(TheSkyFollowTest, ConnectCreatesChecksAndStartsTheFollowInOrder)
{
    TheSkyAutomation::ReleaseObjects();
    Module().settings.CheckTelescope = true;
    sky->telescopeConnected = false;
    sky->localSiderealTime = 5.0;
    sky->telescopeRa = 8.0;
    standAt(2000);
    sky->journal.clear();
    follow.ConnectTheSky(true);
    EXPECT_EQ(sky->journal,
              QStringList({"CreateObject(TheSky6.RascomTheSky)", "CreateObject(TheSky6.MyFOVS)",
                           "CreateObject(TheSky6.StarChart)", "CreateObject(TheSky6.Utils)", "FOVs.Property(Camera,0,0)",
                           "CreateObject(TheSky6.RascomTele)", "Telescope.IsConnected", "Telescope.Connect",
                           "Utils.ComputeLocalSiderealTime", "Telescope.GetRaDec", "Telescope.dRA",
                           "FOVs.Property(Camera,0,1)", "FOVs.Property(Camera,0,3)=0", "FOVs.Property(Camera,0,4)=0",
                           "Chart.Refresh"}));
    EXPECT_EQ(Module().thesky.PierSide, -1);
    EXPECT_TRUE(host.followTimer && host.utilities && host.box);
    EXPECT_TRUE(prompts.boxes.isEmpty());
    EXPECT_TRUE(answers.shown.isEmpty());

    follow.ConnectTheSky(false);
    const ModuleState::TheSky &t = Module().thesky;
    EXPECT_FALSE(t.TheSky || t.TheSkyFOVs || t.TheSkyChart || t.TheSkyUtils || t.TheSkyTelescope);
    EXPECT_FALSE(host.followTimer || host.utilities);
}

TEST_F(TheSkyFollowTest, ConnectStopsAtAMissingObjectOrIndicator)
{
    // failing: a class that cannot be created, "FOVI" for an indicator TheSky does not have.
    struct Case { QString failing; bool visible; bool letFails; QString message; int icon; bool connected; };
    const int excl = vbconst::vbExclamation;
    const Case cases[] = {
        {"TheSky6.RascomTheSky", true, false, CreationFailed.arg("TheSky6.RascomTheSky"), excl, false},
        {"TheSky6.MyFOVS", true, false, CreationFailed.arg("TheSky6.MyFOVS"), excl, false},
        {"TheSky6.StarChart", true, false, CreationFailed.arg("TheSky6.StarChart"), excl, false},
        {"TheSky6.Utils", true, false, CreationFailed.arg("TheSky6.Utils"), excl, false},
        {"TheSky6.RascomTele", true, false, CreationFailed.arg("TheSky6.RascomTele"), excl, false},
        {"FOVI", true, false,
         "The current FOVI is not found the TheSky available FOVIs.  Please choose a new FOVI under Rotator Options.",
         excl, false},
        {"", false, true, "Unable to set FOVI visiblity.", excl, false},
        {"", false, false, "FOVI set visible.", vbconst::vbInformation, true},
    };
    for (const Case &c : cases) {
        TheSkyAutomation::ReleaseObjects();
        sky->clearFailures();
        sky->fovis.clear();
        if (c.failing != QLatin1String("FOVI"))
            camera().visible = c.visible;
        if (c.failing.startsWith(QLatin1String("TheSky6")))
            sky->failCreation(c.failing);
        if (c.letFails)
            sky->failMember(QStringLiteral("FOVs.Property="), VbError(1000, QStringLiteral("Refused")));
        prompts.boxes.clear();
        host = TestHost();
        follow.ConnectTheSky(true);
        ASSERT_EQ(prompts.boxes.size(), 1) << qPrintable(c.message);
        EXPECT_EQ(prompts.boxes[0].prompt, c.message);
        EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("VKM"));
        EXPECT_EQ(prompts.boxes[0].icon(), c.icon);
        EXPECT_EQ(host.box, c.connected) << qPrintable(c.message);
        EXPECT_EQ(host.followTimer, c.connected);
    }
}

TEST_F(TheSkyFollowTest, LaterConnectErrorsReportOnlyForObjectsMadeByThisClick)
{
    const QString unableToConnect = QStringLiteral(
        "Error:  Unable to connect to the sky.  Please make sure The Sky version 5.00.100 or greater is installed, and "
        "that the proper The Sky version is configured in VKM options.");
    // stop: at the call `member`, instead of its failing, the operator unticks or the window closes.
    enum Stop { None, Untick, Close };
    struct Case { bool fresh; const char *member; VbError error; QString box; bool utilities; bool connected; Stop stop = None; };
    const Case cases[] = {
        {true, "Telescope.IsConnected", FakeTheSky::CantCreate(), unableToConnect, false, false},
        {true, "Chart.Refresh", VbError(1000, QStringLiteral("Chart refused")), "Chart refused", true, false},
        {false, "Chart.Refresh", VbError(1000, QStringLiteral("Chart refused")), QString(), true, true},
        {true, "Telescope.IsConnected", VbError(0, QString()), QString(), false, false, Untick}, // nothing kept, nothing started
        {true, "FOVs.Property(Camera,0,0)", VbError(0, QString()), QString(), false, false, Close},
        {true, "CreateObject(TheSky6.RascomTele)", VbError(0, QString()), QString(), false, false, Untick},
    };
    for (const Case &c : cases) {
        if (c.fresh)
            TheSkyAutomation::ReleaseObjects();
        sky->clearFailures();
        if (c.stop == None)
            sky->failMember(QString::fromLatin1(c.member), c.error);
        prompts.boxes.clear();
        host = TestHost();
        sky->journal.clear();
        sky->onCall = [&](const QString &entry) {
            if (c.stop == None || !entry.startsWith(QLatin1String(c.member)))
                return;
            sky->onCall = nullptr;
            host.box = c.stop == Close; // the operator's untick clears the box before its click
            host.closing = c.stop == Close;
            if (c.stop == Untick)
                follow.ConnectTheSky(false);
        };
        follow.ConnectTheSky(true);
        sky->onCall = nullptr;
        if (c.box.isEmpty()) {
            EXPECT_TRUE(prompts.boxes.isEmpty());
        } else {
            ASSERT_EQ(prompts.boxes.size(), 1);
            EXPECT_EQ(prompts.boxes[0].prompt, c.box);
            EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("VKM ERROR OCCURED"));
        }
        EXPECT_EQ(host.utilities, c.utilities) << c.member;
        EXPECT_EQ(host.box, c.connected || c.stop == Close);
        EXPECT_EQ(host.followTimer, c.connected);
        if (c.stop != None) {
            const ModuleState::TheSky &t = Module().thesky;
            EXPECT_FALSE(t.TheSky || t.TheSkyFOVs || t.TheSkyChart || t.TheSkyUtils || t.TheSkyTelescope) << c.member;
            EXPECT_TRUE(sky->journal.last().startsWith(QLatin1String(c.member))) << qPrintable(sky->journal.join(' '));
        }
    }
}

TEST_F(TheSkyFollowTest, PierSideFromTheFoldedHourAngle)
{
    struct Case { double lst, ra; const char *button; int16_t side; };
    const Case cases[] = {
        {5.0, 5.5, "cmdWest", -1},  // within 0.67 h: asked
        {5.0, 6.0, nullptr, -1},    // east of the meridian
        {6.0, 5.0, nullptr, 1},
        {23.9, 0.2, "cmdEast", 1},  // 0.3 h apart across 0 h: asked
        {1.0, 20.0, nullptr, 1},    // 5 h west, not 19 h east
        {20.0, 1.0, nullptr, -1},
    };
    Module().settings.CheckTelescope = true;
    standAt(2000);
    for (const Case &c : cases) {
        sky->localSiderealTime = c.lst;
        sky->telescopeRa = c.ra;
        answers.shown.clear();
        if (c.button)
            answers.expect("frmZELEastWest", c.button);
        follow.ConnectTheSky(true);
        EXPECT_EQ(Module().thesky.PierSide, c.side) << c.lst << " " << c.ra;
        EXPECT_EQ(answers.shown.size(), c.button ? 1 : 0) << c.lst << " " << c.ra;
    }
    EXPECT_TRUE(prompts.boxes.isEmpty());
}

TEST_F(TheSkyFollowTest, ConnectWarnsWhenAnglesOrPierSidesDisagree)
{
    struct Case { double angle; float offset; int32_t set; int16_t synched; bool warned; };
    const Case cases[] = {
        {10.5, 0, 2000, 0, true},
        {10.0, 0, 2002, 0, false},  // 2 steps: agree
        {10.0, 0, 2003, 0, true},
        {359.5, 0, -100, 0, false}, // the same angle a turn apart
        {5.0, 10, 71000, 0, false}, // offset beyond the angle
        {10.0, 0, 2000, -1, false}, // synchronised on this side
        {10.0, 0, 2000, 1, true},   // synchronised on the other side
    };
    ModuleState &m = Module();
    m.settings.CheckTelescope = true;
    sim.setValue(QStringLiteral(":rrp"), QStringLiteral("9")); // the position recorded, as the controller reports
    sky->localSiderealTime = 5.0;
    sky->telescopeRa = 8.0; // west side
    for (const Case &c : cases) {
        m.thesky.ZELOffset = c.offset;
        standAt(c.set);
        camera().angle = c.angle;
        m.settings.ZELSynchedToTelescope = c.synched;
        prompts.boxes.clear();
        answers.shown.clear();
        follow.ConnectTheSky(true); // the dialog is closed unanswered
        EXPECT_EQ(answers.shown, c.warned ? QStringList{"frmSynchTS"} : QStringList()) << c.angle << " " << c.set;
        ASSERT_EQ(prompts.boxes.size(), c.warned ? 1 : 0);
        if (c.warned) {
            EXPECT_EQ(prompts.boxes[0].prompt,
                      "Warning:  TheSky and the ZEL angles are different.  You must set a synchronization option.");
        }
        EXPECT_TRUE(host.followTimer);
    }
}

TEST_F(TheSkyFollowTest, TickTurnsTheRotatorToTheIndicatorInBothWindows)
{
    struct Case { double angle; float offset; int32_t set, wrap; int16_t autoReverse; const char *sent; bool warned; int32_t limit = 540; bool untick = false; };
    const Case cases[] = {
        {10.5, 0, 2000, 0, 1, "j100 ", false},
        {359.5, 0, 0, 0, 1, "j-100 ", false},
        {359.5, 0, -100, 0, 1, "", false},   // a turn apart: agree
        {10.52, 0, 2100, 0, 1, "", false},   // the same twentieth of a degree
        {350.0, 0, 0, 0, 1, "j-2000 ", false},  // the short way
        {60.0, 0, 2000, 100000, 1, "j-62000 ", false},
        {60.0, 0, 2000, 100000, 0, "", true},
        {5.0, 10, 0, 0, 1, "j-1000 ", false},   // 355 degrees
        {5.0, 10, -1000, 0, 1, "", false},  // and then no turn for nothing
        {160.0, 0, 0, 0, 1, "", true, 100},     // past the limit either way round
        {10.5, 0, 2000, 0, 1, "", false, 540, true}, // the operator stops the follow during the angle's read
    };
    for (Window window : {Window::Main, Window::Console})
        for (const Case &c : cases) {
            ModuleState &m = Module();
            if (!m.thesky.TheSky) {
                ASSERT_TRUE(TheSkyAutomation::CreateChartObjects());
            }
            sky->onCall = [&](const QString &entry) {
                if (c.untick && entry == QLatin1String("FOVs.Property(Camera,0,1)"))
                    follow.ConnectTheSky(false);
            };
            host = TestHost();
            host.window = window;
            m.settings.AutoReverse = c.autoReverse;
            m.settings.ZELLimit = c.limit;
            m.thesky.ZELOffset = c.offset;
            standAt(c.set, c.wrap);
            camera().angle = c.angle;
            prompts.boxes.clear();
            follow.Tick();
            EXPECT_EQ(sent(), QString::fromLatin1(c.sent)) << c.angle << " " << c.set;
            const bool differ = *c.sent || c.warned;
            EXPECT_EQ(host.holds, differ ? 1 : 0) << c.angle << " " << c.set;
            ASSERT_EQ(prompts.boxes.size(), c.warned ? 1 : 0);
            if (c.warned) {
                EXPECT_EQ(prompts.boxes[0].prompt, "Warning:  Can not slew past wrap limit.");
            }
        }
    sky->onCall = nullptr;
}

TEST_F(TheSkyFollowTest, HeldReportIsNotWrittenBackToTheIndicator)
{
    standAt(2000);
    camera().angle = 10.5;
    follow.Tick();
    EXPECT_EQ(sent(), QStringLiteral("j100 "));
    sky->journal.clear();
    host.reportTarget(2100); // within the hold
    EXPECT_TRUE(sky->calls(QStringLiteral("FOVs")).isEmpty());
    EXPECT_EQ(camera().angle, 10.5);

    host.TheSkyUpdateHold = false; // the window's timer, 2 s on
    host.reportTarget(2200);
    EXPECT_EQ(camera().angle, 10.5); // written from the event loop, once the delivery is over
    Wait::DoEvents();
    EXPECT_EQ(camera().angle, 11.0);
    EXPECT_EQ(host.moveWatchRestarts, 1);
}

TEST_F(TheSkyFollowTest, PromptedTurnOrPutBack)
{
    struct Case { const char *button; const char *sent; double angleAfter; bool pending; };
    const Case cases[] = {
        {"Command1", "j100 ", 12.5, false},
        {"Command2", "", 12.0, true}, // back to the rotator, with the offset
        {nullptr, "", 12.0, true},    // closed unanswered: put back too
    };
    ModuleState &m = Module();
    m.settings.PromptTheSky = true;
    m.thesky.ZELOffset = 2;
    for (const Case &c : cases) {
        standAt(2000);
        camera().angle = 12.5;
        host = TestHost();
        answers.expect("frmTheSkyMove", c.button);
        follow.Tick();
        EXPECT_EQ(sent(), QString::fromLatin1(c.sent));
        EXPECT_EQ(camera().angle, c.angleAfter);
        EXPECT_EQ(m.rotator.RotatorMovePending, c.pending);
        EXPECT_EQ(host.moveWatchRestarts, c.pending ? 1 : 0);
        EXPECT_EQ(host.holds, 1);
    }
}

TEST_F(TheSkyFollowTest, NoTickRunsWhileAPromptIsOpen)
{
    Module().settings.PromptTheSky = true;
    standAt(2000);
    camera().angle = 10.5;
    TestHost consoleHost;
    consoleHost.window = Window::Console;
    TheSkyFollow console(consoleHost);
    answers.whileOpen = [&] {
        const qsizetype before = sky->journal.size();
        follow.Tick();
        console.Tick();
        EXPECT_EQ(sky->journal.size(), before);
    };
    answers.expect("frmTheSkyMove", "Command1");
    follow.Tick();
    EXPECT_EQ(answers.shown, QStringList{"frmTheSkyMove"});
    EXPECT_EQ(sent(), QStringLiteral("j100 "));
}

// A flip that cannot reach the controller, or whose later step fails, records nothing (pier
// side, registry, set position, TheSky) and says so once.
TEST_F(TheSkyFollowTest, MeridianFlipAfterALongSlew)
{
    enum Stop { None, Closed, Upload, SkyFails, Sends1, Sends2, ClientMove, Unticked, WindowCloses };
    struct Case {
        Window window; double lst, ra; int16_t side; const char *button; int32_t set, wrap;
        const char *sent; double angle; int32_t setAfter; int16_t sideAfter; Stop stop = None; QString message = {};
    };
    const QString relabelled = QStringLiteral("  The ZEL position counter had already been relabelled by 180 degrees "
                                              "(p%1); nothing was recorded, so TheSky and the ZEL are not synchronised.");
    const QString notSent = QStringLiteral("Error:  The rotator's half turn was not sent: the communications port did not take it.");
    const Case cases[] = {
        {Window::Main, 5.0, 5.5, 1, "cmdFlip", 40000, 20000, "p4000 j-36000 ", 200, 40000, -1},
        {Window::Main, 5.0, 5.5, 1, "cmdFlip", 36000, 0, "p72000 j36000 ", 180, 36000, -1},
        {Window::Main, 5.0, 5.5, 1, "cmdRotateTS", 10000, 0, "p46000 ", 230, 46000, -1},
        {Window::Main, 5.0, 5.5, 1, "cmdDoNothing", 10000, 0, "", 50, 10000, 1},
        {Window::Main, 23.95, 0.2, 1, "cmdFlip", 40000, 0, "p4000 j36000 ", 200, 40000, -1}, // across 0 h
        {Window::Main, 0.1, 23.9, -1, "cmdFlip", 40000, 0, "p4000 j36000 ", 200, 40000, 1},
        {Window::Console, 5.0, 5.5, 1, "cmdFlip", 40000, 20000, "p4000 q2 q35998 ", 200, 40000, -1},
        {Window::Console, 5.5, 5.0, -1, "cmdFlip", 40000, 0, "p4000 q-2 q-35998 ", 200, 40000, 1},
        {Window::Console, 5.0, 5.5, 1, "cmdRotateTS", 10000, 0, "p46000 ", 230, 46000, -1},
        {Window::Console, 5.0, 5.5, 1, "cmdFlip", 40000, 100000, "", 200, 40000, 1, None,  // past the wrap limit
         "Warning:  Can not slew past wrap limit."},
        {Window::Main, 5.0, 5.5, 1, "cmdFlip", 40000, 0, "", 200, 40000, 1, Closed, "Error:  The communications port is not open."},
        {Window::Console, 5.0, 5.5, 1, "cmdRotateTS", 10000, 0, "", 50, 10000, 1, Upload, "Error:  A firmware upload is in progress."},
        {Window::Main, 5.0, 5.5, 1, "cmdRotateTS", 10000, 0, "p46000 ", 50, 10000, 1, SkyFails,
         "Error:  TheSky did not take the camera angle: No FOVI." + relabelled.arg(46000)},
        {Window::Main, 5.0, 5.5, 1, "cmdFlip", 40000, 0, "p4000 ", 200, 40000, 1, Sends1, notSent + relabelled.arg(4000)},
        {Window::Console, 5.0, 5.5, 1, "cmdFlip", 40000, 0, "p4000 q2 ", 200, 40000, 1, Sends2, notSent + relabelled.arg(4000)},
        {Window::Console, 5.0, 5.5, 1, "cmdFlip", 40000, 40000, "p4000 q2 j40000 ", 200, 40000, 1, ClientMove,
         "Warning:  Can not slew past wrap limit." + relabelled.arg(4000)},
        {Window::Console, 5.0, 5.5, 1, "cmdFlip", 40000, 0, "p4000 q2 ", 200, 40000, 1, WindowCloses,
         "Error:  The flip stopped: the window closed." + relabelled.arg(4000)},
        // The operator stops the follow while the prompt is open: nothing goes, no box.
        {Window::Main, 5.0, 5.5, 1, "cmdFlip", 40000, 0, "", 200, 40000, 1, Unticked},
    };
    ModuleState &m = Module();
    m.settings.CheckTelescope = true;
    for (const Case &c : cases) {
        host = TestHost();
        host.window = c.window;
        standAt(c.set, c.wrap);
        sky->localSiderealTime = c.lst;
        sky->telescopeRa = c.ra;
        m.thesky.PierSide = c.side;
        m.settings.ZELSynchedToTelescope = 9;
        DriverKey::store(QStringLiteral("ZELSynchedToTelescope"), REG_DWORD, 9);
        answers.shown.clear();
        answers.expect("frmZELPromptFlip", c.button);
        host.sendsLeft = c.stop == Sends1 ? 1 : c.stop == Sends2 ? 2 : -1;
        host.clientMove = c.stop == ClientMove ? QStringLiteral("j40000 ") : QString();
        host.closeOnQ = c.stop == WindowCloses;
        answers.whileOpen = c.stop == Unticked ? std::function<void()>([this] { follow.ConnectTheSky(false); }) : nullptr;
        if (c.stop == Closed)
            sharedLink()->setConnected(false);
        m.tools.FlashInProgress = c.stop == Upload;
        if (c.stop == SkyFails)
            sky->failMember(QStringLiteral("FOVs.Property="), VbError(1000, QStringLiteral("No FOVI")));
        slewThenStand(follow, 11);
        m.tools.FlashInProgress = false;
        if (c.stop == Closed)
            sharedLink()->setConnected(true);
        sky->clearFailures();
        EXPECT_EQ(prompts.takePrompts(), c.message.isEmpty() ? QStringList() : QStringList{c.message}) << c.sent;
        EXPECT_EQ(answers.shown, QStringList{"frmZELPromptFlip"}) << c.sent;
        // After a flip's commands the same tick's follow asks where the rotator is now.
        const bool ended = c.stop == WindowCloses || c.stop == Unticked;
        EXPECT_EQ(sent(), QString::fromLatin1(c.sent) + QLatin1String(*c.sent && !ended ? " R " : ""));
        EXPECT_EQ(camera().angle, c.angle) << c.sent;
        EXPECT_EQ(m.rotator.RotatorSetPosition, c.setAfter) << c.sent;
        EXPECT_EQ(m.thesky.PierSide, c.sideAfter) << c.sent;
        const int recorded = *c.sent && c.stop == None ? c.sideAfter : 9;
        EXPECT_EQ(m.settings.ZELSynchedToTelescope, recorded);
        EXPECT_EQ(DriverKey::stored(QStringLiteral("ZELSynchedToTelescope")).toInt(), recorded);
        EXPECT_EQ(TheSkyFollow::shared().SlewTickCount, 0);
    }
}

// The follow's own turn with the link not taking commands: refused once, the operator not
// asked, nothing changed; with the port open again the turn goes.
TEST_F(TheSkyFollowTest, TurnThatCannotBeSentIsRefusedOnceWithoutAsking)
{
    Module().settings.PromptTheSky = true;
    standAt(2000);
    camera().angle = 10.5;
    sharedLink()->setConnected(false);
    for (int tick = 0; tick < 3; ++tick)
        follow.Tick();
    EXPECT_EQ(prompts.takePrompts(), QStringList{QStringLiteral("Error:  The communications port is not open.")});
    EXPECT_TRUE(answers.shown.isEmpty());
    EXPECT_EQ(camera().angle, 10.5);
    EXPECT_EQ(host.holds, 0);
    sharedLink()->setConnected(true);
    follow.Tick();
    EXPECT_FALSE(TheSkyFollow::shared().TurnRefused);
}

TEST_F(TheSkyFollowTest, DeclinedFlipIsAskedAgainOnlyAfterTheNextLongSlew)
{
    ModuleState &m = Module();
    m.settings.CheckTelescope = true;
    standAt(10000);
    sky->localSiderealTime = 5.0;
    sky->telescopeRa = 5.5;
    m.thesky.PierSide = 1;
    answers.expect("frmZELPromptFlip", "cmdDoNothing");
    slewThenStand(follow, 11);
    slewThenStand(follow, 10); // too short
    EXPECT_EQ(answers.shown.size(), 1);
    answers.expect("frmZELPromptFlip", "cmdDoNothing");
    slewThenStand(follow, 1); // 11 slewing ticks in all
    EXPECT_EQ(answers.shown.size(), 2);
    EXPECT_EQ(sent(), QString());
}

TEST_F(TheSkyFollowTest, OffsetSlewJogsAndRecentres)
{
    ModuleState &m = Module();
    m.settings.EnableSlew = 1;
    standAt(2000);
    camera().offsetEastWest = -2;
    camera().offsetNorthSouth = 3;
    sky->screenRa = 10;
    sky->screenDec = 20;
    sky->slewComplete = {0, 1, 0, 1};
    answers.expect("frmPromptMoveTelescope", "cmdOK");
    follow.Tick();
    EXPECT_EQ(sky->calls(QStringLiteral("Telescope")),
              QStringList({"Telescope.Asynchronous=0", "Telescope.Jog(3,South)", "Telescope.IsSlewComplete",
                           "Telescope.IsSlewComplete", "Telescope.Jog(2,East)", "Telescope.IsSlewComplete",
                           "Telescope.IsSlewComplete"}));
    EXPECT_DOUBLE_EQ(sky->screenRa, 10 + 2.0 / 900);
    EXPECT_DOUBLE_EQ(sky->screenDec, 19.95);
    EXPECT_EQ(camera().offsetEastWest, 0);
    EXPECT_EQ(camera().offsetNorthSouth, 0);

    // Declined: offered again only once an offset moves by more than 1/120 arcminute.
    camera().offsetEastWest = 1;
    answers.expect("frmPromptMoveTelescope", "cmdCancel");
    follow.Tick();
    camera().offsetEastWest = 1.005;
    follow.Tick();
    EXPECT_EQ(answers.shown.size(), 2);
    camera().offsetEastWest = 1.01;
    answers.expect("frmPromptMoveTelescope", "cmdCancel");
    follow.Tick();
    EXPECT_EQ(answers.shown.size(), 3);
    EXPECT_EQ(sky->calls(QStringLiteral("Telescope.Jog")).size(), 2);
}

TEST_F(TheSkyFollowTest, TickErrorsStopTheFollow)
{
    struct Case { std::function<void()> arrange; QString text; };
    const Case cases[] = {
        {[this] { sky->failMember(QStringLiteral("Chart.DocumentProperty"), VbError(1000, QStringLiteral("Chart gone"))); },
         QStringLiteral("Chart gone")},
        {[this] {
             Module().settings.EnableSlew = 1;
             camera().offsetNorthSouth = 3;
             sky->slewCompleteAfter = 0; // never stands
             TheSkyFollow::SlewWaitLimitMs = 100;
             answers.expect("frmPromptMoveTelescope", "cmdOK");
         },
         QStringLiteral("Error:  TheSky did not report the end of the telescope slew.")},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(TheSkyAutomation::CreateChartObjects());
        sky->clearFailures();
        standAt(2000);
        host = TestHost();
        host.followTimer = host.utilities = true;
        prompts.boxes.clear();
        c.arrange();
        follow.Tick();
        expectFollowStopped(c.text);
        sky->journal.clear();
        follow.Tick(); // nothing without TheSky
        EXPECT_TRUE(sky->journal.isEmpty());
    }
}

TEST_F(TheSkyFollowTest, TickRestsWhileAMoveIsPendingOrTheUtilitiesAreOpen)
{
    ModuleState &m = Module();
    standAt(2000);
    camera().angle = 10.5;
    m.rotator.RotatorMovePending = true;
    follow.Tick();
    m.rotator.RotatorMovePending = false;
    m.thesky.UtilitiesFormOpen = true;
    host.window = Window::Console;
    follow.Tick();
    EXPECT_TRUE(sky->journal.isEmpty());
    EXPECT_EQ(sent(), QString());
}
