#include "drivers/DriverErrors.h"
#include "drivers/Temperature.h"
#include "platform/Clock.h"
#include "platform/Wait.h"
#include "support/ControllerBench.h"

namespace {

class TemperatureTest : public ControllerBench
{
protected:
    // Opens the port without a handshake and forgets the traffic.
    void openPort()
    {
        sharedLink()->setConnected(true);
        ASSERT_TRUE(sharedLink()->Connected());
    }

    // The controller reports these values unasked, led by a fresh ":t1" so that the getters
    // that follow take the cache instead of asking the controller.
    void parse(const QString &reports) { report((QStringLiteral(":t1 6800 ") + reports).toLatin1()); }
};

} // namespace

TEST_F(TemperatureTest, ConnectedAnsweredSendsTheTemperatureQuery)
{
    Temperature t;
    EXPECT_TRUE(sim.received().isEmpty()) << "a closed port gets no query at creation";
    t.Let(QStringLiteral("Connected"), Variant(true));
    EXPECT_TRUE(t.Get(QStringLiteral("Connected")).toBoolean());
    EXPECT_TRUE(sim.waitForReceived(QStringLiteral("! T "), 1000));
    EXPECT_EQ(sim.received(), QStringLiteral("! T "));
}

TEST_F(TemperatureTest, ASilentControllerGetsSevenTriesTheLaterOnesFiveSecondsApart)
{
    sim.setSilent(true);
    Temperature t;
    QList<int64_t> tries;
    QObject::connect(&sim, &ControllerSimulator::commandReceived, &sim, [&](const QString &command) {
        if (command == QLatin1String("!"))
            tries.append(Clock::Now());
    });
    expectRefusal([&] { t.Let(QStringLiteral("Connected"), Variant(true)); }, DriverErrors::LinkFailed,
                  "No response from VKM", "");
    EXPECT_EQ(sim.received(), QStringLiteral("! ! ! ! ! ! ! "));
    ASSERT_EQ(tries.size(), 7);
    EXPECT_GE(tries[1] - tries[0], 200) << "the first try waits for the 250 ms tick";
    EXPECT_LT(tries[1] - tries[0], 500);
    for (int i = 2; i < tries.size(); ++i) {
        EXPECT_GE(tries[i] - tries[i - 1], 4900) << i;
        EXPECT_LT(tries[i] - tries[i - 1], 5250) << i;
    }
    EXPECT_FALSE(t.Get(QStringLiteral("Connected")).toBoolean());
}

TEST_F(TemperatureTest, GettersAskOnceASecondAndAReportedAmbientCountsAsFresh)
{
    openPort();
    sim.setTemperature(ControllerSimulator::Sensor::Primary, 66.5);
    {
        Temperature t; // the open port gets " T " at once
        EXPECT_DOUBLE_EQ(t.Get(QStringLiteral("AmbientTemp")).toDouble(), 68.0);
        EXPECT_DOUBLE_EQ(t.Get(QStringLiteral("PrimaryTemp")).toDouble(), 66.5);
        EXPECT_EQ(t.Get(QStringLiteral("AmbientTempRaw")).toInteger(), 512);
        Wait::For(50);
        EXPECT_EQ(sim.received(), QStringLiteral(" T T "));
    }
    sim.clearReceived();
    sim.setSilent(true);
    Temperature fresh;
    // An ambient report that some window asked for: no query, no wait.
    report(":t1 7000 ");
    const int64_t start = Clock::Now();
    EXPECT_DOUBLE_EQ(fresh.Get(QStringLiteral("AmbientTemp")).toDouble(), 70.0);
    EXPECT_LT(Clock::Now() - start, 200);
    EXPECT_EQ(sim.received(), QStringLiteral(" T "));
}

