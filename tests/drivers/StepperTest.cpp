#include "drivers/DriverErrors.h"
#include "drivers/Focuser.h"
#include "drivers/Stepper.h"
#include "link/DriverSettings.h"
#include "platform/Clock.h"
#include "platform/Wait.h"
#include "support/ControllerBench.h"


namespace {

class StepperTest : public ControllerBench
{
protected:
    static bool get(Stepper &s, const QString &member) { return s.Get(member).toBoolean(); }

    // Lets the status queries' cache of a new object run out.
    static void outliveTheCache() { Wait::Until(510, [] { return false; }); }
};

} // namespace

TEST_F(StepperTest, CreationOpensThePortOnTheLinksNumberAndConnectedAsksForTheSettings)
{
    {
        Stepper first; // writes the settings key
    }
    sharedLink()->setConnected(false);
    HKEY key = 0;
    ASSERT_EQ(RegOpenKey(HKEY_LOCAL_MACHINE, DriverKeyPath, &key), 0);
    SetRegistryValue(key, QStringLiteral("PORT"), 4, 2);
    RegCloseKey(key);

    Stepper s;
    EXPECT_TRUE(sharedLink()->Connected());
    EXPECT_EQ(sharedLink()->Port(), 1) << "not the registry's port 2";
    EXPECT_TRUE(sim.received().isEmpty());

    Module().link.PortNumber = 1; // so that Connected keeps the simulator's port
    s.Let(QStringLiteral("Connected"), Variant(true));
    EXPECT_TRUE(s.Get(QStringLiteral("Connected")).toBoolean());
    EXPECT_TRUE(sim.waitForReceived(QStringLiteral("! 1 "), 1000));
    EXPECT_EQ(sim.received(), QStringLiteral("! 1 "));
}

TEST_F(StepperTest, ChannelBitsFromTheStatusReports)
{
    sim.setSilent(true); // the reports below are the only truth, whenever a getter asks
    Stepper s;
    // Nothing reported since the port opened: refused after the wait.
    for (const char *member : {"StepperPresent1", "StepperLimitSwitch2B", "Stepper3Position", "IsMoving4", "PrimaryCoverState"})
        expectRefusal([&] { s.Get(QString::fromLatin1(member)); }, DriverErrors::Unavailable, "No response from VKM", "ORVA");
    struct Row
    {
        const char *reports;
        const char *trueMembers;
    };
    const Row rows[] = {
        {":SP 136 :SW 12 :SIM 5 ", "StepperPresent1 StepperPresent3 StepperLimitSwitch1A StepperLimitSwitch1B "
                                   "IsMoving1 IsMoving3"},
        {":SP 34 :SW 81 :SIM 10 ", "StepperPresent2 StepperPresent4 StepperLimitSwitch2A StepperLimitSwitch3A "
                                   "StepperLimitSwitch4A IsMoving2 IsMoving4"},
        {":SP 0 :SW 162 :SIM 0 ", "StepperLimitSwitch2B StepperLimitSwitch3B StepperLimitSwitch4B"},
    };
    QStringList members;
    for (int n = 1; n <= 4; ++n)
        members << QStringLiteral("StepperPresent%1").arg(n) << QStringLiteral("StepperLimitSwitch%1A").arg(n)
                << QStringLiteral("StepperLimitSwitch%1B").arg(n) << QStringLiteral("IsMoving%1").arg(n);
    for (const Row &row : rows) {
        report(row.reports);
        const QStringList expected = QString::fromLatin1(row.trueMembers).split(QLatin1Char(' '));
        for (const QString &member : members)
            EXPECT_EQ(get(s, member), expected.contains(member)) << row.reports << qPrintable(member);
    }
    report(":S1 10 :S2 -20 :S3 30 :S4 40 :S4 abc :CS 7 ");
    for (int n = 1; n <= 4; ++n) {
        const auto position = [&] { return s.Get(QStringLiteral("Stepper%1Position").arg(n)).toLong(); };
        if (n == 4) // its last report is no number: none the controller gives
            expectRefusal(position, DriverErrors::Unavailable, "No response from VKM", "ORVA");
        else
            EXPECT_EQ(position(), (n == 2 ? -20 : 10 * n)) << n;
    }
    EXPECT_EQ(s.Get(QStringLiteral("PrimaryCoverState")).toInteger(), 7);
}

