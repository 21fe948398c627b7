// The Rotator automation class against the simulated controller: in process through its
// late-bound members, and end to end over D-Bus.
#include "drivers/DriverErrors.h"
#include "drivers/Rotator.h"
#include "link/DriverSettings.h"
#include "link/RotatorStatus.h"
#include "link/Serial.h"
#include "platform/AutomationServer.h"
#include "platform/Clock.h"
#include "platform/ClockTimer.h"
#include "platform/CreateObject.h"
#include "platform/Wait.h"
#include "support/ControllerBench.h"
#include "support/DiskFullAt.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <optional>

namespace {

class RotatorTest : public ControllerBench
{
protected:
    void SetUp() override
    {
        ControllerBench::SetUp();
        // The Rotator opens the port on the number the link holds: make it port 1.
        if (auto link = sharedLink(); link && !link->Connected())
            link->setPort(1);
    }

    // Links through the automation member, as a client would, and forgets the traffic.
    void linkUp(Dispatch &rotator)
    {
        rotator.Let(QStringLiteral("Link"), Variant(true));
        ASSERT_TRUE(rotator.Get(QStringLiteral("Link")).toBoolean());
        Wait::Until(300, [] { return false; }); // let the answer to "R " arrive
        sim.clearReceived();
    }

    // The commands sent so far, once `expected` has arrived (or the deadline passed).
    QString receivedAfter(const QString &expected)
    {
        sim.waitForReceived(expected, 2000);
        Wait::For(30); // anything sent after it shows too
        return sim.received();
    }

    static void move(Dispatch &rotator, double degrees)
    {
        rotator.Call(QStringLiteral("Move"), {Variant(degrees)});
    }

    // The moves sent once `expected` has arrived, without the status queries before them.
    QString movesAfter(const QString &expected) { return receivedAfter(expected).remove(QStringLiteral(" R ")); }
};

} // namespace

// --- creation and the link ---

TEST_F(RotatorTest, CreationOpensTheClosedPortAndSendsNothing)
{
    ASSERT_FALSE(sharedLink()->Connected());
    Rotator rotator;
    EXPECT_TRUE(sharedLink()->Connected());
    EXPECT_EQ(sharedLink()->Port(), 1);
    EXPECT_FALSE(rotator.Get(QStringLiteral("Link")).toBoolean());
    Wait::For(50);
    EXPECT_TRUE(sim.received().isEmpty());
}

TEST_F(RotatorTest, CreationOpensOnTheLinksNumberNotThePortSetting)
{
    ControllerSimulator second;
    qputenv("VKM_COM2", second.devicePath().toLocal8Bit());
    {
        Rotator first; // creates the driver key: port 1
    }
    HKEY key = 0;
    ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, DriverKeyPath, &key), 0);
    SetRegistryValue(key, QStringLiteral("PORT"), REG_DWORD, int32_t(2));
    RegCloseKey(key);
    sharedLink()->setConnected(false);

    Rotator rotator; // reads port 2 into PortNumber, but opens the link as it stands
    ASSERT_EQ(Module().link.PortNumber, 2);
    EXPECT_TRUE(sharedLink()->Connected());
    EXPECT_EQ(sharedLink()->Port(), 1);

    rotator.Let(QStringLiteral("Link"), Variant(true)); // Link keeps an open port
    EXPECT_EQ(sharedLink()->Port(), 1);
    EXPECT_EQ(receivedAfter(QStringLiteral("! H R ")), QStringLiteral("! H R "));

    rotator.Let(QStringLiteral("Connected"), Variant(true)); // Connected reopens on PortNumber
    EXPECT_EQ(sharedLink()->Port(), 2);
    EXPECT_TRUE(second.waitForReceived(QStringLiteral("! H R "), 2000));
    EXPECT_EQ(second.received(), QStringLiteral("! H R "));
    sharedLink()->setConnected(false);
}

TEST_F(RotatorTest, LinkAndConnectedSendHThenRAfterTheHandshake)
{
    Rotator rotator;
    rotator.Let(QStringLiteral("link"), Variant(QStringLiteral("yes"))); // anything but False links
    EXPECT_TRUE(rotator.Get(QStringLiteral("LINK")).toBoolean());
    EXPECT_TRUE(rotator.Get(QStringLiteral("Connected")).toBoolean());
    EXPECT_EQ(receivedAfter(QStringLiteral("! H R ")), QStringLiteral("! H R "));

    sim.clearReceived();
    Rotator other;
    other.Let(QStringLiteral("Connected"), Variant(true));
    EXPECT_TRUE(other.Get(QStringLiteral("Connected")).toBoolean());
    EXPECT_EQ(receivedAfter(QStringLiteral("! H R ")), QStringLiteral("! H R "));
}

TEST_F(RotatorTest, ASilentControllerGetsSevenTriesAQuarterSecondApartThenTheRefusal)
{
    sim.setSilent(true);
    Rotator rotator;
    const int64_t start = Clock::Now();
    expectRefusal([&] { rotator.Let(QStringLiteral("Link"), Variant(true)); }, DriverErrors::LinkFailed,
                  "No response from VKM", "");
    EXPECT_GE(Clock::Now() - start, 7 * 250);
    EXPECT_LT(Clock::Now() - start, 7 * 250 + 500);
    EXPECT_EQ(sim.received(), QStringLiteral("! ! ! ! ! ! ! "));
    EXPECT_FALSE(rotator.Get(QStringLiteral("Link")).toBoolean());
    EXPECT_TRUE(sharedLink()->Connected());
}