TEST_F(TemperatureTest, ReportsTakenWithinTheirRanges)
{
    Temperature t;
    openPort(); // the getters read reports only while the controller can be reached
    parse(QStringLiteral(":vr 2.10b "));
    EXPECT_EQ(Module().link.FirmwareVersion, QStringLiteral("2.10b"));
    struct Case
    {
        const char *reports;
        const char *member;
        std::optional<double> expected; // none: the last value is none the controller gives, refused
    };
    const Case cases[] = {
        {":t2 6650 ", "PrimaryTemp", 66.5},         {":t3 6700 ", "SecondaryTemp", 67},
        {":t7 8050 ", "ElectronicTemp", 80.5},      {":t5 500 ", "PrimaryTempRaw", 500},
        {":t6 -3 ", "SecondaryTempRaw", -3},        {":t4 512 :t4 99999 ", "AmbientTempRaw", {}},
        {":ss 120 ", "SecondaryHeaterPower", 100},  {":ss 40 :ss -5 ", "SecondaryHeaterPower", {}},
        {":st -35 ", "SecondaryHeaterSetpoint", -3.5}, {":st 101 ", "SecondaryHeaterSetpoint", {}},
        {":fg 5 ", "FanAggressiveness", 0.5},       {":fg 0 ", "FanAggressiveness", {}},
        {":ft 100 ", "FanDeadband", 10},            {":ft 101 ", "FanDeadband", {}},
        {":fm 2 ", "FanMode", 2},                   {":fm 3 ", "FanMode", {}},
        {":fs 55 ", "FanSpeed", 55},                {":fs 101 ", "FanSpeed", {}},
        {":sm 1 ", "SecondaryHeaterMode", 1},       {":sm -1 ", "SecondaryHeaterMode", {}},
        {":d1 150 ", "DewHeater1Power", 100},       {":d2 30 :d2 abc ", "DewHeater2Power", {}},
    };
    for (const Case &c : cases) {
        parse(QString::fromLatin1(c.reports));
        const auto get = [&] { return t.Get(QString::fromLatin1(c.member)).toDouble(); };
        if (c.expected)
            EXPECT_FLOAT_EQ(float(get()), float(*c.expected)) << c.reports;
        else
            expectRefusal(get, DriverErrors::Unavailable, "No response from VKM", "VKM");
    }
    t.Call(QStringLiteral("Handle_Received"), {Variant(int32_t(5))}); // not report text: no harm
    EXPECT_EQ(t.Get(QStringLiteral("TemperatureUnits")).toInteger(), 1);
}

TEST_F(TemperatureTest, SettersSendTheirCommandsWithSingleTenths)
{
    Temperature t; // created on a closed port: no query whose answer could overtake the test
    openPort();
    const std::pair<const char *, Variant> lets[] = {
        {"FanAggressiveness", Variant(0.1)},   {"FanAggressiveness", Variant(10.0)},
        {"FanDeadband", Variant(0.25)},        {"FanDeadband", Variant(0.0)},
        {"SecondaryHeaterSetpoint", Variant(2.5)}, {"SecondaryHeaterSetpoint", Variant(-10.0)},
        {"SecondaryHeaterMode", Variant(int16_t(0))}, {"SecondaryHeaterPower", Variant(int16_t(60))},
        {"SecondaryHeaterMode", Variant(int16_t(1))}, {"SecondaryHeaterMode", Variant(int16_t(2))},
        {"FanSpeed", Variant(int16_t(100))},   {"DewHeater1Power", Variant(int16_t(50))},
        {"DewHeater2Power", Variant(int16_t(0))},
    };
    for (const auto &[member, value] : lets)
        t.Let(QString::fromLatin1(member), value);
    // Manual takes the reported power along, and the power wants the mode its "s0 " set
    // reported: each asks first.
    const QString expected = QStringLiteral(" g1  g100  O2.5  O0 P25 P-100 T s0 T s60 w1 w2 y100 c50 k0 ");
    EXPECT_TRUE(sim.waitForReceived(expected, 1000));
    EXPECT_EQ(sim.received(), expected);
    EXPECT_FLOAT_EQ(t.Get(QStringLiteral("FanDeadband")).toSingle(), 0.0f);
    EXPECT_EQ(t.Get(QStringLiteral("SecondaryHeaterPower")).toInteger(), 60);
}

