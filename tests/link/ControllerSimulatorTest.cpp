// The simulated controller is test equipment; these tests check that it talks as the
// program expects: exact report bursts, motion over time, cut output and a vanishing port.
#include "platform/Clock.h"
#include "platform/Wait.h"
#include "support/ControllerSimulator.h"
#include "support/TestClock.h"

#include <QSerialPort>
#include <QStringList>
#include <gtest/gtest.h>

#include <functional>

namespace {

// The program's side of the line: a serial port on the simulator's device that keeps
// every arrival apart.
struct Port
{
    explicit Port(const QString &path)
    {
        port.setPortName(path);
        port.open(QIODevice::ReadWrite);
        QObject::connect(&port, &QSerialPort::readyRead, [this] { arrivals.append(QString::fromLatin1(port.readAll())); });
        QObject::connect(&port, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
            if (e == QSerialPort::NoError)
                return;
            errors.append(e);
            port.close();
        });
    }
    void send(const char *text)
    {
        port.write(text);
        port.flush();
    }
    QString text() const { return arrivals.join(QString()); }
    bool waitFor(const QString &expected, int timeoutMs = 2000)
    {
        return Wait::Until(timeoutMs, [&] { return text().contains(expected); });
    }

    QSerialPort port;
    QStringList arrivals;
    QList<QSerialPort::SerialPortError> errors;
};

struct Exchange
{
    std::function<void(ControllerSimulator &)> setup;
    const char *commands; // the program's bytes; the query goes last
    const char *answer;   // a run of the answer to the last command
};

} // namespace

class ControllerSimulatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(simulator.isOpen()) << simulator.errorString().toStdString();
        ASSERT_TRUE(port.port.isOpen()) << port.port.errorString().toStdString();
    }

    ControllerSimulator simulator;
    Port port{simulator.devicePath()};
    TestClock clock;
};

TEST(ControllerSimulatorExchange, AnswersEachQueryWithItsReportCodes)
{
    using Sensor = ControllerSimulator::Sensor;
    const Exchange exchanges[] = {
        {nullptr, "! ", ":! 0 "},
        {[](auto &s) { s.setFocuserPosition(1234); }, " Q ", ":tc 0 :frp 0 :s 1234 :a 1234 "},
        {[](auto &s) { s.setRotatorPosition(9000); s.setRotatorWrap(-400); }, " R ", ":rh 1 :rrp 0 :wr -400 :rs 9000 :rt 9000 "},
        {[](auto &s) { s.setTemperature(Sensor::Ambient, 72.5); }, "T ", ":d1 0 :d2 0 :t1 7250 "},
        {nullptr, "V ", ":vr 2.10 "},
        {nullptr, "2 6 3 ", ":S4 0 :SW 0 :SP 170 "},
        // commands change what the next report carries
        {nullptr, "y40 T ", ":fm 0 :fs 40 :fg 10 "},
        {nullptr, " +2  Q ", ":tc 2 :frp 0 :s 0 :a 0 "},
        {nullptr, "D19 930 9252 1 ", ":S2C 45 :S3C 45 :S4C 45 :S5C 90 :S2SM 0 :S3SM 0 :S4SM 0 :S5SM 3 "},
        {nullptr, " `1  f  Q ", ":frp 9 :s 0 :a 0 "},
        {nullptr, " /1  v  R ", ":rrp 9 :wr 0 :rs 0 :rt 0 "},
        {[](auto &s) { s.setRotatorPosition(100); }, " p72000  R ", ":rs 0 :rt 0 "},
        {nullptr, " =1000  F25  l ", ":sl1 50000 :of1 0 :tcc 1000 :tcm 25 :p 10 "},
        // an unterminated command is taken after a pause
        {nullptr, "A0.0123457 D-12.5000000 l", ":sl1 1235 :of1 -1250000 :tcc 0 "},
        {nullptr, "71 8 ", ":CS 2 "},
    };
    for (const Exchange &exchange : exchanges) {
        SCOPED_TRACE(exchange.commands);
        ControllerSimulator simulator;
        Port port(simulator.devicePath());
        if (exchange.setup)
            exchange.setup(simulator);
        port.send(exchange.commands);
        ASSERT_TRUE(port.waitFor(exchange.answer)) << port.text().toStdString();
        EXPECT_EQ(simulator.received().toStdString(), exchange.commands);
        // A burst never ends on a bare code.
        const QStringList tokens = port.text().split(' ');
        ASSERT_GE(tokens.size(), 3);
        EXPECT_TRUE(tokens.last().isEmpty());
        EXPECT_FALSE(tokens.at(tokens.size() - 2).startsWith(':'));
    }
}

