#include "drivers/DriverErrors.h"
#include "drivers/Focuser.h"
#include "drivers/Rotator.h"
#include "drivers/Stepper.h"
#include "drivers/Temperature.h"
#include "link/DriverSettings.h"
#include "platform/Clock.h"
#include "platform/Wait.h"
#include "support/ControllerBench.h"

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
    if (name == "Focuser")
        return std::make_unique<Focuser>();
    if (name == "Rotator")
        return std::make_unique<Rotator>();
    if (name == "Temperature")
        return std::make_unique<Temperature>();
    return std::make_unique<Stepper>();
}

// A member as a client reaches it: a get (no value), a let (a value) or a call.
struct Access
{
    enum Kind { Get, Let, Call } kind;
    const char *member;
    VariantArray args;
    Variant value;

    Variant run(Dispatch &object) const
    {
        const QString name = QString::fromLatin1(member);
        if (kind == Get)
            return object.Get(name, args);
        if (kind == Let)
            object.Let(name, args, value);
        else
            object.Call(name, args);
        return Variant();
    }
};

} // namespace

// --- what the four classes share ---

TEST_F(FocuserTest, EveryMemberThatNeedsTheControllerRefusesWithoutTheLineAndChangesNothing)
{
    using A = Access;
    struct Row
    {
        const char *cls;
        Access access;
        const char *notLinked, *source;
        Access getter; // reads the value as before the refusals (a silent controller); none: nullptr
        Variant before;
    };
    const char *const focus = "Serial link not established", *const vkm = "VKM not connected";
    const char *const rotator = "Rotator not linked";
    const A none{A::Get, nullptr, {}, {}};
    const Row rows[] = {
        {"Focuser", {A::Call, "Move", {Variant(int32_t(10))}, {}}, focus, "VKM", none, {}},
        {"Focuser", {A::Call, "Halt", {}, {}}, focus, "VKM", none, {}},
        {"Focuser", {A::Let, "TempComp", {}, Variant(true)}, focus, "VKM", {A::Get, "TempComp", {}, {}}, Variant(false)},
        {"Focuser", {A::Let, "TempCompMovementThreshold", {}, Variant(int16_t(50))}, focus, "VKM", none, {}},
        {"Focuser", {A::Let, "TempCompCoefficient", {}, Variant(2.0)}, focus, "VKM", none, {}},
        {"Focuser", {A::Let, "RecallFocusPosition", {}, Variant(true)}, focus, "VKM", none, {}},
        {"Focuser", {A::Call, "RecordFocusPosition", {}, {}}, focus, "VKM", none, {}},
        {"Focuser", {A::Get, "Position", {}, {}}, focus, "VKM", none, {}},
        {"Focuser", {A::Get, "IsMoving", {}, {}}, focus, "VKM", none, {}},
        {"Focuser", {A::Get, "Temperature", {}, {}}, focus, "VKM", none, {}},
        {"Focuser", {A::Get, "TempCompMovementThreshold", {}, {}}, focus, "VKM", none, {}},
        {"Rotator", {A::Call, "Halt", {}, {}}, rotator, "ORVA", none, {}},
        {"Rotator", {A::Call, "ResetPosition", {Variant(10.0f)}, {}}, rotator, "ORVA",
         {A::Get, "Position", {}, {}}, Variant(0.0)},
        {"Rotator", {A::Call, "ZeroWrap", {}, {}}, rotator, "ORVA", none, {}},
        {"Rotator", {A::Call, "RecordRotatorPosition", {}, {}}, rotator, "ORVA", none, {}},
        {"Rotator", {A::Let, "RecallRotatorPosition", {}, Variant(true)}, rotator, "ORVA", none, {}},
        {"Rotator", {A::Get, "Position", {}, {}}, rotator, "ORVA", none, {}},
        {"Temperature", {A::Let, "DewHeater1Power", {}, Variant(int16_t(70))}, vkm, "VKM",
         {A::Get, "DewHeater1Power", {}, {}}, Variant(int16_t(0))},
        {"Temperature", {A::Let, "DewHeater2Power", {}, Variant(int16_t(70))}, vkm, "VKM",
         {A::Get, "DewHeater2Power", {}, {}}, Variant(int16_t(0))},
        {"Temperature", {A::Let, "SecondaryHeaterMode", {}, Variant(int16_t(1))}, vkm, "VKM",
         {A::Get, "SecondaryHeaterMode", {}, {}}, Variant(int16_t(0))},
        {"Temperature", {A::Let, "SecondaryHeaterSetpoint", {}, Variant(2.5)}, vkm, "VKM",
         {A::Get, "SecondaryHeaterSetpoint", {}, {}}, Variant(0.0f)},
        {"Temperature", {A::Let, "FanSpeed", {}, Variant(int16_t(50))}, vkm, "VKM",
         {A::Get, "FanSpeed", {}, {}}, Variant(int16_t(0))},
        {"Temperature", {A::Let, "FanMode", {}, Variant(int16_t(1))}, vkm, "VKM",
         {A::Get, "FanMode", {}, {}}, Variant(int16_t(0))},
        {"Temperature", {A::Let, "FanDeadband", {}, Variant(2.0)}, vkm, "VKM", none, {}},
        {"Temperature", {A::Get, "AmbientTemp", {}, {}}, vkm, "VKM", none, {}},
        {"Stepper", {A::Let, "StepperCurrent2", {}, Variant(0.5)}, vkm, "ORVA",
         {A::Get, "StepperCurrent2", {}, {}}, Variant(0.0)},
        {"Stepper", {A::Let, "MicrostepMode3", {}, Variant(int16_t(2))}, vkm, "ORVA",
         {A::Get, "MicrostepMode3", {}, {}}, Variant(int16_t(0))},
        {"Stepper", {A::Let, "OperationMode", {}, Variant(int16_t(1))}, vkm, "ORVA",
         {A::Get, "OperationMode", {}, {}}, Variant(int16_t(0))},
        {"Stepper", {A::Call, "Halt", {Variant(int16_t(2))}, {}}, vkm, "ORVA", none, {}},
        {"Stepper", {A::Call, "MoveRelative4", {Variant(int32_t(5))}, {}}, vkm, "ORVA", none, {}},
        {"Stepper", {A::Get, "StepperPresent1", {}, {}}, vkm, "ORVA", none, {}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.cls) + "." + row.access.member);
        const std::unique_ptr<Dispatch> object = makeDriver(row.cls);
        sim.setSilent(true);
        sim.clearReceived();
        sharedLink()->setConnected(false);
        expectRefusal([&] { row.access.run(*object); }, DriverErrors::NotLinked, row.notLinked, row.source);
        sharedLink()->setConnected(true);
        Module().tools.FlashInProgress = true;
        expectRefusal([&] { row.access.run(*object); }, Serial::ErrUploadOwnsPort,
                      "The port is in use by a firmware upload.", "ASCOM Helper Serial Port Object");
        Module().tools.FlashInProgress = false;
        EXPECT_EQ(sent(), QString());
        if (row.getter.member) {
            const Variant after = row.getter.run(*object);
            EXPECT_EQ(after, row.before) << qPrintable(after.toString());
        }
        sharedLink()->setConnected(false);
        sim.setSilent(false);
    }
}

