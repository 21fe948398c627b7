#include "drivers/DriverErrors.h"
#include "drivers/Focuser.h"
#include "drivers/Rotator.h"
#include "drivers/Stepper.h"
#include "drivers/Temperature.h"
#include "link/DriverSettings.h"
#include "platform/Clock.h"
#include "platform/ClockTimer.h"
#include "platform/Wait.h"
#include "support/ControllerBench.h"

#include <map>

namespace {

class FocuserTest : public ControllerBench
{
protected:
    // Links through the automation member, as a client would, and forgets the traffic.
    void linkUp(Focuser &focuser)
    {
        focuser.Let(QStringLiteral("Link"), Variant(true));
        ASSERT_TRUE(focuser.Get(QStringLiteral("Link")).toBoolean());
        Wait::For(300); // let the opening queries' answers arrive
        sim.clearReceived();
    }

    // Refusals of this class carry the source "VKM" unless a test says otherwise.
    static void expectRefusal(const std::function<void()> &call, int32_t number, const char *text,
                              const char *source = "VKM")
    {
        ControllerBench::expectRefusal(call, number, text, source);
    }
};

// One object of each automation class, by its name.
std::unique_ptr<Dispatch> makeDriver(const std::string &name)
{
    using P = std::unique_ptr<Dispatch>;
    return name == "Focuser" ? P(new Focuser) : name == "Rotator" ? P(new Rotator) : name == "Temperature" ? P(new Temperature) : P(new Stepper);
}

} // namespace

// --- what the four classes share ---

// Never linked, on a port some other holder opened: the member goes out; without the port or
// while an upload owns the line it refuses, sends nothing and keeps its value.
TEST_F(FocuserTest, AMemberThatNeedsTheControllerTakesThePortAsItIsAndRefusesWithoutTheLine)
{
    const std::map<std::string, std::pair<const char *, const char *>> notLinked = {
        {"Focuser", {"Serial link not established", "VKM"}}, {"Rotator", {"Rotator not linked", "ORVA"}},
        {"Temperature", {"VKM not connected", "VKM"}},      {"Stepper", {"VKM not connected", "ORVA"}}};
    // class, 'g'et/'l'et/'c'all, member, the let's value or the call's argument, the wire; a row for each way a
    // member checks the line
    const std::tuple<const char *, char, const char *, Variant, const char *> rows[] = {
        {"Focuser", 'c', "Move", Variant(int32_t(20000)), " Q b20000 "}, {"Focuser", 'c', "Halt", {}, "S "},
        {"Focuser", 'l', "TempCompMovementThreshold", Variant(int16_t(50)), " F50 "}, {"Focuser", 'g', "Position", {}, " Q "},
        {"Rotator", 'c', "Move", Variant(90.0), " R j18000 "}, {"Rotator", 'c', "Halt", {}, "q0 "},
        {"Rotator", 'c', "ZeroWrap", {}, " i "}, {"Rotator", 'g', "IsMoving", {}, " R "},
        {"Rotator", 'c', "MoveAbsolute", Variant(90.0), " R j18000 "}, {"Rotator", 'c', "Unwrap", Variant(10.0), " R  j2000 "},
        {"Temperature", 'l', "DewHeater1Power", Variant(int16_t(70)), "c70 "}, {"Temperature", 'g', "AmbientTemp", {}, "T "},
        {"Stepper", 'l', "StepperCurrent2", Variant(0.5), "994 "}, {"Stepper", 'c', "Halt", Variant(int16_t(2)), "32 "},
        {"Stepper", 'c', "MoveRelative4", Variant(int32_t(5)), "d5 "}, {"Stepper", 'g', "MicrostepMode1", {}, "1 "},
        {"Temperature", 'n', "", {}, " T "}, // creating one is no member: its opening query never refuses
    };
    for (const auto &[cls, kind, name, value, wire] : rows) {
        SCOPED_TRACE(std::string(cls) + "." + name);
        const QString member = QString::fromLatin1(name);
        const std::unique_ptr<Dispatch> object = makeDriver(cls);
        const auto run = [&] {
            kind == 'n'   ? void(makeDriver(cls))
            : kind == 'g' ? void(object->Get(member))
            : kind == 'l' ? object->Let(member, value)
                          : void(object->Call(member, value.isEmpty() ? VariantArray() : VariantArray{value}));
        };
        const auto stored = [&] { // what a getter answers on a silent controller: the refusals must not change it
            try {
                return kind == 'l' ? object->Get(member).toString() : QString();
            } catch (const VbError &e) {
                return e.description();
            }
        };
        sim.setRotatorPosition(0); // an earlier row's move must not shift this row's
        sim.setRotatorWrap(0);
        sim.setSilent(true);
        sharedLink()->setConnected(true);
        const QString before = stored();
        sent();
        sharedLink()->setConnected(false);
        const auto refused = [&](int32_t number, const char *text, const char *source) {
            kind == 'n' ? run() : expectRefusal(run, number, text, source); // a throw from run() fails the test
        };
        refused(DriverErrors::NotLinked, notLinked.at(cls).first, notLinked.at(cls).second);
        sharedLink()->setConnected(true);
        Module().tools.FlashInProgress = true;
        refused(Serial::ErrUploadOwnsPort, "The port is in use by a firmware upload.", "ASCOM Helper Serial Port Object");
        Module().tools.FlashInProgress = false;
        EXPECT_EQ(sent(), QString());
        EXPECT_EQ(stored(), before);
        sim.setSilent(false);
        sent();
        run(); // a move first asks for the wrap it decides on
        EXPECT_EQ(sent(), QString::fromLatin1(wire));
        sharedLink()->setConnected(false);
    }
}