TEST_F(StepperTest, EachStatusQueryHasItsOwnCache)
{
    sim.setValue(QStringLiteral(":SP"), QStringLiteral("2"));
    sim.setValue(QStringLiteral(":SW"), QStringLiteral("4"));
    sim.setStepperPosition(3, -1234);
    sim.setCoverState(5);
    Stepper a, b;
    EXPECT_TRUE(get(a, QStringLiteral("StepperPresent2"))) << "fresh, but never reported: it asks";
    outliveTheCache();
    EXPECT_TRUE(get(a, QStringLiteral("StepperPresent2")));
    EXPECT_FALSE(get(a, QStringLiteral("StepperPresent1")));
    EXPECT_TRUE(get(a, QStringLiteral("StepperLimitSwitch1A")));
    EXPECT_FALSE(get(b, QStringLiteral("StepperLimitSwitch4B")));
    EXPECT_EQ(a.Get(QStringLiteral("Stepper3Position")).toLong(), -1234);
    EXPECT_FALSE(get(a, QStringLiteral("IsMoving3")));
    EXPECT_EQ(a.Get(QStringLiteral("PrimaryCoverState")).toInteger(), 5);
    EXPECT_EQ(a.Get(QStringLiteral("Stepper3Position")).toLong(), -1234);
    // Only the first limit switch asks without the leading blank.
    EXPECT_EQ(sim.received(), QStringLiteral(" 3  3 6  6  2  4  8 "));
    // A new object, its cache fresh, reads what the record holds: no copy of its own.
    sim.clearReceived();
    Stepper c;
    const std::pair<const char *, int32_t> fresh[] = {
        {"StepperPresent2", -1}, {"StepperLimitSwitch1A", -1}, {"Stepper3Position", -1234}, {"PrimaryCoverState", 5}};
    for (const auto &[member, expected] : fresh)
        EXPECT_EQ(c.Get(QString::fromLatin1(member)).toLong(), expected) << member;
    EXPECT_EQ(sent(), QString());
    // A move counts at once: the cached motion predates it, so the next read asks.
    a.Call(QStringLiteral("MoveRelative1"), {Variant(int32_t(1000))});
    EXPECT_TRUE(get(a, QStringLiteral("IsMoving1")));
    EXPECT_FALSE(get(a, QStringLiteral("IsMoving2")));
    EXPECT_EQ(sim.received(), QStringLiteral("a1000  4 "));
    // So does the position it changes, within the cache age too.
    c.Get(QStringLiteral("Stepper1Position"));
    EXPECT_EQ(sent(), QStringLiteral("a1000  4  2 "));
}

TEST_F(StepperTest, SettingsGettersReadTheReportsAndAskForWhatTheyCannotVouchFor)
{
    sim.setSilent(true);
    Stepper s;
    expectRefusal([&] { s.Get(QStringLiteral("MicrostepMode1")); }, DriverErrors::Unavailable, "No response from VKM", "ORVA");
    report(":S2SM 1 :S3SM 2 :S4SM 3 :S2C 45 :S2M 1 ");
    EXPECT_EQ(s.Get(QStringLiteral("MicrostepMode1")).toInteger(), 1);
    EXPECT_EQ(sim.received(), QStringLiteral("1 "));

    report(":S5SM 2 :S5C 90 ");
    const int64_t start = Clock::Now();
    EXPECT_EQ(s.Get(QStringLiteral("MicrostepMode4")).toInteger(), 2);
    EXPECT_DOUBLE_EQ(s.Get(QStringLiteral("StepperCurrent1")).toDouble(), 0.5);
    EXPECT_DOUBLE_EQ(s.Get(QStringLiteral("StepperCurrent4")).toDouble(), 1.0);
    EXPECT_EQ(s.Get(QStringLiteral("OperationMode")).toInteger(), 1);
    EXPECT_LT(Clock::Now() - start, 100);
    EXPECT_EQ(sim.received(), QStringLiteral("1 "));

    // The link moves to another controller: only its stepper values and slope count.
    ControllerSimulator second;
    for (const auto &[code, text] : {std::pair(":S2C", "90"), std::pair(":sl1", "100000"), std::pair(":S5SM", "3")})
        second.setValue(QString::fromLatin1(code), QString::fromLatin1(text));
    qputenv("VKM_COM2", second.devicePath().toLocal8Bit());
    sharedLink()->setConnected(false);
    sharedLink()->setPort(2);
    sharedLink()->setConnected(true);
    EXPECT_DOUBLE_EQ(s.Get(QStringLiteral("StepperCurrent1")).toDouble(), 1.0);
    EXPECT_EQ(s.Get(QStringLiteral("MicrostepMode4")).toInteger(), 3);
    expectRefusal([&] { s.Call(QStringLiteral("PrimaryOpen")); }, DriverErrors::InvalidOperation,
                  "Operation Mode is not set as Primary Mirror Cover", "ORVA");
    Focuser f;
    f.Let(QStringLiteral("TempCompCoefficient"), Variant(2.0));
    EXPECT_TRUE(second.waitForReceived(QStringLiteral(" =2000 "), 1000));
    EXPECT_EQ(second.received(), QStringLiteral("1  l  =2000 "));
    sharedLink()->setConnected(false);
    sharedLink()->setPort(1);
}