TEST_F(RotatorTest, UnlinkingClosesThePortForEveryone)
{
    Rotator a, b;
    linkUp(a);
    b.Let(QStringLiteral("Connected"), Variant(true));
    a.Let(QStringLiteral("Link"), Variant(false));
    EXPECT_FALSE(sharedLink()->Connected());
    EXPECT_FALSE(a.Get(QStringLiteral("Link")).toBoolean());
    // The other holder reads the closed port as unlinked, and its stop is refused, not lost.
    EXPECT_FALSE(b.Get(QStringLiteral("Connected")).toBoolean());
    EXPECT_FALSE(b.Get(QStringLiteral("Link")).toBoolean());
    for (Rotator *holder : {&a, &b})
        expectRefusal([&] { holder->Call(QStringLiteral("Halt")); }, DriverErrors::NotLinked, "Rotator not linked",
                      "ORVA");
}

// --- relative and absolute moves ---

TEST_F(RotatorTest, MoveFoldsIntoOneTurnAndTakesTheShortWay)
{
    Rotator rotator;
    linkUp(rotator);
    sim.setRotatorSpeed(0);
    rotator.Let(QStringLiteral("WrapLimit"), Variant(int32_t(540)));
    ASSERT_EQ(Module().rotator.RotatorWrap, 0);
    const struct
    {
        double degrees;
        const char *sent;
    } cases[] = {
        {190, "j-34000 "},  {-190, "j-38000 "}, {360, "j0 "},      {0, "j0 "},       {180, "j-36000 "},
        {-180, "j-36000 "}, {0.004, "j0 "},     {-0.004, "j-1 "},  {720.5, "j100 "}, {179.995, "j35999 "},
        {-360, "j-72000 "}, {-400, "j-8000 "},  {1e6, "j-16000 "},
    };
    // In the usual order, then with the key codes first: each move goes out at once.
    for (const QStringList &order : {QStringList(), QStringList({":wr", ":rs", ":rt", ":rh", ":rrp"})}) {
        sim.setAnswer('R', {0, order});
        for (const auto &c : cases) {
            rotator.Call(QStringLiteral("Halt")); // the stalled motor: nothing of the last move is to go
            sim.clearReceived();
            const int64_t start = Clock::Now();
            move(rotator, c.degrees);
            EXPECT_LT(Clock::Now() - start, 1000) << c.degrees << " " << qPrintable(order.join(' '));
            EXPECT_EQ(movesAfter(QString::fromLatin1(c.sent)), QString::fromLatin1(c.sent)) << c.degrees;
        }
    }
}

// The controller's wrap, asked for before each move; a move the wrap rule refuses sends nothing.
TEST_F(RotatorTest, MovesObeyTheWrapRuleOnTheControllersWrap)
{
    Rotator rotator;
    linkUp(rotator);
    sim.setRotatorSpeed(0);
    move(rotator, 0); // on the wrap the link's answer told; then none is reported
    Wait::For(30);
    bool asks = true; // a move was sent since the wrap was last asked for
    const struct
    {
        int32_t limit; // degrees
        const char *wrap;
        double degrees;
        const char *sent; // nullptr: refused
        const char *member = "Move";
    } cases[] = { // the rule itself is RotatorSteps' table; here each move's way to it
        {540, "100000", 45, "j-63000 "},   // 109000 beyond 108000: the other way
        {540, "99000", 45, "j9000 "},      // exactly 108000: the direct way
        {540, "-107000", -10, "j70000 "},  // -109000 beyond, negative: plus a turn
        {540, "110000", 0, "j0 "},         // already beyond: a step of 0 winds no farther
        {540, "100000", 190, "j-34000 "},  // folded to -34000: 66000 is within
        {540, "-100000", -190, "j34000 "}, // -138000 beyond: -38000 + 72000
        {360, "100000", -10, "j-2000 "},   // past the limit but unwinding
        {100, "0", -150, nullptr},         // 30000 or 42000 against 20000
        {540, "100000", 90, "j-54000 ", "MoveAbsolute"}, {100, "0", 150, nullptr, "MoveAbsolute"},
        {540, "100000", -500, " j-100000 ", "Unwrap"},   {100, "30000", 60, nullptr, "Unwrap"}, // never the other way
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.member) + " " + c.wrap + " " + std::to_string(c.degrees));
        rotator.Let(QStringLiteral("WrapLimit"), Variant(c.limit));
        sim.setRotatorWrap(QByteArray(c.wrap).toInt());
        sim.setRotatorPosition(0);
        if (!asks) // a refusal sent no move: a status report that another reader asked for tells it
            report(QByteArray(":wr ") + c.wrap + " :rs 0 :rt 0 ");
        sim.clearReceived();
        const auto call = [&] { rotator.Call(QString::fromLatin1(c.member), {Variant(c.degrees)}); };
        // MoveAbsolute asks for the angle every time.
        const bool queried = asks || std::string(c.member) == "MoveAbsolute";
        const QString expected = (queried ? QStringLiteral(" R ") : QString()) + QString::fromLatin1(c.sent);
        if ((asks = c.sent)) {
            call();
            EXPECT_EQ(receivedAfter(expected), expected);
        } else {
            expectRefusal(call, DriverErrors::InvalidOperation, "Can not turn past wrap limit.", "ORVA");
            Wait::For(30);
            EXPECT_EQ(sim.received(), expected);
        }
    }
}