// Right after Connected, whose "T " is still unanswered (a quarter of a second at 9600
// baud), a setter waits for that answer and decides on the mode it reports.
TEST_F(TemperatureTest, SettersWaitForTheReportedModeAndRefuseWithoutIt)
{
    // fan and heater mode the controller reports, member, value, refusal (none: sent), the wire
    const std::tuple<int, const char *, int16_t, const char *, const char *> rows[] = {
        {0, "FanMode", 1, nullptr, "! T n1 "},
        {1, "FanSpeed", 50, "Fan Mode is not Manual.", "! T "},
        {1, "SecondaryHeaterPower", 40, "Secondary heater mode is not Manual.", "! T "},
        {0, "FanSpeed", 50, nullptr, "! T y50 "},
        {2, "SecondaryHeaterMode", 0, nullptr, "! T s30 "},
    };
    for (const auto &[mode, member, value, refusal, wire] : rows) {
        SCOPED_TRACE(member);
        sim.setFanMode(mode);
        sim.setHeaterMode(mode);
        sim.setHeaterPower(30);
        Temperature t;
        t.Let(QStringLiteral("Connected"), Variant(true));
        const auto let = [&] { t.Let(QString::fromLatin1(member), Variant(value)); };
        refusal ? expectRefusal(let, DriverErrors::InvalidOperation, refusal, "VKM") : let();
        EXPECT_EQ(sent(), QString::fromLatin1(wire));
        sharedLink()->setConnected(false);
    }
    // A controller that does not answer on a port opened as is: nothing reported, nothing decided.
    for (const char *member : {"FanSpeed", "SecondaryHeaterMode"}) {
        Temperature t;
        openPort();
        sim.setSilent(true);
        expectRefusal([&] { t.Let(QString::fromLatin1(member), Variant(int16_t(0))); }, DriverErrors::Unavailable,
                      member[0] == 'F' ? "Fan Mode currently unavailable, try again." : "Secondary heater mode currently unavailable, try again.", "VKM");
        expectRefusal([&] { t.Get(QStringLiteral("AmbientTemp")); }, DriverErrors::Unavailable, "No response from VKM", "VKM");
        EXPECT_EQ(sent(), QStringLiteral("T T ")) << member;
        sim.setSilent(false);
        sharedLink()->setConnected(false);
    }
    // An upload restarts the controller while the setter waits: nothing decided on what it said goes out.
    for (const char *member : {"FanMode", "FanSpeed", "SecondaryHeaterMode", "SecondaryHeaterPower"}) {
        Temperature t;
        openPort();
        const auto let = [&] {
            expectRefusal([&] { t.Let(QString::fromLatin1(member), Variant(int16_t(0))); }, DriverErrors::NotLinked,
                          "VKM not connected", "VKM");
        };
        EXPECT_EQ(sentAround('T', [&] { sharedLink()->ControllerRestarted(); }, let), QStringLiteral("T ")) << member;
        sharedLink()->setConnected(false);
    }
}