// A command the port did not take ends the member with the class's error: no wait, no success
// (a closed port and an upload: the table above).
TEST_F(FocuserTest, ACommandThePortDidNotTakeEndsTheMember)
{
    struct Refusing : Focuser { Serial::SendResult transmit(const QString &) override { return Serial::SendResult::NotDelivered; } };
    sharedLink()->setConnected(true);
    Refusing focuser;
    const int64_t start = Clock::Now();
    expectRefusal([&] { focuser.Move(100); }, DriverErrors::NotLinked, "Serial link not established", "VKM");
    expectRefusal([&] { focuser.Position(); }, DriverErrors::NotLinked, "Serial link not established", "VKM");
    EXPECT_LT(Clock::Now() - start, 100);
}

TEST_F(FocuserTest, AHandshakeCountsOnlyItsOwnAnswerAndAPortThatDoesNotOpenFailsIt)
{
    const std::pair<const char *, const char *> rows[] = {{"Focuser", "Link"}, {"Focuser", "Connected"}, {"Rotator", "Link"},
                                                          {"Rotator", "Connected"}, {"Temperature", "Connected"}, {"Stepper", "Connected"}};
    qputenv("VKM_COM9", "/nonexistent/vkm-port");
    for (const auto &[cls, name] : rows) {
        SCOPED_TRACE(std::string(cls) + "." + name);
        const QString member = QString::fromLatin1(name);
        Focuser first;
        const std::unique_ptr<Dispatch> second = makeDriver(cls);
        first.Let(QStringLiteral("Link"), Variant(true)); // its ":!" reaches the second object too
        sim.setSilent(true);
        const auto link = [&] { second->Let(member, Variant(true)); };
        expectRefusal(link, DriverErrors::LinkFailed, cls == std::string("Focuser") ? "No response from focuser" : "No response from VKM", "");
        // An upload that starts during the tries ends them at once; a linked object whose link
        // an upload refuses stays linked, and works after it.
        ClockTimer upload;
        upload.setSingleShot(true);
        QObject::connect(&upload, &ClockTimer::timeout, [] { Module().tools.FlashInProgress = true; });
        const auto overtaken = [&](int afterMs, bool linked) {
            const int64_t start = Clock::Now();
            upload.start(afterMs);
            expectRefusal(link, Serial::ErrUploadOwnsPort, "The port is in use by a firmware upload.", "ASCOM Helper Serial Port Object");
            Module().tools.FlashInProgress = false;
            EXPECT_LT(Clock::Now() - start, 400);
            EXPECT_EQ(second->Get(member).toBoolean(), linked);
        };
        overtaken(300, false);
        sim.setSilent(false);
        link();
        overtaken(0, true);
        if (cls == std::string("Focuser")) {
            EXPECT_NO_THROW(second->Get(QStringLiteral("Position")));
        }
        Module().link.PortNumber = 9;
        if (member == QStringLiteral("Connected") && cls != std::string("Temperature")) { // it would move to a port that does not open: all stays
            expectRefusal(link, 8002, "Invalid port number: /nonexistent/vkm-port (from VKM_COM9): no such device", "");
            EXPECT_TRUE(sharedLink()->Connected() && sharedLink()->Port() == 1 && second->Get(member).toBoolean());
        }
        sharedLink()->setConnected(false);
        expectRefusal(link, 8002, "Invalid port number: /nonexistent/vkm-port (from VKM_COM9): no such device", "");
        EXPECT_EQ(sharedLink()->Port(), 1);
        EXPECT_FALSE(second->Get(member).toBoolean());
        Module().link.PortNumber = 1;
        sharedLink()->setPort(1);
    }
}