TEST_F(RotatorTest, MoveSetsTheTargetFromTheFoldedStepsAndMovingAtOnce)
{
    Rotator rotator;
    linkUp(rotator);
    sim.setRotatorSpeed(0);
    rotator.Let(QStringLiteral("WrapLimit"), Variant(int32_t(540)));
    sim.setRotatorPosition(2000); // the rotator stands at 10 degrees
    ASSERT_DOUBLE_EQ(rotator.Get(QStringLiteral("Position")).toDouble(), 10.0);
    sim.setRotatorWrap(100000);
    report(":wr 100000 ");
    // The getters after a move ask for the controller's own target.
    move(rotator, 45); // sent the other way round, the target is still 10 + 45
    EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("SetPosition")).toDouble(), 55.0);
    EXPECT_TRUE(rotator.Get(QStringLiteral("IsMoving")).toBoolean());
    move(rotator, 190); // folded to -170: the controller reports its target within one turn
    EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("SetPosition")).toDouble(), 200.0);
}

TEST_F(RotatorTest, MoveAbsoluteMovesByTheDifferenceAndTargetsTheFoldedAngle)
{
    Rotator rotator;
    linkUp(rotator);
    rotator.Let(QStringLiteral("WrapLimit"), Variant(int32_t(540)));
    sim.setRotatorSpeed(0);
    sim.setRotatorPosition(2000);
    ASSERT_DOUBLE_EQ(rotator.Get(QStringLiteral("Position")).toDouble(), 10.0);
    sim.clearReceived();
    rotator.Call(QStringLiteral("MoveAbsolute"), {Variant(400.0)}); // 78000 steps fold to 6000
    EXPECT_EQ(receivedAfter(QStringLiteral(" R j6000 ")), QStringLiteral(" R j6000 "));
    // The controller's target.
    EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("SetPosition")).toDouble(), 40.0);

    sim.clearReceived();
    // After a move the angle is read again first.
    rotator.Let(QStringLiteral("PositionAngle"), Variant(10.0025)); // Int(0.4999...) = 0 steps
    EXPECT_EQ(receivedAfter(QStringLiteral(" R j0 ")), QStringLiteral(" R j0 "));
    // The target is CLng(2000.5) = 2000: halves to even.
    EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("SetPosition")).toDouble(), 10.0);
}

TEST_F(RotatorTest, MovesRefuseWhileThePortIsClosedAndSendNothing)
{
    Rotator rotator;
    sharedLink()->setConnected(false);
    const auto notLinked = [&](const std::function<void()> &call) {
        expectRefusal(call, DriverErrors::NotLinked, "Rotator not linked", "ORVA");
    };
    notLinked([&] { move(rotator, 10); });
    notLinked([&] { rotator.Call(QStringLiteral("MoveAbsolute"), {Variant(10.0)}); });
    notLinked([&] { rotator.Call(QStringLiteral("GoHome")); });
    notLinked([&] { rotator.Call(QStringLiteral("FindHome")); });
    notLinked([&] { rotator.Let(QStringLiteral("PositionAngle"), Variant(10.0)); });
    sharedLink()->setConnected(true);
    Wait::For(50);
    EXPECT_TRUE(sim.received().isEmpty());
}

// A move needs the controller's own wrap (and MoveAbsolute its angle with the wrap and target
// of its answer): a silent controller, or one whose answer brings the angle alone, leaves
// nothing sent but the query.
TEST_F(RotatorTest, MovesRefuseWithoutTheControllersReports)
{
    for (const bool angleAlone : {false, true}) {
        for (const char *member : {"Move", "MoveAbsolute", "PositionAngle", "Unwrap"}) {
            SCOPED_TRACE(angleAlone);
            Rotator rotator;
            sim.setSilent(!angleAlone);
            sim.setAnswer('R', {0, angleAlone ? QStringList{":rt"} : QStringList()});
            sim.clearReceived();
            const QString name = QString::fromLatin1(member);
            expectRefusal([&] { name == QLatin1String("PositionAngle") ? rotator.Let(name, Variant(90.0)) : void(rotator.Call(name, {Variant(90.0)})); },
                          DriverErrors::Unavailable, "No response from rotator", "ORVA");
            Wait::For(30);
            EXPECT_EQ(sim.received(), QStringLiteral(" R ")) << member;
            sharedLink()->setConnected(false); // the next object opens it afresh: no answer outstanding
        }
    }
}