TEST_F(StepperTest, SettersSendTheirCommandsAndRefuseValuesOutOfRange)
{
    Stepper s;
    report(":S5SM 0 :S3C 45 ");
    const char *current = "Stepper current value out of range.", *halt = "Halt channel value out of range.";
    const std::tuple<const char *, Variant, const char *> lets[] = { // member, value, refusal (none: sent)
        {"StepperCurrent1", Variant(0.5), nullptr},   {"StepperCurrent4", Variant(1.0), nullptr},
        {"StepperCurrent2", Variant(1.01), current},  {"StepperCurrent3", Variant(-0.1), current},
        {"StepperCurrent3", Variant(0.125), nullptr}, // 7.5 sixtieths round to even
        {"MicrostepMode4", Variant(int16_t(3)), nullptr}, {"MicrostepMode1", Variant(int16_t(0)), nullptr},
        {"MicrostepMode2", Variant(int16_t(4)), "Microstep mode value out of range."},
        {"OperationMode", Variant(int16_t(2)), "Operation mode value out of range."},
        {"OperationMode", Variant(int16_t(1)), nullptr},
        {"Halt", Variant(int16_t(17)), halt}, {"Halt", Variant(int16_t(-1)), halt},
        {"Halt", Variant(int16_t(0)), nullptr}, {"Halt", Variant(int16_t(16)), nullptr},
    };
    for (const auto &[member, value, refusal] : lets) {
        const QString name = QString::fromLatin1(member);
        const auto set = [&] { name == QLatin1String("Halt") ? void(s.Call(name, {value})) : s.Let(name, value); };
        if (refusal)
            expectRefusal(set, DriverErrors::ValueOutOfRange, refusal, "ORVA");
        else
            set();
    }
    s.Call(QStringLiteral("MoveRelative1"), {Variant(int32_t(10))});
    s.Call(QStringLiteral("MoveRelative2"), {Variant(int32_t(-500))});
    s.Call(QStringLiteral("MoveRelative3"), {Variant(int32_t(2147483647))});
    s.Call(QStringLiteral("MoveRelative4"), {Variant(int32_t(0))});
    const QString expected = QStringLiteral("930 9252 9136 D19 D4 01 30 316 a10 B-500 C2147483647 d0 ");
    EXPECT_TRUE(sim.waitForReceived(expected, 1000));
    EXPECT_EQ(sim.received(), expected);

    EXPECT_DOUBLE_EQ(s.Get(QStringLiteral("StepperCurrent1")).toDouble(), 0.5);
    EXPECT_DOUBLE_EQ(s.Get(QStringLiteral("StepperCurrent2")).toDouble(), 0.5) << "the reported 45 stays";
    EXPECT_DOUBLE_EQ(s.Get(QStringLiteral("StepperCurrent3")).toDouble(), 8 / 60.0) << "as commanded";
    EXPECT_EQ(s.Get(QStringLiteral("MicrostepMode4")).toInteger(), 3);
    EXPECT_EQ(s.Get(QStringLiteral("MicrostepMode2")).toInteger(), 0);
    EXPECT_EQ(s.Get(QStringLiteral("OperationMode")).toInteger(), 1);
    EXPECT_EQ(s.Get(QStringLiteral("Name")).toString(), QStringLiteral("ORVA VKM STEPPER INTERFACE"));
    EXPECT_EQ(s.Get(QStringLiteral("AppVersion")).toString().count(QLatin1Char('.')), 2);
}