TEST_F(ControllerSimulatorTest, SilentAnswersNothingButStillActs)
{
    simulator.setSilent(true);
    port.send("! b500 ");
    ASSERT_TRUE(simulator.waitForReceived("b500 ", 1000));
    EXPECT_TRUE(Wait::Until(1000, [&] { return simulator.focuserPosition() == 500; }));
    EXPECT_TRUE(port.text().isEmpty());
}

TEST_F(ControllerSimulatorTest, MotorsMoveOverTime)
{
    simulator.setFocuserSpeed(100);
    simulator.setRotatorSpeed(4000);
    const int64_t start = Clock::Now();
    port.send("b1000 j-36000 ");
    ASSERT_TRUE(Wait::Until(1000, [&] { return simulator.focuserPosition() > 0; }));
    EXPECT_LT(simulator.focuserPosition(), 1000);
    EXPECT_TRUE(simulator.focuserMoving());
    EXPECT_EQ(simulator.focuserTarget(), 1000);
    EXPECT_EQ(simulator.rotatorTarget(), 36000);

    ASSERT_TRUE(Wait::Until(2000, [&] { return !simulator.focuserMoving() && !simulator.rotatorMoving(); }));
    EXPECT_GE(Clock::Now() - start, 100) << "ten 10 ms ticks of 100 steps";
    EXPECT_LT(Clock::Now() - start, 200);
    EXPECT_EQ(simulator.focuserPosition(), 1000);
    EXPECT_EQ(simulator.rotatorPosition(), 36000);
    EXPECT_EQ(simulator.rotatorWrap(), -36000);

    port.send(" Q  R ");
    EXPECT_TRUE(port.waitFor(":s 1000 :a 1000 "));
    EXPECT_TRUE(port.waitFor(":wr -36000 :rs 36000 :rt 36000 "));
}

TEST_F(ControllerSimulatorTest, ChunkingCutsOutputIntoSeparateArrivals)
{
    simulator.setChunking({3, 7, 99});
    simulator.sendRaw(":s 1234 :a 5 ");
    ASSERT_TRUE(port.waitFor(":s 1234 :a 5 "));
    EXPECT_EQ(port.arrivals, QStringList({":s ", "1234", " :a 5 "}));

    port.arrivals.clear();
    simulator.setRandomChunking(7, 4);
    port.send(" Q ");
    ASSERT_TRUE(port.waitFor(":s 0 :a 0 "));
    EXPECT_GT(port.arrivals.size(), 8);
    for (const QString &arrival : std::as_const(port.arrivals))
        EXPECT_LE(arrival.size(), 4) << arrival.toStdString();
    EXPECT_TRUE(Wait::Until(1000, [&] { return !simulator.hasPendingOutput(); }));
}

TEST_F(ControllerSimulatorTest, VanishedDeviceIsSeenByTheReader)
{
    simulator.vanish();
    EXPECT_FALSE(simulator.isOpen());
    // A serial port reports the hang-up as a read error, again on every turn until closed.
    EXPECT_TRUE(Wait::Until(1000, [&] { return !port.errors.isEmpty(); }));
    EXPECT_EQ(port.errors.first(), QSerialPort::ReadError);
    simulator.sendRaw(":! 0 "); // goes nowhere, and does not fail
    EXPECT_FALSE(simulator.hasPendingOutput());
}