// Every object decides on the link's one record: another object's move, a zeroed wrap and
// lost replies count whoever caused them.
TEST_F(RotatorTest, MovesDecideOnWhatAnyObjectSentSince)
{
    Rotator x, y;
    linkUp(x);
    x.Let(QStringLiteral("WrapLimit"), Variant(int32_t(540)));
    sim.setRotatorSpeed(0); // the moves stay under way
    EXPECT_DOUBLE_EQ(x.Get(QStringLiteral("Wrap")).toDouble(), 0.0);
    sim.clearReceived();
    move(y, -300);
    move(x, -300); // -600 from where y's move goes: the other way round
    EXPECT_EQ(receivedAfter(QStringLiteral("j12000 ")), QStringLiteral("j-60000  R j12000 "));

    sim.setRotatorPosition(0);
    sim.setRotatorWrap(-102000);
    EXPECT_DOUBLE_EQ(x.Get(QStringLiteral("Wrap")).toDouble(), -510.0);
    sim.clearReceived();
    y.Call(QStringLiteral("ZeroWrap"));
    move(x, -100);
    EXPECT_EQ(receivedAfter(QStringLiteral("j-20000 ")), QStringLiteral(" i  R j-20000 "));

    // y's read answered late with the wrap from before x's moves, x moving at 0.3 and 1.15 s:
    // no move that leaves winds the cable past the limit (95000 + 2 x 7000 against 108000).
    sim.setRotatorSpeed(400);
    for (const int lateMs : {900, 1300}) {
        SCOPED_TRACE(lateMs);
        sim.setRotatorPosition(0);
        sim.setRotatorWrap(95000);
        ASSERT_DOUBLE_EQ(x.Get(QStringLiteral("Wrap")).toDouble(), 475.0);
        Wait::For(520);
        QStringList moves;
        QObject watch;
        QObject::connect(&sim, &ControllerSimulator::commandReceived, &watch, [&](const QString &command) {
            if (command == QLatin1String("R"))
                sim.setAnswer('R', {0, {}}); // only y's answer is late
            if (command.startsWith('j')) {
                moves << command;
                EXPECT_LE(sim.rotatorWrap() + command.mid(1).toInt(), 108000) << qPrintable(command);
            }
        });
        ClockTimer first, second;
        for (const auto &[at, ms] : {std::pair(&first, 300), std::pair(&second, 1150)}) {
            at->setSingleShot(true);
            QObject::connect(at, &ClockTimer::timeout, [&] { try { move(x, 35); } catch (const VbError &) {} });
            at->start(ms);
        }
        sim.setAnswer('R', {lateMs, {}});
        y.Get(QStringLiteral("Position"));
        ASSERT_TRUE(Wait::Until(5000, [&] { return moves.size() == 2 && !sim.rotatorMoving(); })) << qPrintable(moves.join(' '));
        EXPECT_EQ(moves.join(' '), QStringLiteral("j7000 j-65000")) << "the second the other way round";
    }

    // Another object's halt while a move waits for its answer ends the move: nothing leaves.
    sim.setRotatorSpeed(0);
    for (const char *member : {"Move", "MoveAbsolute", "Unwrap"}) {
        y.Call(QStringLiteral("ZeroWrap")); // nothing known to decide on: the move asks
        sim.clearReceived();
        sim.setAnswer('R', {300, {}});
        ClockTimer halt;
        halt.setSingleShot(true);
        QObject::connect(&halt, &ClockTimer::timeout, [&] { y.Call(QStringLiteral("Halt")); });
        halt.start(100);
        expectRefusal([&] { x.Call(QString::fromLatin1(member), {Variant(10.0)}); }, DriverErrors::InvalidOperation,
                      "Halted before the move was sent.", "ORVA");
        EXPECT_EQ(receivedAfter(QStringLiteral("q0 ")), QStringLiteral(" i  R q0 ")) << member;
        sim.setAnswer('R', {0, {}});
    }

    // Three replies lost, then a controller that answers: the next move goes within 2 s.
    sim.setSilent(true);
    x.Call(QStringLiteral("ZeroWrap")); // nothing known to decide on
    for (int i = 0; i < 3; ++i)
        expectRefusal([&] { move(x, 10); }, DriverErrors::Unavailable, "No response from rotator", "ORVA");
    sim.setSilent(false);
    sim.clearReceived();
    const int64_t start = Clock::Now();
    move(x, 10);
    EXPECT_LT(Clock::Now() - start, 2000);
    EXPECT_TRUE(receivedAfter(QStringLiteral("j2000 ")).endsWith(QStringLiteral("j2000 ")));
}

TEST_F(RotatorTest, StepCountsBeyondALongAreRefusedWithTheMembersOwnText)
{
    Rotator rotator;
    linkUp(rotator);
    rotator.Let(QStringLiteral("WrapLimit"), Variant(int32_t(540)));
    for (double degrees : {1.1e7, -1.1e7, double(INFINITY), double(NAN)}) {
        expectRefusal([&] { rotator.Move(degrees); }, DriverErrors::ValueOutOfRange, "Value out of range.", "ORVA");
        expectRefusal([&] { rotator.MoveAbsolute(degrees); }, DriverErrors::ValueOutOfRange, "Value out of range.",
                      "ORVA");
    }
    expectRefusal([&] { rotator.Call(QStringLiteral("Unwrap"), {Variant(1.1e7)}); }, 1, "Illegal unwrap value.", "");
    // The largest angle that fits still moves: Int(10737418.23 x 200) = 2147483646.
    move(rotator, 10737418.23);
    Wait::For(50);
    EXPECT_EQ(sim.received().remove(QStringLiteral(" R ")), QStringLiteral("j11646 ")); // folded into one turn
}