TEST_F(FocuserTest, HaltStopsWhateverObjectLinkedOrMoved)
{
    struct Row
    {
        const char *cls;
        const char *move;
        Variant steps;
        VariantArray halt;
        const char *wire;
    };
    const Row rows[] = {
        {"Focuser", "Move", Variant(int32_t(20000)), {}, "b20000 S "},
        {"Rotator", "Move", Variant(90.0), {}, "j18000 q0 "},
        {"Stepper", "MoveRelative1", Variant(int32_t(100)), {Variant(int16_t(1))}, "a100 31 "},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.cls);
        const std::unique_ptr<Dispatch> object = makeDriver(row.cls);
        Focuser opener; // opens the port; the object under test never links
        opener.Let(QStringLiteral("Connected"), Variant(true));
        Wait::For(300);
        sim.clearReceived();
        object->Call(QString::fromLatin1(row.move), {row.steps});
        object->Call(QStringLiteral("Halt"), row.halt);
        EXPECT_EQ(sent(), QString::fromLatin1(row.wire));
        sharedLink()->setConnected(false);
    }
}

TEST_F(FocuserTest, AHandshakeCountsOnlyItsOwnAnswerAndAPortThatDoesNotOpenFailsIt)
{
    struct Row
    {
        const char *cls, *member;
        const char *noResponse;
    };
    const Row rows[] = {
        {"Focuser", "Link", "No response from focuser"},   {"Focuser", "Connected", "No response from focuser"},
        {"Rotator", "Link", "No response from VKM"},       {"Rotator", "Connected", "No response from VKM"},
        {"Temperature", "Connected", "No response from VKM"}, {"Stepper", "Connected", "No response from VKM"},
    };
    qputenv("VKM_COM9", "/nonexistent/vkm-port");
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.cls) + "." + row.member);
        Focuser first;
        const std::unique_ptr<Dispatch> second = makeDriver(row.cls);
        first.Let(QStringLiteral("Link"), Variant(true)); // its ":!" reaches the second object too
        sim.setSilent(true);
        expectRefusal([&] { second->Let(QString::fromLatin1(row.member), Variant(true)); },
                      DriverErrors::LinkFailed, row.noResponse, "");
        EXPECT_FALSE(second->Get(QString::fromLatin1(row.member)).toBoolean());
        sim.setSilent(false);

        sharedLink()->setConnected(false);
        Module().link.PortNumber = 9;
        expectRefusal([&] { second->Let(QString::fromLatin1(row.member), Variant(true)); }, 8002,
                      "Invalid port number", "");
        EXPECT_FALSE(second->Get(QString::fromLatin1(row.member)).toBoolean());
        Module().link.PortNumber = 1;
        sharedLink()->setPort(1);
    }
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
    Module().focuser.ForceMotorOff = true;
    focuser.Call(QStringLiteral("Move"), {Variant(int32_t(1234))});
    EXPECT_FALSE(Module().focuser.ForceMotorOff);
    focuser.Call(QStringLiteral("move"), {Variant(QStringLiteral("-5"))});
    EXPECT_TRUE(sim.waitForReceived(QStringLiteral("U0 b1234 b-5 "), 2000));
    EXPECT_EQ(sim.received(), QStringLiteral("U0 b1234 b-5 "));
}