// A client that lets its object go while a member waits (a handshake's retries, a move's
// status answer): the member stops after that wait and sends nothing more.
TEST_F(FocuserTest, ACallWhoseClientLetItsObjectGoSendsNothingMore)
{
    // class, 'l'et or 'c'all, member, value, the controller answers, the client goes after ms, source, the wire
    const std::tuple<const char *, char, const char *, Variant, bool, int, const char *, const char *> rows[] = {
        {"Focuser", 'l', "Link", Variant(true), false, 700, "VKM", "! ! "},
        {"Temperature", 'l', "Connected", Variant(true), false, 300, "VKM", "! ! "},
        {"Stepper", 'l', "Connected", Variant(true), false, 300, "ORVA", "! ! "},
        {"Rotator", 'c', "Move", Variant(90.0), true, 0, "ORVA", " R "},
    };
    for (const auto &[cls, kind, name, value, answers, goneMs, source, wire] : rows) {
        SCOPED_TRACE(cls);
        sim.setSilent(!answers);
        sharedLink()->setConnected(true);
        const std::unique_ptr<Dispatch> object = makeDriver(cls);
        sent();
        ClockTimer gone;
        QObject::connect(&gone, &ClockTimer::timeout, [&] { object->Abandon(); gone.stop(); });
        gone.start(goneMs);
        const QString member = QString::fromLatin1(name);
        expectRefusal([&] { kind == 'l' ? object->Let(member, value) : void(object->Call(member, {value})); },
                      DriverErrors::Released, "The client released this object", source);
        Wait::For(6000);
        EXPECT_EQ(sent(), QString::fromLatin1(wire));
        sharedLink()->setConnected(false);
    }
    sim.setSilent(false);
}

TEST_F(FocuserTest, LinkAnsweredSendsTheOpeningQueriesInOrder)
{
    Focuser focuser;
    focuser.Let(QStringLiteral("link"), Variant(true));
    EXPECT_TRUE(focuser.Get(QStringLiteral("LINK")).toBoolean());
    EXPECT_TRUE(focuser.Get(QStringLiteral("Connected")).toBoolean());
    EXPECT_TRUE(sim.waitForReceived(QStringLiteral("! V  T l "), 1000));
    EXPECT_EQ(sim.received(), QStringLiteral("! V  T l "));
}

TEST_F(FocuserTest, ConnectedSendsNothingAfterTheHandshake)
{
    Focuser focuser;
    focuser.Let(QStringLiteral("Connected"), Variant(true));
    EXPECT_TRUE(focuser.Get(QStringLiteral("Connected")).toBoolean());
    EXPECT_EQ(sim.received(), QStringLiteral("! "));
}

TEST_F(FocuserTest, ASilentControllerGetsFourTriesHalfASecondApartThenTheRefusal)
{
    sim.setSilent(true);
    Focuser focuser;
    const int64_t start = Clock::Now();
    expectRefusal([&] { focuser.Let(QStringLiteral("Link"), Variant(true)); }, DriverErrors::LinkFailed,
                  "No response from focuser", "");
    EXPECT_GE(Clock::Now() - start, 2000);
    EXPECT_LT(Clock::Now() - start, 2500);
    EXPECT_EQ(sim.received(), QStringLiteral("! ! ! ! "));
    EXPECT_FALSE(focuser.Get(QStringLiteral("Link")).toBoolean());
    EXPECT_TRUE(sharedLink()->Connected()); // the port stays open
}

TEST_F(FocuserTest, ConnectedReopensOnThePortNumberAndLinkDoesNot)
{
    ControllerSimulator second;
    qputenv("VKM_COM2", second.devicePath().toLocal8Bit());
    Focuser focuser; // reads the registry: port 1
    focuser.Let(QStringLiteral("Connected"), Variant(true));
    ASSERT_EQ(sharedLink()->Port(), 1);

    HKEY key = 0;
    ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, DriverKeyPath, &key), 0);
    SetRegistryValue(key, QStringLiteral("PORT"), 4, Variant(int32_t(2)).toLong());
    RegCloseKey(key);
    Focuser other; // its creation reads port 2
    ASSERT_EQ(Module().link.PortNumber, 2);

    other.Let(QStringLiteral("Link"), Variant(true));
    EXPECT_EQ(sharedLink()->Port(), 1) << "Link must not reopen an open port";
    other.Let(QStringLiteral("Connected"), Variant(true));
    EXPECT_EQ(sharedLink()->Port(), 2);
    EXPECT_TRUE(second.waitForReceived(QStringLiteral("! "), 2000));
    sharedLink()->setConnected(false);
}