// --- getters and the query rule ---

// A value never reported since the port opened is asked for, and refused when it never comes.
TEST_F(RotatorTest, GettersRefuseWhatWasNeverReported)
{
    Rotator rotator;
    sim.setSilent(true);
    for (const char *getter : {"Position", "SetPosition", "Wrap", "IsMoving"})
        expectRefusal([&] { rotator.Get(QString::fromLatin1(getter)); }, DriverErrors::Unavailable,
                      "No response from rotator", "ORVA");
}

TEST_F(RotatorTest, PositionQueriesOnceAndServesTheCacheForHalfASecond)
{
    Rotator rotator;
    linkUp(rotator);
    sim.setRotatorPosition(9000);
    int64_t start = Clock::Now();
    EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("Position")).toDouble(), 45.0);
    EXPECT_EQ(rotator.Get(QStringLiteral("Position")).type(), Variant::Type::Double);
    EXPECT_LT(Clock::Now() - start, 300);
    sim.setRotatorPosition(10000);
    EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("Position")).toDouble(), 45.0);
    EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("PositionAngle")).toDouble(), 45.0);
    EXPECT_EQ(sim.received(), QStringLiteral(" R "));
    Wait::For(520);
    EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("Position")).toDouble(), 50.0);
    EXPECT_EQ(sim.received(), QStringLiteral(" R  R "));

    sim.setSilent(true); // no answer: the cached value after the wait, without error
    Wait::For(520);
    start = Clock::Now();
    EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("Position")).toDouble(), 50.0);
    EXPECT_GE(Clock::Now() - start, 500);
}

// IsMoving decides on answers written after the last rotator command: the target reported
// reached, or after a halt two answers at one position (a controller may go on reporting its
// old target).
TEST_F(RotatorTest, IsMovingFollowsAnswersWrittenAfterTheLastCommand)
{
    Rotator rotator;
    linkUp(rotator);
    sim.setRotatorSpeed(0);
    sim.setRotatorTarget(4000);
    Wait::For(520);
    EXPECT_TRUE(rotator.Get(QStringLiteral("IsMoving")).toBoolean()); // :rs 4000, :rt 0
    sim.setRotatorSpeed(400);
    ASSERT_TRUE(Wait::Until(2000, [&] { return !sim.rotatorMoving(); }));
    Wait::For(520);
    EXPECT_FALSE(rotator.Get(QStringLiteral("Moving")).toBoolean());
    EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("SetPosition")).toDouble(), 20.0);

    rotator.Call(QStringLiteral("Halt"));
    sim.setSilent(true);
    QObject answers; // each query answered with the old target
    QObject::connect(&sim, &ControllerSimulator::commandReceived, &answers, [&](const QString &command) {
        if (command == QLatin1String("R"))
            sim.sendRaw(":wr 0 :rs 8000 :rt 5000 ");
    });
    for (const bool moving : {true, false}) {
        Wait::For(520);
        EXPECT_EQ(rotator.IsMoving(), moving);
    }
}

// Each read waits for its own query's answer, not a wrap reported before it; the read clears the flag.
TEST_F(RotatorTest, WrapAnswersItsOwnQuery)
{
    Rotator rotator;
    linkUp(rotator);
    for (const int wrap : {34000, 68000, 100000}) {
        report(":wr 1 ");
        Wait::For(520);
        sim.setRotatorWrap(wrap);
        sim.clearReceived();
        EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("Wrap")).toDouble(), wrap / 200.0);
        EXPECT_EQ(sim.received(), QStringLiteral(" R "));
    }
    // Within 500 ms and a report seen since the read: the cache, without asking.
    report(":wr 200 ");
    EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("Wrap")).toDouble(), 1.0);
    EXPECT_EQ(sim.received(), QStringLiteral(" R "));
}

// --- reports ---

TEST_F(RotatorTest, HomedAndRecallFromTheReports)
{
    Rotator rotator;
    // Each read asks when the record cannot vouch: the controller's values of now, never a
    // report from before a restart or a command that changed it.
    const std::tuple<const char *, const char *, bool, bool, bool> cases[] = {
        // ":rh", ":rrp", absolute, recall, recorded
        {"0", "0", false, false, false}, {"1", "0", true, false, false},  {"2", "0", false, false, false},
        {"0", "1", true, true, false},   {"0", "9", true, true, true},    {"0", "8", false, false, false},
        {"0", "3", true, true, false},   {"0", "2.5", true, true, false}, {"1", "70000", true, false, false},
        {"0", "70001", true, true, true}};
    for (const auto &[homed, recall, absolute, on, recorded] : cases) {
        SCOPED_TRACE(std::string(homed) + "/" + recall);
        sim.setValue(QStringLiteral(":rh"), QString::fromLatin1(homed));
        sim.setValue(QStringLiteral(":rrp"), QString::fromLatin1(recall));
        sharedLink()->ControllerRestarted(); // nothing reported before counts
        EXPECT_EQ(rotator.Get(QStringLiteral("absolute")).toBoolean(), absolute);
        EXPECT_EQ(rotator.Get(QStringLiteral("RecallRotatorPosition")).toBoolean(), on);
        EXPECT_EQ(rotator.Get(QStringLiteral("RotatorPositionRecorded")).toBoolean(), recorded);
    }
    // A switch the last answer predates: asked again, the controller's answer tells.
    sim.setValue(QStringLiteral(":rrp"), QStringLiteral("0"));
    sharedLink()->ControllerRestarted();
    EXPECT_FALSE(rotator.Get(QStringLiteral("RecallRotatorPosition")).toBoolean());
    rotator.Let(QStringLiteral("RecallRotatorPosition"), Variant(true));
    EXPECT_TRUE(rotator.Get(QStringLiteral("RecallRotatorPosition")).toBoolean());
    sim.setSilent(true);
    sharedLink()->ControllerRestarted();
    expectRefusal([&] { rotator.Get(QStringLiteral("absolute")); }, DriverErrors::Unavailable, "No response from rotator", "ORVA");
    sim.setSilent(false);
}