TEST_F(FocuserTest, MoveRefusalsSendNothing)
{
    Focuser focuser;
    expectRefusal([&] { focuser.Call(QStringLiteral("Move"), {Variant(int32_t(10))}); }, DriverErrors::NotLinked,
                  "Serial link not established");
    linkUp(focuser);
    report(":tc 1 ");
    expectRefusal([&] { focuser.Call(QStringLiteral("Move"), {Variant(int32_t(10))}); },
                  DriverErrors::InvalidOperation, "Temperature compensation active, focus movement not allowed.");
    report(":tc 2 "); // manual compensation allows moves
    focuser.Call(QStringLiteral("Move"), {Variant(int32_t(10))});
    Wait::For(50);
    EXPECT_EQ(sim.received(), QStringLiteral("b10 "));
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
    // Target 900 is not the commanded one; 1000/995 is within 5; 1000/994 is not.
    const Step steps[] = {{900, 900, -1}, {1000, 995, 0}, {1000, 994, -1}, {1000, 1005, 0}};
    for (const Step &s : steps) {
        sim.setFocuserPosition(s.actual);
        sim.setFocuserTarget(s.target);
        EXPECT_EQ(focuser.Get(QStringLiteral("IsMoving")).toInteger(), s.moving) << s.target << "/" << s.actual;
    }
}