TEST_F(FocuserTest, SettingConnectedFalseClosesThePortForEveryone)
{
    Focuser a, b;
    linkUp(a);
    b.Let(QStringLiteral("Connected"), Variant(true));
    a.Let(QStringLiteral("Connected"), Variant(false));
    EXPECT_FALSE(sharedLink()->Connected());
    EXPECT_FALSE(a.Get(QStringLiteral("Connected")).toBoolean());
    // The other holder reads the closed port as unlinked, and its stop is refused, not lost.
    EXPECT_FALSE(b.Get(QStringLiteral("Connected")).toBoolean());
    EXPECT_FALSE(b.Get(QStringLiteral("Link")).toBoolean());
    for (Focuser *holder : {&a, &b})
        expectRefusal([&] { holder->Call(QStringLiteral("Halt")); }, DriverErrors::NotLinked,
                      "Serial link not established", "VKM");
}

TEST_F(FocuserTest, MoveSendsTheCommandAndFirstReleasesAForcedOffMotor)
{
    Focuser focuser;
    linkUp(focuser);
    // The controller's report decides, with no window open: the windows' copy says nothing.
    sim.setMotorForcedOff(true);
    Module().focuser.ForceMotorOff = true;
    focuser.Call(QStringLiteral("Move"), {Variant(int32_t(1234))});
    focuser.Call(QStringLiteral("move"), {Variant(QStringLiteral("-5"))}); // "U0 " made ":mb" stale: asked again
    EXPECT_FALSE(Module().focuser.ForceMotorOff);
    EXPECT_TRUE(sim.waitForReceived(QStringLiteral(" Q U0 b1234  Q b-5 "), 2000));
    EXPECT_EQ(sim.received(), QStringLiteral(" Q U0 b1234  Q b-5 "));
}

TEST_F(FocuserTest, MoveRefusalsSendNothing)
{
    // the status answer's codes (empty: the usual ones); a controller without ":tc" or ":mb" is
    // decided on what was sent since the port opened
    for (const QStringList &status : {QStringList(), QStringList({":s", ":a", ":h"}), QStringList({":h", ":s", ":a"})}) {
        SCOPED_TRACE(qPrintable(status.join(' ')));
        sim.setAnswer('Q', {0, status});
        Focuser focuser, b; // b: another client
        const auto move = [&] { focuser.Call(QStringLiteral("Move"), {Variant(int32_t(1000))}); };
        if (status.isEmpty())
            expectRefusal(move, DriverErrors::NotLinked, "Serial link not established");
        linkUp(focuser);
        if (!status.isEmpty()) {
            move(); // answered, with no compensation reported: as the controller starts, off
            EXPECT_FALSE(focuser.Get(QStringLiteral("TempComp")).toBoolean());
        }
        // b switches automatic compensation on: the move asks for the mode b's command changed.
        b.Let(QStringLiteral("TempComp"), Variant(true));
        expectRefusal(move, DriverErrors::InvalidOperation, "Temperature compensation active, focus movement not allowed.");
        b.Let(QStringLiteral("TempCompManualMode"), Variant(true));
        b.Let(QStringLiteral("TempComp"), Variant(true));
        move(); // manual compensation allows moves
        Wait::For(50);
        EXPECT_EQ(sim.received(), status.isEmpty() ? QStringLiteral(" Q  +1  Q  +2  Q b1000 ")
                                                    : QStringLiteral(" Q b1000  Q  Q  +1  Q  +2  Q b1000 "));
        sim.setSilent(true); // no answer at all: only then "No response"
        sharedLink()->ControllerRestarted();
        expectRefusal(move, DriverErrors::Unavailable, "No response from focuser");
        sim.setSilent(false);
        sharedLink()->setConnected(false);
    }
    sim.setAnswer('Q', {});
    // b halts while the move waits for the mode its " +0 " changed: the move ends unsent.
    Focuser focuser, b;
    linkUp(focuser);
    b.Let(QStringLiteral("TempCompManualMode"), Variant(true));
    sim.clearReceived();
    b.Let(QStringLiteral("TempComp"), Variant(false));
    sim.setAnswer('Q', {300, {}});
    ClockTimer halt;
    halt.setSingleShot(true);
    QObject::connect(&halt, &ClockTimer::timeout, [&] { b.Call(QStringLiteral("Halt")); });
    halt.start(100);
    expectRefusal([&] { focuser.Call(QStringLiteral("Move"), {Variant(int32_t(1000))}); },
                  DriverErrors::InvalidOperation, "Halted before the move was sent.");
    Wait::For(50);
    EXPECT_EQ(sim.received(), QStringLiteral(" +0  Q S "));
    sim.setAnswer('Q', {});
}