TEST_F(RotatorTest, RecallSwitchSendsOnlyAChange)
{
    Rotator rotator;
    report(":rrp 0 ");
    rotator.Let(QStringLiteral("RecallRotatorPosition"), Variant(false));
    rotator.Let(QStringLiteral("RecallRotatorPosition"), Variant(true));
    report(":rrp 5 "); // answers no query written after " /1 ": it cannot vouch, so on is sent again
    rotator.Let(QStringLiteral("RecallRotatorPosition"), Variant(true));
    rotator.Let(QStringLiteral("RecallRotatorPosition"), Variant(false));
    EXPECT_EQ(receivedAfter(QStringLiteral(" /1  /1  /0 ")), QStringLiteral(" /1  /1  /0 "));
    // A window's read of the recall after a switch the status answer predates: asked again.
    RotatorStatus::Ask(*sharedLink());
    sharedLink()->Transmit(QStringLiteral(" /1 "));
    EXPECT_EQ(RotatorStatus::Value(*sharedLink(), u":rrp", true).value_or(0) % 2, 1);
}

// --- commands without a wait ---

TEST_F(RotatorTest, CommandTextsOfTheSimpleMembers)
{
    Rotator rotator;
    linkUp(rotator);
    rotator.Call(QStringLiteral("GoHome"));
    rotator.Call(QStringLiteral("FindHome"));
    rotator.Call(QStringLiteral("RecordRotatorPosition"));
    rotator.Call(QStringLiteral("ZeroWrap"));
    rotator.Call(QStringLiteral("Halt"));
    const QString expected = QStringLiteral("r r  v  i q0 ");
    EXPECT_EQ(receivedAfter(expected), expected);
}

TEST_F(RotatorTest, UnwrapSendsTheStepsInTheValuesOwnArithmetic)
{
    Rotator rotator;
    const struct
    {
        Variant degrees;
        const char *sent;
    } cases[] = {
        {Variant(45.0), " j9000 "},
        {Variant(1.0025), " j200 "},                    // 200.5 in double: halves to even
        {Variant(1.0025f), " j201 "},                   // a Single product is 200.500015
        {Variant(QStringLiteral("-1.0025")), " j-200 "}, // text: a double product
        {Variant(int16_t(180)), " j36000 "},            // an Integer widens instead of overflowing
        {Variant(true), " j-200 "},
        {Variant(), " j0 "},
    };
    for (const auto &c : cases) {
        sim.clearReceived();
        rotator.Call(QStringLiteral("Unwrap"), {c.degrees});
        EXPECT_EQ(movesAfter(QString::fromLatin1(c.sent)), QString::fromLatin1(c.sent)) << c.sent;
    }
    sim.clearReceived();
    expectRefusal([&] { rotator.Call(QStringLiteral("Unwrap"), {Variant(QStringLiteral("left"))}); }, 1,
                  "Illegal unwrap value.", "");
    Wait::For(30);
    EXPECT_TRUE(sim.received().isEmpty());
}

TEST_F(RotatorTest, ResetPositionTakesASingleAngleFromZeroTo360)
{
    Rotator rotator;
    rotator.Call(QStringLiteral("ResetPosition"), {Variant(360.0)});
    rotator.Call(QStringLiteral("ResetPosition"), {Variant(1.0025)}); // Single product: 201
    rotator.Call(QStringLiteral("ResetPosition"), {Variant(0.0125)}); // 2.5: halves to even
    rotator.Call(QStringLiteral("ResetPosition"), {Variant(int16_t(0))});
    const QString expected = QStringLiteral(" p72000  p201  p2  p0 ");
    EXPECT_EQ(receivedAfter(expected), expected);
    sim.clearReceived();
    for (double bad : {-0.001, 360.001})
        expectRefusal([&] { rotator.Call(QStringLiteral("ResetPosition"), {Variant(bad)}); },
                      DriverErrors::ValueOutOfRange, "Reset Position Angle out of range", "VKM.ROTATOR");
    Wait::For(30);
    EXPECT_TRUE(sim.received().isEmpty());
}

// --- the wrap limit and the client's own values ---