TEST_F(FocuserTest, IsMovingEndsOnceTheReportsShowTheFocuserStandingWhoeverMovedIt)
{
    struct Row
    {
        const char *what;
        std::function<void(Focuser &a, Focuser &b)> halfWay;
        int32_t standsAtLeast, standsAtMost;
        int maxReads; // IsMoving reads until False; 0: until the move ends, within withinMs
        int64_t withinMs = 0;
    };
    const Row rows[] = {
        {"halted by its mover", [](Focuser &a, Focuser &) { a.Call(QStringLiteral("Halt")); }, 5000, 19000, 2},
        {"halted by another object", [](Focuser &, Focuser &b) { b.Call(QStringLiteral("Halt")); }, 5000, 19000, 2},
        {"stalled, the target kept", [this](Focuser &, Focuser &) { sim.setFocuserSpeed(0); }, 5000, 19000, 0, 1000},
        {"moved on by another object",
         [](Focuser &, Focuser &b) { b.Call(QStringLiteral("Move"), {Variant(int32_t(3000))}); }, 2995, 3005, 0, 3000},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        sim.setFocuserSpeed(50);
        sim.setFocuserPosition(0);
        Focuser a, b;
        linkUp(a);
        a.Call(QStringLiteral("Move"), {Variant(int32_t(20000))});
        // Each read waits for its own report.
        for (const int64_t start = Clock::Now(); a.Get(QStringLiteral("Position")).toLong() <= 5000;)
            ASSERT_LT(Clock::Now() - start, 10000);
        EXPECT_EQ(a.Get(QStringLiteral("IsMoving")).toInteger(), -1);
        row.halfWay(a, b);
        int reads = 0;
        const auto standing = [&] {
            ++reads;
            return a.Get(QStringLiteral("IsMoving")).toInteger() == 0;
        };
        if (row.maxReads > 0) {
            while (!standing() && reads < row.maxReads) {
            }
            EXPECT_LT(reads, row.maxReads + 1);
            EXPECT_EQ(a.Get(QStringLiteral("IsMoving")).toInteger(), 0);
        } else {
            const int64_t start = Clock::Now();
            while (!standing() && Clock::Now() - start < 10000) {
            }
            EXPECT_LT(Clock::Now() - start, row.withinMs);
        }
        const int32_t stands = a.Get(QStringLiteral("Position")).toLong();
        EXPECT_GE(stands, row.standsAtLeast);
        EXPECT_LE(stands, row.standsAtMost);
        EXPECT_EQ(b.Get(QStringLiteral("IsMoving")).toInteger(), 0) << "b reads the same reports";
        sharedLink()->setConnected(false);
    }
}

TEST_F(FocuserTest, PositionReturnsAsSoonAsTheReportIsHandled)
{
    Focuser focuser;
    linkUp(focuser);
    sim.setFocuserPosition(4321);
    int64_t start = Clock::Now();
    EXPECT_EQ(focuser.Get(QStringLiteral("Position")).toLong(), 4321);
    EXPECT_LT(Clock::Now() - start, 200);
    EXPECT_EQ(sim.received(), QStringLiteral(" Q "));

    sim.setSilent(true); // no answer: the last value, after the wait, without error
    start = Clock::Now();
    EXPECT_EQ(focuser.Get(QStringLiteral("Position")).toLong(), 4321);
    EXPECT_GE(Clock::Now() - start, 250);
}

TEST_F(FocuserTest, CompensationCoefficientAndThreshold)
{
    Focuser focuser;
    linkUp(focuser);
    // Without the sensor slope the coefficient cannot be sent: ask for it and refuse.
    Module().focuser.TempCompSlope = 0;
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
}

TEST_F(FocuserTest, CoefficientGetterRefusesUntilKnown)
{
    sim.setValue(QStringLiteral(":tcc"), QString()); // the controller does not know it
    Focuser focuser;
    linkUp(focuser);
    sim.setSilent(true);
    Module().focuser.TempCompCoefficientKnown = false;
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
    {
        Focuser fresh; // no temperature reported yet: no number in either scale
        sim.setSilent(true);
        sharedLink()->setConnected(true);
        for (int16_t celsius : {int16_t(1), int16_t(0)}) {
            Module().settings.Celcius = celsius;
            EXPECT_TRUE(fresh.Get(QStringLiteral("Temperature")).isEmpty()) << celsius;
        }
        sim.setSilent(false);
    }
    Focuser focuser;
    linkUp(focuser);
    sim.setTemperature(ControllerSimulator::Sensor::Ambient, 68.0);
    Module().settings.Celcius = 1;
    EXPECT_DOUBLE_EQ(focuser.Get(QStringLiteral("Temperature")).toDouble(), 20.0);
    Module().settings.Celcius = 0;
    EXPECT_DOUBLE_EQ(focuser.Get(QStringLiteral("Temperature")).toDouble(), 68.0);
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