TEST_F(StepperTest, CoverAndMovesRefusedOnAClosedPortOrOutsideCoverMode)
{
    Stepper s;
    sharedLink()->setConnected(false);
    const int32_t notLinked = DriverErrors::NotLinked;
    expectRefusal([&] { s.Call(QStringLiteral("PrimaryOpen")); }, notLinked, "VKM not connected", "ORVA");
    expectRefusal([&] { s.Call(QStringLiteral("PrimaryClose")); }, notLinked, "VKM not connected", "ORVA");
    expectRefusal([&] { s.Call(QStringLiteral("MoveRelative3"), {Variant(int32_t(5))}); }, notLinked,
                  "VKM not connected", "ORVA");
    expectRefusal([&] { s.Call(QStringLiteral("Halt"), {Variant(int16_t(0))}); }, notLinked, "VKM not connected",
                  "ORVA");

    sharedLink()->setConnected(true);
    const char *notCover = "Operation Mode is not set as Primary Mirror Cover";
    expectRefusal([&] { s.Call(QStringLiteral("PrimaryOpen")); }, DriverErrors::InvalidOperation, notCover, "ORVA");
    report(":S2M 1 ");
    s.Call(QStringLiteral("PrimaryOpen"));
    s.Call(QStringLiteral("PrimaryClose"));
    report(":S2M 0 ");
    expectRefusal([&] { s.Call(QStringLiteral("PrimaryClose")); }, DriverErrors::InvalidOperation, notCover, "ORVA");
    Wait::For(50);
    EXPECT_EQ(sim.received(), QStringLiteral("1 71 74 "));

    // Another client's settings: b reads what the controller reports after them, and decides on it.
    s.Let(QStringLiteral("StepperCurrent1"), Variant(1.0));
    Stepper b;
    EXPECT_DOUBLE_EQ(b.Get(QStringLiteral("StepperCurrent1")).toDouble(), 1.0);
    s.Let(QStringLiteral("StepperCurrent1"), Variant(0.5));
    s.Let(QStringLiteral("OperationMode"), Variant(int16_t(1)));
    EXPECT_EQ(b.Get(QStringLiteral("OperationMode")).toInteger(), 1);
    EXPECT_DOUBLE_EQ(b.Get(QStringLiteral("StepperCurrent1")).toDouble(), 0.5);
    b.Call(QStringLiteral("PrimaryOpen"));
    EXPECT_EQ(sent(), QStringLiteral("1 71 74 960 1 930 01 1 71 "));

    // While the cover move waits for the mode another command made stale, a halt of the
    // steppers (from anyone) or an upload's restart ends it unsent; a presence query is no halt.
    // what comes inside the wait, the refusal's number and text (none: sent), the wire
    const std::tuple<const char *, int32_t, const char *, const char *> waits[] = {
        {"32 ", DriverErrors::InvalidOperation, "Halted before the move was sent.", "01 1 32 "},
        {"30 ", DriverErrors::InvalidOperation, "Halted before the move was sent.", "01 1 30 "},
        {" 3 ", 0, nullptr, "01 1  3 71 "},
        {"", DriverErrors::NotLinked, "VKM not connected", "01 1 "},
    };
    for (const auto &[inside, number, refusal, wire] : waits) {
        SCOPED_TRACE(inside);
        s.Let(QStringLiteral("OperationMode"), Variant(int16_t(1)));
        const auto meanwhile = [&, text = QString::fromLatin1(inside)] {
            if (text.isEmpty())
                sharedLink()->ControllerRestarted();
            else if (text.startsWith(QLatin1Char('3')))
                b.Call(QStringLiteral("Halt"), {Variant(int16_t(text.trimmed().mid(1).toInt()))});
            else
                sharedLink()->Transmit(text);
        };
        const auto open = [&] { b.Call(QStringLiteral("PrimaryOpen")); };
        EXPECT_EQ(sentAround('1', meanwhile, [&] { refusal ? expectRefusal(open, number, refusal, "ORVA") : open(); }),
                  QString::fromLatin1(wire));
    }
}