TEST_F(RotatorTest, WrapLimitIsCheckedRoundedAndWrittenToTheStore)
{
    Rotator rotator;
    const auto storedLimit = [] {
        HKEY key = 0;
        EXPECT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, DriverKeyPath, &key), 0);
        QVariant value;
        EXPECT_EQ(QueryRegistryValue(key, QStringLiteral("ZELLimit"), value), 0);
        RegCloseKey(key);
        return value;
    };
    rotator.Let(QStringLiteral("WrapLimit"), Variant(int32_t(720)));
    EXPECT_EQ(rotator.Get(QStringLiteral("WrapLimit")).toLong(), 720);
    EXPECT_EQ(rotator.Get(QStringLiteral("WrapLimit")).type(), Variant::Type::Long);
    EXPECT_EQ(Module().settings.ZELLimit, 720);
    const QVariant stored = storedLimit();
    EXPECT_EQ(stored.typeId(), QMetaType::Int); // a REG_DWORD
    EXPECT_EQ(stored.toInt(), 720);

    const struct
    {
        Variant value;
        int32_t limit;
    } accepted[] = {{Variant(2000.0), 2000}, {Variant(0.0), 0}, {Variant(100.5), 100},
                    {Variant(QStringLiteral("101.5")), 102}, {Variant(int16_t(540)), 540}};
    for (const auto &a : accepted) {
        rotator.Let(QStringLiteral("WrapLimit"), a.value);
        EXPECT_EQ(Module().settings.ZELLimit, a.limit);
        EXPECT_EQ(storedLimit().toInt(), a.limit);
    }
    for (const Variant &bad : {Variant(2000.5), Variant(-0.5), Variant(QStringLiteral("wide")), Variant(int32_t(5000))})
        expectRefusal([&] { rotator.Let(QStringLiteral("WrapLimit"), bad); }, 1, "Illegal wrap limit value.", "");
    EXPECT_EQ(Module().settings.ZELLimit, 540);
    EXPECT_EQ(storedLimit().toInt(), 540);
    // A limit the disk cannot take: the class's error, and the limit in use stays the stored one.
    std::optional<DiskFullAt> full(100);
    expectRefusal([&] { rotator.Let(QStringLiteral("WrapLimit"), Variant(int32_t(600))); }, DriverErrors::InvalidOperation,
                  "Unable to save ZELLimit (File too large); its former value stays in use.", "VKM.ROTATOR");
    full.reset();
    EXPECT_TRUE(Module().settings.ZELLimit == 540 && storedLimit().toInt() == 540);

    // The next object reads the limit back from the store.
    Module().settings.ZELLimit = 0;
    Rotator next;
    EXPECT_EQ(next.Get(QStringLiteral("WrapLimit")).toLong(), 540);
}

TEST_F(RotatorTest, PositionLimitsAreKeptForTheClientOnly)
{
    Rotator rotator;
    rotator.Let(QStringLiteral("PosPositionLimit"), Variant(720.0));
    rotator.Let(QStringLiteral("NegPositionLimit"), Variant(QStringLiteral("-720")));
    EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("PosPositionLimit")).toDouble(), 720.0);
    EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("NegPositionLimit")).toDouble(), -720.0);
    expectRefusal([&] { rotator.Let(QStringLiteral("PosPositionLimit"), Variant(QStringLiteral("far"))); },
                  DriverErrors::ValueOutOfRange, "PosPositionLimit must be numeric.", "ORVA");
    expectRefusal([&] { rotator.Let(QStringLiteral("NegPositionLimit"), Variant(QStringLiteral("far"))); },
                  DriverErrors::ValueOutOfRange, "NegPositionLimit must be numeric.", "ORVA");
    for (double bad : {720.5, -0.1})
        expectRefusal([&] { rotator.Let(QStringLiteral("PosPositionLimit"), Variant(bad)); },
                      DriverErrors::ValueOutOfRange, "Value out of range.", "ORVA");
    for (double bad : {-720.5, 0.1})
        expectRefusal([&] { rotator.Let(QStringLiteral("NegPositionLimit"), Variant(bad)); },
                      DriverErrors::ValueOutOfRange, "Value out of range.", "ORVA");
    EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("PosPositionLimit")).toDouble(), 720.0);
    EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("NegPositionLimit")).toDouble(), -720.0);

    EXPECT_FALSE(rotator.Get(QStringLiteral("ActivatePositionLimit")).toBoolean());
    rotator.Let(QStringLiteral("ActivatePositionLimit"), Variant(QStringLiteral("on")));
    EXPECT_TRUE(rotator.Get(QStringLiteral("ActivatePositionLimit")).toBoolean());
    rotator.Let(QStringLiteral("ActivatePositionLimit"), Variant(false));
    EXPECT_FALSE(rotator.Get(QStringLiteral("ActivatePositionLimit")).toBoolean());
    rotator.Let(QStringLiteral("Reverse"), Variant(true));
    EXPECT_TRUE(rotator.Get(QStringLiteral("Reverse")).toBoolean());
    Wait::For(30);
    EXPECT_TRUE(sim.received().isEmpty());
}