TEST_F(FocuserTest, IsMovingUntilTheCommandedTargetIsReportedWithinFiveSteps)
{
    Focuser focuser;
    linkUp(focuser);
    sim.setFocuserSpeed(0);
    focuser.Call(QStringLiteral("Move"), {Variant(int32_t(1000))});
    struct Step
    {
        int target, actual;
        int16_t moving;
    };
    // Each answers a query written after the move: 1000/995 is within 5, 1000/994 is not; a
    // target of 900 reached is a controller standing, whatever was commanded.
    const Step steps[] = {{1000, 994, -1}, {1000, 995, 0}, {900, 900, 0}, {1000, 1005, 0}};
    for (const Step &s : steps) {
        sim.setFocuserPosition(s.actual);
        sim.setFocuserTarget(s.target);
        EXPECT_EQ(focuser.Get(QStringLiteral("IsMoving")).toInteger(), s.moving) << s.target << "/" << s.actual;
    }
    // A home sent by anyone moves it at once, before any answer tells.
    sim.setSilent(true);
    sharedLink()->Transmit(QStringLiteral("h "));
    EXPECT_EQ(focuser.Get(QStringLiteral("IsMoving")).toInteger(), -1) << "after a home";
    sim.setSilent(false);

    // Another client's read answered 1.2 s late, from before the move, is no news of the move.
    sim.setFocuserPosition(0);
    sim.setAnswer('Q', {1200, {}});
    Focuser b;
    b.Get(QStringLiteral("Position"));
    sim.setAnswer('Q', {0, {}});
    focuser.Call(QStringLiteral("Move"), {Variant(int32_t(1000))});
    Wait::For(850); // b's query given up, its answer still on the way
    for (const int64_t start = Clock::Now(); Clock::Now() - start < 2000; Wait::For(100))
        ASSERT_EQ(focuser.Get(QStringLiteral("IsMoving")).toInteger(), -1) << "at " << Clock::Now() - start << " ms";
    sim.setFocuserSpeed(50);
    EXPECT_TRUE(Wait::Until(2000, [&] { return focuser.Get(QStringLiteral("IsMoving")).toInteger() == 0; }));
    EXPECT_EQ(sim.focuserPosition(), 1000);
}

// A reads IsMoving every `everyMs` after its Move(20000) is half way; each read waits for its
// own report. Standing still is no evidence: only the target reached or a halt ends it.
TEST_F(FocuserTest, IsMovingEndsOnceTheReportsShowTheFocuserStandingWhoeverMovedIt)
{
    // what happens half way: 'a' or 'b' halts, 's'talls for good with the target kept, 'p'auses for 750 ms,
    // 'b' 'm'oves it on to 3000; within ms (0: never), where it stands; how often A reads
    const std::tuple<char, int64_t, int32_t, int> rows[] = {{'a', 500, 0, 0},        {'b', 500, 0, 0},
                                                            {'s', 0, 0, 250},        {'m', 3000, 3000, 0},
                                                            {'p', 5000, 20000, 250}, {'p', 5000, 20000, 1000}};
    for (const auto &[what, withinMs, standsAt, everyMs] : rows) {
        SCOPED_TRACE(std::string(1, what) + std::to_string(everyMs));
        sim.setFocuserSpeed(50);
        sim.setFocuserPosition(0);
        Focuser a, b;
        linkUp(a);
        a.Call(QStringLiteral("Move"), {Variant(int32_t(20000))});
        for (const int64_t start = Clock::Now(); a.Get(QStringLiteral("Position")).toLong() <= 5000;)
            ASSERT_LT(Clock::Now() - start, 10000);
        EXPECT_EQ(a.Get(QStringLiteral("IsMoving")).toInteger(), -1);
        if (what == 's' || what == 'p')
            sim.setFocuserSpeed(0);
        else
            what == 'm' ? b.Call(QStringLiteral("Move"), {Variant(int32_t(3000))}) : (what == 'a' ? a : b).Call(QStringLiteral("Halt"));
        ClockTimer resume; // a pause's end
        QObject::connect(&resume, &ClockTimer::timeout, [&] { sim.setFocuserSpeed(50); resume.stop(); });
        if (what == 'p')
            resume.start(750);
        const int64_t start = Clock::Now();
        while (a.Get(QStringLiteral("IsMoving")).toInteger() != 0 && Clock::Now() - start < std::max<int64_t>(withinMs, 3000)) {
            Wait::For(everyMs);
        }
        const int32_t stands = a.Get(QStringLiteral("Position")).toLong();
        if (withinMs == 0) {
            EXPECT_EQ(a.Get(QStringLiteral("IsMoving")).toInteger(), -1) << "a stalled motor short of its target";
        } else {
            EXPECT_LT(Clock::Now() - start, withinMs);
            EXPECT_TRUE(standsAt ? std::abs(stands - standsAt) <= 5 : stands < 19000) << stands;
            EXPECT_EQ(b.Get(QStringLiteral("IsMoving")).toInteger(), 0) << "b reads the same reports";
        }
        sharedLink()->setConnected(false);
    }
}