TEST_F(TemperatureTest, FanModeTakesTheReportedSpeedAlong)
{
    Temperature t, b; // created on a closed port: no query whose answer could overtake the test
    openPort();
    sim.setFanSpeed(40);
    EXPECT_EQ(b.Get(QStringLiteral("FanMode")).toInteger(), 0);
    t.Let(QStringLiteral("FanMode"), Variant(int16_t(1)));
    // Another client's command makes the status b read a moment ago stale: b asks.
    EXPECT_EQ(b.Get(QStringLiteral("FanMode")).toInteger(), 1);
    EXPECT_EQ(t.Get(QStringLiteral("FanMode")).toInteger(), 1);
    t.Let(QStringLiteral("FanMode"), Variant(int16_t(0))); // the speed reported after "n1 " goes along
    t.Let(QStringLiteral("FanMode"), Variant(int16_t(2)));
    EXPECT_EQ(t.Get(QStringLiteral("FanSpeed")).toInteger(), 40) << "as the controller reports it after \"n2 \"";
    t.Let(QStringLiteral("SecondaryHeaterPower"), Variant(int16_t(55)));
    EXPECT_EQ(b.Get(QStringLiteral("SecondaryHeaterPower")).toInteger(), 55);
    EXPECT_EQ(sent(), QStringLiteral("T n1 T y40 n2 T s55 T "));

    // The status with ":t1" first: the codes after the key codes are the rest of that answer.
    sim.setAnswer('T', {0, {":t1", ":t2", ":t3", ":t7", ":t4", ":t5", ":t6", ":fm", ":fs", ":fg", ":ft", ":sm", ":ss",
                            ":st", ":d1", ":d2"}});
    sim.setFanSpeed(0);
    Wait::For(1100); // the getters ask anew
    const int64_t start = Clock::Now();
    t.Get(QStringLiteral("AmbientTemp"));
    t.Let(QStringLiteral("FanMode"), Variant(int16_t(0)));
    t.Let(QStringLiteral("FanSpeed"), Variant(int16_t(40)));
    EXPECT_LT(Clock::Now() - start, 1000);
    EXPECT_EQ(sent(), QStringLiteral("T y0 T y40 "));
}

TEST_F(TemperatureTest, RefusalsStoreAndSendNothing)
{
    Temperature t; // created on a closed port: no query whose answer could overtake the test
    openPort();
    parse(QStringLiteral(":fm 1 :sm 2 :ft 0 :d2 0 "));
    sim.clearReceived();
    struct Case
    {
        const char *member;
        Variant value;
        int32_t number;
        const char *text;
    };
    const int32_t range = DriverErrors::ValueOutOfRange;
    const Case cases[] = {
        {"FanMode", Variant(int16_t(3)), range, "Fan Mode value out of range."},
        {"FanMode", Variant(int16_t(-1)), range, "Fan Mode value out of range."},
        {"FanSpeed", Variant(int16_t(101)), range, "Fan Speed value out of range."},
        {"FanSpeed", Variant(int16_t(50)), DriverErrors::InvalidOperation, "Fan Mode is not Manual."},
        {"FanDeadband", Variant(10.01), range, "Deadband value out of range."},
        {"FanDeadband", Variant(-0.1), range, "Deadband value out of range."},
        {"FanAggressiveness", Variant(0.09), range, "Aggressiveness value out of range."},
        {"FanAggressiveness", Variant(10.5), range, "Aggressiveness value out of range."},
        {"SecondaryHeaterMode", Variant(int16_t(3)), range, "Secondary heater mode value out of range."},
        {"SecondaryHeaterPower", Variant(int16_t(-1)), range, "Secondary Power value out of range."},
        {"SecondaryHeaterPower", Variant(int16_t(10)), DriverErrors::InvalidOperation,
         "Secondary heater mode is not Manual."},
        {"SecondaryHeaterSetpoint", Variant(10.5), range, "Secondary heater setpoint value out of range."},
        {"DewHeater1Power", Variant(int16_t(101)), range, "Dew heater 1 Power value out of range."},
        {"DewHeater2Power", Variant(int16_t(-1)), range, "Dew heater 2 Power value out of range."},
    };
    for (const Case &c : cases)
        expectRefusal([&] { t.Let(QString::fromLatin1(c.member), c.value); }, c.number, c.text, "VKM");
    Wait::For(50);
    EXPECT_TRUE(sim.received().isEmpty()) << qPrintable(sim.received());
    EXPECT_EQ(t.Get(QStringLiteral("FanMode")).toInteger(), 1);
    EXPECT_FLOAT_EQ(t.Get(QStringLiteral("FanDeadband")).toSingle(), 0.0f);
}