TEST_F(RotatorTest, FixedProperties)
{
    Rotator rotator;
    EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("StepSize")).toDouble(), 0.005);
    EXPECT_DOUBLE_EQ(rotator.Get(QStringLiteral("Resolution")).toDouble(), 0.005);
    EXPECT_EQ(rotator.Get(QStringLiteral("MaxIncrement")).type(), Variant::Type::Integer);
    EXPECT_EQ(rotator.Get(QStringLiteral("MaxIncrement")).toInteger(), 360);
    EXPECT_EQ(rotator.Get(QStringLiteral("Name")).toString(), QStringLiteral("ORVA VKM"));
    EXPECT_EQ(rotator.Get(QStringLiteral("AppVersion")).toString().count(QLatin1Char('.')), 2);
    rotator.Call(QStringLiteral("ShowForm"), {Variant(int16_t(3))}); // no such window: nothing
}

// --- over D-Bus ---

namespace {

class RotatorOverDBus : public RotatorTest
{
protected:
    void SetUp() override
    {
        clock.reset(); // bus messages travel in real time
        RotatorTest::SetUp();
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "no session bus: run under dbus-run-session";
        m_serverBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("vkm-rotator-server"));
        server = std::make_unique<AutomationServer>(m_serverBus);
        ASSERT_TRUE(server->RegisterClass(progId(), [] { return std::make_shared<Rotator>(); }));
    }
    void TearDown() override
    {
        server.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("vkm-rotator-server"));
        RotatorTest::TearDown();
    }

    // Test programs share the bus: a name of this one's own.
    static QString progId()
    {
        return QStringLiteral("VkmTest.Rotator%1").arg(QCoreApplication::applicationPid());
    }

    std::unique_ptr<AutomationServer> server;

private:
    QDBusConnection m_serverBus{QString()};
};

} // namespace

TEST_F(RotatorOverDBus, LinkMoveAndRefusalsCrossTheBus)
{
    auto rotator = CreateObject(progId());
    ASSERT_TRUE(rotator);
    EXPECT_EQ(server->ObjectCount(), 1);
    rotator->Let(QStringLiteral("Link"), Variant(true));
    EXPECT_TRUE(rotator->Get(QStringLiteral("Link")).toBoolean());
    EXPECT_EQ(receivedAfter(QStringLiteral("! H R ")), QStringLiteral("! H R "));

    rotator->Let(QStringLiteral("WrapLimit"), Variant(int32_t(540)));
    sim.setRotatorSpeed(0);
    sim.clearReceived();
    // The link's answer told the wrap; after each move it is asked for again.
    rotator->Call(QStringLiteral("Move"), {Variant(int32_t(190))});
    rotator->Call(QStringLiteral("move"), {Variant(QStringLiteral("360"))});
    sim.setRotatorWrap(100000);
    rotator->Call(QStringLiteral("Move"), {Variant(45.0)});
    EXPECT_EQ(receivedAfter(QStringLiteral("j-34000  R j0  R j-63000 ")), QStringLiteral("j-34000  R j0  R j-63000 "));

    // Past the limit either way from 0: refused, nothing but the query sent.
    sim.clearReceived();
    rotator->Let(QStringLiteral("WrapLimit"), Variant(int32_t(100)));
    sim.setRotatorWrap(0);
    expectRefusal([&] { rotator->Call(QStringLiteral("Move"), {Variant(-150.0)}); }, DriverErrors::InvalidOperation,
                  "Can not turn past wrap limit.", "ORVA");
    EXPECT_EQ(receivedAfter(QStringLiteral(" R ")), QStringLiteral(" R "));

    // A fresh object has not read the angle yet: it asks before moving by the difference.
    rotator->Let(QStringLiteral("WrapLimit"), Variant(int32_t(540)));
    sim.setRotatorPosition(9000);
    auto fresh = CreateObject(progId());
    ASSERT_TRUE(fresh);
    sim.clearReceived();
    fresh->Call(QStringLiteral("MoveAbsolute"), {Variant(90.0)});
    EXPECT_EQ(receivedAfter(QStringLiteral(" R j9000 ")), QStringLiteral(" R j9000 "));
    fresh.reset();

    const Variant increment = rotator->Get(QStringLiteral("MaxIncrement"));
    EXPECT_EQ(increment.type(), Variant::Type::Integer);
    EXPECT_EQ(increment.toInteger(), 360);
    EXPECT_EQ(rotator->Get(QStringLiteral("WrapLimit")).type(), Variant::Type::Long);

    expectRefusal([&] { rotator->Let(QStringLiteral("WrapLimit"), Variant(2000.5)); }, 1,
                  "Illegal wrap limit value.", "");
    expectRefusal([&] { rotator->Call(QStringLiteral("ResetPosition"), {Variant(-1.0)}); },
                  DriverErrors::ValueOutOfRange, "Reset Position Angle out of range", "VKM.ROTATOR");
    rotator->Let(QStringLiteral("Connected"), Variant(false));
    expectRefusal([&] { rotator->Call(QStringLiteral("GoHome")); }, DriverErrors::NotLinked, "Rotator not linked",
                  "ORVA");

    rotator.reset();
    EXPECT_TRUE(Wait::Until(5000, [&] { return server->ObjectCount() == 0; }));
}