TEST_F(FocuserTest, PositionReturnsAsSoonAsTheReportIsHandled)
{
    Focuser focuser;
    linkUp(focuser);
    int64_t start = 0;
    // In the usual order, then with the key codes first and the rest after them: as fast, every read.
    for (const QStringList &order : {QStringList(), QStringList({":s", ":a", ":h", ":ims", ":mc", ":mo", ":mb", ":tc", ":frp"})}) {
        sim.setAnswer('Q', {0, order});
        for (const int steps : {1000, 4321}) {
            sim.setFocuserPosition(steps);
            start = Clock::Now();
            EXPECT_EQ(focuser.Get(QStringLiteral("Position")).toLong(), steps);
            EXPECT_LT(Clock::Now() - start, 200) << qPrintable(order.join(' '));
            EXPECT_EQ(sim.received(), QStringLiteral(" Q "));
            sim.clearReceived();
        }
    }

    sim.setSilent(true); // no answer: the last value, after the wait, without error
    start = Clock::Now();
    EXPECT_EQ(focuser.Get(QStringLiteral("Position")).toLong(), 4321);
    EXPECT_GE(Clock::Now() - start, 250);

    // Never reported since the port opened: refused after the wait, for the position as for
    // the motion.
    sharedLink()->setConnected(false);
    sharedLink()->setConnected(true);
    for (const char *member : {"Position", "IsMoving", "SetPosition"})
        expectRefusal([&] { focuser.Get(QString::fromLatin1(member)); }, DriverErrors::Unavailable, "No response from focuser");

    // A second object, made after the controller reported, reads the record as it stands,
    // asking where the record cannot vouch; it has no copy of its own to answer from.
    sim.setSilent(false);
    sharedLink()->setConnected(false); // the queries the silence lost are owed no longer
    sharedLink()->setConnected(true);
    sim.setFocuserPosition(12345);
    EXPECT_EQ(focuser.Get(QStringLiteral("Position")).toLong(), 12345);
    sim.clearReceived();
    // what another sender sends first, the second object's member, the wire
    const std::tuple<const char *, const char *, const char *> rows[] = {
        {"", "SetPosition", ""}, {"", "Position", " Q "}, {"b12345 ", "SetPosition", "b12345  Q "}};
    for (const auto &[before, member, wire] : rows) {
        SCOPED_TRACE(member);
        Focuser second;
        if (*before)
            sharedLink()->Transmit(QString::fromLatin1(before));
        EXPECT_EQ(second.Get(QString::fromLatin1(member)).toLong(), 12345);
        EXPECT_EQ(sent(), QString::fromLatin1(wire)) << member;
    }
}

TEST_F(FocuserTest, CompensationCoefficientAndThreshold)
{
    sim.setValue(QStringLiteral(":sl1"), QStringLiteral("0"));
    Focuser focuser;
    linkUp(focuser);
    // Without the sensor slope the coefficient cannot be sent: ask for it and refuse.
    expectRefusal([&] { focuser.Let(QStringLiteral("TempCompCoefficient"), Variant(2.0)); },
                  DriverErrors::Unavailable, "Temperature compensation coefficient currently unavailable, try again.");
    EXPECT_TRUE(sim.waitForReceived(QStringLiteral("l "), 1000));
    sim.clearReceived();

    report(":sl1 50000 ");
    focuser.Let(QStringLiteral("TempCompCoefficient"), Variant(2.0));
    focuser.Let(QStringLiteral("TempCompCoefficient"), Variant(10.0));
    expectRefusal([&] { focuser.Let(QStringLiteral("TempCompCoefficient"), Variant(10.01)); },
                  DriverErrors::ValueOutOfRange, "Temperature compensation coefficient value out of range.");
    focuser.Let(QStringLiteral("TempCompMovementThreshold"), Variant(int16_t(100)));
    for (int16_t bad : {int16_t(101), int16_t(-1)})
        expectRefusal([&] { focuser.Let(QStringLiteral("TempCompMovementThreshold"), Variant(bad)); },
                      DriverErrors::ValueOutOfRange,
                      "Temperature compensation movement threshold value out of range.");
    EXPECT_TRUE(sim.waitForReceived(QStringLiteral(" =1000  =5000  F100 "), 1000));
    EXPECT_EQ(sim.received(), QStringLiteral(" =1000  =5000  F100 "));

    // An upload restarts the controller while the coefficient waits for the slope: nothing leaves.
    sim.setValue(QStringLiteral(":sl1"), QStringLiteral("50000"));
    sharedLink()->setConnected(false);
    sharedLink()->setConnected(true);
    sim.clearReceived();
    EXPECT_EQ(sentAround('l', [&] { sharedLink()->ControllerRestarted(); },
                         [&] {
                             expectRefusal([&] { focuser.Let(QStringLiteral("TempCompCoefficient"), Variant(2.0)); },
                                           DriverErrors::NotLinked, "Serial link not established");
                         }),
              QStringLiteral(" l "));
}

TEST_F(FocuserTest, CoefficientGetterRefusesUntilKnown)
{
    sim.setValue(QStringLiteral(":tcc"), QString()); // the controller does not know it
    Focuser focuser;
    linkUp(focuser);
    sim.setSilent(true);
    sharedLink()->setConnected(false); // opened again: nothing reported since
    sharedLink()->setConnected(true);
    expectRefusal([&] { focuser.Get(QStringLiteral("TempCompCoefficient")); }, DriverErrors::Unavailable,
                  "Temperature compensation coefficient currently unavailable, try again.");
    expectRefusal([&] { focuser.Get(QStringLiteral("TempCompMovementThreshold")); }, DriverErrors::Unavailable,
                  "Temperature compensation movement threshold currently unavailable, try again.");
    EXPECT_TRUE(sim.waitForReceived(QStringLiteral(" l l  l l "), 1000));
    EXPECT_EQ(sim.received(), QStringLiteral(" l l  l l "));
    sim.setSilent(false);
    sim.setValue(QStringLiteral(":sl1"), QStringLiteral("100000"));
    sim.setValue(QStringLiteral(":tcc"), QStringLiteral("1500"));
    EXPECT_FLOAT_EQ(focuser.Get(QStringLiteral("TempCompCoefficient")).toSingle(), 1.5f);
}

TEST_F(FocuserTest, RecallCodesFromTheReport)
{
    Focuser focuser;
    linkUp(focuser);
    struct Case
    {
        const char *value;
        bool recall, recorded;
    };
    const Case cases[] = {{"0", false, false}, {"2", false, false}, {"1", true, false}, {"3", true, false},
                          {"5", true, false},  {"7", true, false},  {"9", true, true}};
    for (const Case &c : cases) {
        report(QByteArray(":frp ") + c.value + " ");
        EXPECT_EQ(focuser.Get(QStringLiteral("FocusPositionRecorded")).toBoolean(), c.recorded) << c.value;
    }
    // Recall on with code 8: switching it on sends nothing, off sends " `0 ".
    sim.clearReceived();
    focuser.Let(QStringLiteral("RecallFocusPosition"), Variant(true));
    focuser.Let(QStringLiteral("RecallFocusPosition"), Variant(false));
    focuser.Call(QStringLiteral("RecordFocusPosition"));
    EXPECT_TRUE(sim.waitForReceived(QStringLiteral(" `0  f "), 1000));
    EXPECT_EQ(sim.received(), QStringLiteral(" `0  f "));
}

TEST_F(FocuserTest, TemperatureInCelsiusAndTheCompensationSwitch)
{
    sim.setSilent(true); // no temperature reported yet: refused in either scale, never an Empty
    for (sharedLink()->setConnected(true); int16_t celsius : {int16_t(1), int16_t(0)}) {
        Module().settings.Celcius = celsius;
        expectRefusal([] { Focuser().Get(QStringLiteral("Temperature")); }, DriverErrors::Unavailable,
                      "No response from focuser");
    }
    sim.setSilent(false);
    Focuser focuser;
    linkUp(focuser);
    sim.setTemperature(ControllerSimulator::Sensor::Ambient, 68.0);
    Module().settings.Celcius = 1;
    EXPECT_DOUBLE_EQ(focuser.Get(QStringLiteral("Temperature")).toDouble(), 20.0);
    Module().settings.Celcius = 0;
    EXPECT_DOUBLE_EQ(focuser.Get(QStringLiteral("Temperature")).toDouble(), 68.0);

    // Nothing reported before a restart (told by the controller, or an upload's), or before the
    // link was made anew, answers: the focuser's temperature as the ambient one.
    Temperature ambient;
    const std::pair<const char *, std::optional<double>> rows[] = {{"restart", {}}, {"upload", {}}, {"relink", 50.0}};
    for (const auto &[what, expected] : rows) {
        SCOPED_TRACE(what);
        sim.setTemperature(ControllerSimulator::Sensor::Ambient, 68.0);
        EXPECT_DOUBLE_EQ(focuser.Get(QStringLiteral("Temperature")).toDouble(), 68.0);
        EXPECT_DOUBLE_EQ(ambient.Get(QStringLiteral("AmbientTemp")).toDouble(), 68.0);
        sim.setTemperature(ControllerSimulator::Sensor::Ambient, 50.0);
        sim.setSilent(!expected);
        if (QLatin1String(what) == QLatin1String("restart"))
            report(":! ");
        else if (QLatin1String(what) == QLatin1String("upload"))
            sharedLink()->ControllerRestarted();
        else
            for (const bool on : {false, true})
                focuser.Let(QStringLiteral("Link"), Variant(on));
        if (expected) {
            EXPECT_DOUBLE_EQ(focuser.Get(QStringLiteral("Temperature")).toDouble(), *expected);
            EXPECT_DOUBLE_EQ(ambient.Get(QStringLiteral("AmbientTemp")).toDouble(), *expected);
        } else {
            expectRefusal([&] { focuser.Get(QStringLiteral("Temperature")); }, DriverErrors::Unavailable,
                          "No response from focuser");
            expectRefusal([&] { ambient.Get(QStringLiteral("AmbientTemp")); }, DriverErrors::Unavailable,
                          "No response from VKM");
        }
        sim.setSilent(false);
    }
    sim.clearReceived();
    focuser.Let(QStringLiteral("TempComp"), Variant(true));
    focuser.Let(QStringLiteral("TempCompManualMode"), Variant(true));
    focuser.Let(QStringLiteral("TempComp"), Variant(true));
    focuser.Let(QStringLiteral("TempComp"), Variant(false));
    EXPECT_TRUE(sim.waitForReceived(QStringLiteral(" +1  +2  +0 "), 1000));
}

TEST_F(FocuserTest, FixedPropertiesAndUnknownMembers)
{
    Focuser focuser;
    EXPECT_TRUE(focuser.Get(QStringLiteral("Absolute")).toBoolean());
    EXPECT_DOUBLE_EQ(focuser.Get(QStringLiteral("StepSize")).toDouble(), 0.5625);
    EXPECT_EQ(focuser.Get(QStringLiteral("MaxStep")).toLong(), 40000);
    EXPECT_EQ(focuser.Get(QStringLiteral("MaxIncrement")).toLong(), 40000);
    EXPECT_TRUE(focuser.Get(QStringLiteral("TempCompAvailable")).toBoolean());
    EXPECT_EQ(focuser.Get(QStringLiteral("CCDSoftLargeStepSize")).toInteger(), 80);
    EXPECT_EQ(focuser.Get(QStringLiteral("CCDSoftSmallStepSize")).toInteger(), 5);
    EXPECT_EQ(focuser.Get(QStringLiteral("AppVersion")).toString().count(QLatin1Char('.')), 2);
    try {
        focuser.Get(QStringLiteral("NoSuchMember"));
        FAIL();
    } catch (const VbError &e) {
        EXPECT_EQ(e.number(), 438);
    }
}
