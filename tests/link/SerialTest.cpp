#include "link/ModuleState.h"
#include "link/Serial.h"
#include "platform/Clock.h"
#include "platform/Wait.h"
#include "support/AsOrdinaryUser.h"
#include "support/ControllerSimulator.h"
#include "support/CpuTime.h"
#include "support/SimulatorThread.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <unistd.h>
#include <gtest/gtest.h>

namespace {

class SerialTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.isOpen()) << qPrintable(sim.errorString());
        qputenv("VKM_COM1", sim.devicePath().toLocal8Bit());
        Module().tools = ModuleState::Tools{};
    }
    void TearDown() override { Module().tools = ModuleState::Tools{}; }

    void open()
    {
        serial.setPort(1);
        serial.setConnected(true);
        ASSERT_TRUE(serial.Connected());
    }

    // Collects the chunks handed out.
    void subscribe()
    {
        serial.subscribe(&receiver, [this](const QString &s) { chunks << s; });
    }

    ControllerSimulator sim;
    Serial serial;
    QObject receiver;
    QObject secondReceiver;
    QStringList chunks;
};

} // namespace

TEST_F(SerialTest, CreatedClosedOnPortOneAtNineThousandSixHundredBaud)
{
    EXPECT_FALSE(serial.Connected());
    EXPECT_EQ(serial.Port(), 1);
    EXPECT_EQ(serial.Settings(), QStringLiteral("9600,N,8,1"));
    EXPECT_EQ(serial.Speed(), Serial::ps9600);
    EXPECT_EQ(serial.ReceiveTimeout(), 5);
}

TEST_F(SerialTest, TransmitSendsExactlyTheTextAndIsOnTheWireWhenItReturns)
{
    open();
    serial.Transmit(QStringLiteral(" Q "));
    EXPECT_EQ(serial.OutBufferCount(), 0);
    serial.Transmit(QStringLiteral("b1234 "));
    serial.Transmit(QStringLiteral("x\u00B0\u00FF"));
    EXPECT_TRUE(sim.waitForReceived(QStringLiteral(" Q b1234 x\u00B0\u00FF"), 2000));
    EXPECT_EQ(sim.received(), QStringLiteral(" Q b1234 x\u00B0\u00FF"));

    // While a firmware upload owns the line only its own text goes out.
    sim.clearReceived();
    Module().tools.FlashInProgress = true;
    serial.Transmit(QStringLiteral(" T "));
    serial.TransmitBinary("E12 ");
    serial.TransmitForUpload(QStringLiteral("S1"));
    // Nor does anybody close or reopen the line under it.
    for (const bool open : {false, true}) {
        try {
            serial.setConnected(open);
            ADD_FAILURE() << "no refusal";
        } catch (const VbError &e) {
            EXPECT_EQ(e.description(), QStringLiteral("The port is in use by a firmware upload."));
        }
    }
    EXPECT_TRUE(serial.Connected());
    Module().tools.FlashInProgress = false;
    serial.Transmit(QStringLiteral(" Q "));
    EXPECT_TRUE(sim.waitForReceived(QStringLiteral(" Q "), 2000));
    EXPECT_EQ(sim.received(), QStringLiteral("S1 Q "));
}

TEST_F(SerialTest, TransmitOnAClosedPortIsDroppedSilently)
{
    EXPECT_NO_THROW(serial.Transmit(QStringLiteral("! ")));
    Wait::For(50);
    EXPECT_TRUE(sim.received().isEmpty());
}

TEST_F(SerialTest, EverySubscriberGetsTheSameChunksAndStatusBytesKeepTheirCodes)
{
    open();
    QStringList first, second;
    serial.subscribe(&receiver, [&](const QString &s) { first << s; });
    serial.subscribe(&secondReceiver, [&](const QString &s) { second << s; });
    sim.sendRaw(QByteArray(":x \x06\xB0 "));
    EXPECT_TRUE(Wait::Until(2000, [&] { return first.join(QString()).size() >= 6; }));
    EXPECT_EQ(first, second);
    const QString all = first.join(QString());
    EXPECT_EQ(all, QStringLiteral(":x \u0006\u00B0 "));
    EXPECT_EQ(all.at(4).unicode(), 0xB0);
}

TEST_F(SerialTest, ChunksCutByArrivalReachSubscribersSeparatelyAndATrickleComesGathered)
{
    open();
    subscribe();
    sim.setChunking({4});
    sim.sendRaw(":s 1234 ");
    EXPECT_TRUE(Wait::Until(2000, [&] { return chunks.join(QString()) == QStringLiteral(":s 1234 "); }));
    EXPECT_EQ(chunks, QStringList({QStringLiteral(":s 1"), QStringLiteral("234 ")}));

    // A byte a millisecond, as a line at 9600 baud brings them, also with the port reopened
    // under it: whole, in order, in fewer chunks; then a chunk on the quiet line as one.
    sim.clearChunking();
    const QByteArray text = QByteArray(":s 1234 :a 567 :t1 89 ").repeated(4);
    for (const bool reopen : {false, true}) {
        chunks.clear();
        qsizetype next = 0;
        QTimer trickle;
        trickle.setTimerType(Qt::PreciseTimer);
        QObject::connect(&trickle, &QTimer::timeout, [&] { next < text.size() ? sim.sendRaw(text.mid(next++, 1)) : trickle.stop(); });
        trickle.start(1);
        ASSERT_TRUE(Wait::Until(3000, [&] { return next >= text.size() / 2; }));
        const qsizetype from = reopen ? next : 0; // what came before is gone with the buffer
        if (reopen)
            serial.setConnected(false), serial.setConnected(true), chunks.clear();
        EXPECT_TRUE(Wait::Until(3000, [&] { return chunks.join(QString()).toLatin1() == text.mid(from); })) << reopen;
        EXPECT_LT(chunks.size(), (text.size() - from) / 2) << "a chunk for every byte";
        Wait::For(20);
        chunks.clear();
        sim.sendRaw(":b 1 ");
        EXPECT_TRUE(Wait::Until(2000, [&] { return chunks == QStringList({QStringLiteral(":b 1 ")}); })) << reopen;
    }
}

TEST_F(SerialTest, ArrivalsAreDeliveredWhileASubscriberPumpsInsideItsHandler)
{
    open();
    QStringList outer, other;
    bool othersServedMeanwhile = false;
    serial.subscribe(&receiver, [&](const QString &s) {
        outer << s;
        if (s.contains(QLatin1String("first")) && !othersServedMeanwhile) {
            sim.sendRaw("second ");
            // A modal box or a driver wait: the next arrival still reaches the others; this
            // subscriber gets it after it returns, never in the middle of its handler.
            othersServedMeanwhile =
                Wait::Until(2000, [&] { return other.join(QString()).contains(QLatin1String("second")); });
            EXPECT_EQ(outer.join(QString()), QStringLiteral("first "));
        }
    });
    serial.subscribe(&secondReceiver, [&](const QString &s) { other << s; });
    sim.sendRaw("first ");
    EXPECT_TRUE(Wait::Until(3000, [&] { return outer.join(QString()).contains(QLatin1String("second")); }));
    EXPECT_TRUE(othersServedMeanwhile);
    EXPECT_EQ(other.join(QString()), QStringLiteral("first second "));
    EXPECT_EQ(outer.join(QString()), QStringLiteral("first second "));
}

TEST_F(SerialTest, ASubscriberGoneDuringDeliveryGetsNothingMore)
{
    open();
    auto doomed = std::make_unique<QObject>();
    QStringList seen;
    serial.subscribe(doomed.get(), [&](const QString &s) {
        seen << s;
        doomed.reset();
    });
    subscribe();
    sim.sendRaw("one ");
    ASSERT_TRUE(Wait::Until(2000, [&] { return !chunks.isEmpty(); }));
    sim.sendRaw("two ");
    ASSERT_TRUE(Wait::Until(2000, [&] { return chunks.join(QString()) == QStringLiteral("one two "); }));
    EXPECT_EQ(seen, QStringList({QStringLiteral("one ")}));
}

TEST_F(SerialTest, WhileAnUploadHoldsTheInputNothingIsDeliveredAndNothingIsLost)
{
    open();
    subscribe();
    Module().tools.FlashAckFlag = true;
    Module().tools.FlashInProgress = true;
    const QByteArray big(6000, 'k'); // more than a 4096-byte input buffer
    sim.sendRaw(big);
    EXPECT_TRUE(Wait::Until(3000, [&] { return serial.InBufferCount() == 6000; }));
    EXPECT_TRUE(chunks.isEmpty());
    EXPECT_EQ(serial.RecieveNoTimeout(), QString::fromLatin1(big));
    EXPECT_EQ(serial.InBufferCount(), 0);
    EXPECT_EQ(serial.RecieveNoTimeout(), QString());

    // Outside an upload the flag holds nothing back.
    Module().tools.FlashInProgress = false;
    sim.sendRaw(":a 4321 ");
    EXPECT_TRUE(Wait::Until(2000, [&] { return chunks.join(QString()) == QLatin1String(":a 4321 "); }));
}

TEST_F(SerialTest, OpeningAnOpenPortEmptiesItsBuffersWithoutError)
{
    open();
    Module().tools.FlashAckFlag = true;
    Module().tools.FlashInProgress = true;
    sim.sendRaw("pending ");
    ASSERT_TRUE(Wait::Until(2000, [&] { return serial.InBufferCount() == 8; }));
    Module().tools.FlashInProgress = false;
    EXPECT_NO_THROW(serial.setConnected(true));
    EXPECT_TRUE(serial.Connected());
    EXPECT_EQ(serial.InBufferCount(), 0);
}

// The layer's error names the device, where its name came from and the system's reason.
TEST_F(SerialTest, APortThatDoesNotOpenStaysClosedAndSaysWhichDeviceAndWhy)
{
    QTemporaryDir dir;
    const QString locked = dir.filePath(QStringLiteral("locked"));
    QFile file(locked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.setPermissions({});
    const QString group = QFileInfo(locked).group();
    Serial holder; // another program's hold on the simulator's line
    holder.setPort(1);
    holder.setConnected(true);
    struct Case { int16_t port; QByteArray device; int32_t number; QString text; };
    const Case cases[] = {
        {7, "/dev/nonexistent-vkm-port", 8002, "Invalid port number: /dev/nonexistent-vkm-port (from VKM_COM7): no such device"},
        {99, "", 8002, "Invalid port number: /dev/ttyS98 (the default of port 99; VKM_COM99 names another): no such device"},
        {1, sim.devicePath().toLocal8Bit(), 8005, "Port already open: " + sim.devicePath() + " (from VKM_COM1): busy (another program has it open)"},
        {7, locked.toLocal8Bit(), 8005, "Port already open: " + locked + " (from VKM_COM7): permission denied (the device belongs to the group \"" + group + "\": add your user to it and log in again)"},
    };
    const AsOrdinaryUser user; // the superuser would open anything
    for (const Case &c : cases) {
        c.device.isEmpty() ? qunsetenv("VKM_COM99") : qputenv(qPrintable(QStringLiteral("VKM_COM%1").arg(c.port)), c.device);
        serial.setPort(c.port);
        try {
            serial.setConnected(true);
            ADD_FAILURE() << "no error";
        } catch (const VbError &e) {
            EXPECT_EQ(e.number(), c.number);
            EXPECT_EQ(e.description().toStdString(), c.text.toStdString());
            EXPECT_TRUE(e.source().isEmpty());
        }
        EXPECT_FALSE(serial.Connected());
    }
    qunsetenv("VKM_COM7");
}

TEST_F(SerialTest, ThePortNumberCannotChangeWhileOpen)
{
    open();
    EXPECT_THROW(serial.setPort(2), VbError);
    EXPECT_EQ(serial.Port(), 1);
    serial.setConnected(false);
    serial.setPort(2);
    EXPECT_EQ(serial.Port(), 2);
}

TEST_F(SerialTest, AVanishedDeviceClosesThePortWithoutSpinning)
{
    open();
    QStringList notices; // said once, naming the device and the system's reason
    QObject::connect(&serial, &Serial::closedOnItsOwn, [&](const QString &notice) { notices << notice; });
    sim.vanish();
    EXPECT_TRUE(Wait::Until(2000, [&] { return !serial.Connected(); }));
    EXPECT_EQ(notices.join(QLatin1Char('|')).toStdString(), ("The port closed: " + sim.devicePath() + " (from VKM_COM1): no such device").toStdString());
    const double cpuBefore = cpuSeconds();
    Wait::For(200);
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.05);
    EXPECT_NO_THROW(serial.Transmit(QStringLiteral("! ")));
}

TEST_F(SerialTest, AControllerThatDoesNotReadForAWhileLeavesThePortOpenAndLosesNothing)
{
    open();
    // No event is served meanwhile: the simulator reads nothing and the line fills up.
    QString all;
    for (int i = 0; i < 4000; ++i) {
        const QString command = QStringLiteral("b%1 ").arg(i);
        serial.Transmit(command);
        all += command;
    }
    EXPECT_TRUE(serial.Connected());
    EXPECT_TRUE(sim.waitForReceived(QStringLiteral("b3999 "), 5000));
    EXPECT_EQ(sim.received(), all);
    EXPECT_TRUE(serial.Connected());
}

TEST_F(SerialTest, OwnRefusalsCarryTheirNumbersTextsAndSource)
{
    struct Case
    {
        std::function<void()> call;
        int32_t number;
        const char *text;
    };
    const Case cases[] = {
        {[&] { serial.setReceiveTimeout(0); }, Serial::ErrTimeoutRange, "Timeout must be 1 - 120 seconds."},
        {[&] { serial.setReceiveTimeout(121); }, Serial::ErrTimeoutRange, "Timeout must be 1 - 120 seconds."},
        {[&] { serial.setSpeed(2000); }, Serial::ErrUnsupportedSpeed, "Unsupported port speed. Use the PortSpeed enumeration."},
    };
    for (const Case &c : cases) {
        try {
            c.call();
            ADD_FAILURE() << c.text;
        } catch (const VbError &e) {
            EXPECT_EQ(e.number(), c.number);
            EXPECT_EQ(e.description(), QString::fromLatin1(c.text));
            EXPECT_EQ(e.source(), QStringLiteral("ASCOM Helper Serial Port Object"));
        }
    }
    EXPECT_EQ(serial.ReceiveTimeout(), 5);
    EXPECT_EQ(serial.Settings(), QStringLiteral("9600,N,8,1"));
    serial.setReceiveTimeout(120);
    EXPECT_EQ(serial.ReceiveTimeout(), 120);
    serial.setSpeed(Serial::ps14400);
    EXPECT_EQ(serial.Settings(), QStringLiteral("14400,N,8,1"));
    EXPECT_EQ(serial.Speed(), Serial::ps14400);

    const auto counted = serial.ReceiveCounted(0);
    ASSERT_TRUE(counted.error);
    EXPECT_EQ(counted.error->number(), Serial::ErrCharacterCount);
    EXPECT_EQ(counted.error->description(), QStringLiteral("Character count must be positive and greater than 0."));
    const auto terminated = serial.ReceiveTerminated(QString());
    ASSERT_TRUE(terminated.error);
    EXPECT_EQ(terminated.error->number(), Serial::ErrEmptyTerminator);
    EXPECT_EQ(terminated.error->description(), QStringLiteral("Terminator string must have at least one character."));
}

TEST_F(SerialTest, BlockingReceivesReadWhatArrivesOrTimeOut)
{
    open();
    Module().tools.FlashAckFlag = true; // keep the subscribers from taking the bytes
    serial.setReceiveTimeout(1);
    sim.sendRaw("ab#cd");
    ASSERT_TRUE(Wait::Until(2000, [&] { return serial.InBufferCount() == 5; }));
    const auto terminated = serial.ReceiveTerminated(QStringLiteral("#"));
    EXPECT_FALSE(terminated.error);
    EXPECT_EQ(terminated.value, QStringLiteral("ab#"));
    const auto counted = serial.ReceiveCounted(1);
    EXPECT_EQ(counted.value, QStringLiteral("c"));
    const auto byte = serial.ReceiveByte();
    EXPECT_FALSE(byte.error);
    EXPECT_EQ(byte.value, 'd');
    const auto nothing = serial.Receive();
    ASSERT_TRUE(nothing.error);
    EXPECT_EQ(nothing.error->number(), Serial::ErrTimedOut);
    EXPECT_EQ(nothing.error->description(), QStringLiteral("Timed out waiting for received data."));
    EXPECT_TRUE(nothing.value.isEmpty());
}

TEST_F(SerialTest, SafetyOptionsAnswerOnlyForIDispatch)
{
    const QUuid dispatch(QStringLiteral("{00020400-0000-0000-C000-000000000046}"));
    const QUuid other(QStringLiteral("{00000000-0000-0000-C000-000000000046}"));
    uint32_t supported = 0, enabled = 0;
    EXPECT_EQ(serial.GetInterfaceSafetyOptions(&dispatch, &supported, &enabled), 0);
    EXPECT_EQ(supported, 1u);
    EXPECT_EQ(enabled, 1u);
    EXPECT_EQ(serial.GetInterfaceSafetyOptions(&other, &supported, &enabled), Serial::E_NOINTERFACE);
    EXPECT_EQ(serial.GetInterfaceSafetyOptions(nullptr, &supported, &enabled), 0);
    EXPECT_EQ(serial.SetInterfaceSafetyOptions(&dispatch, 1, 1), 0);
    EXPECT_EQ(serial.SetInterfaceSafetyOptions(&dispatch, 3, 3), Serial::E_FAIL);
    EXPECT_EQ(serial.SetInterfaceSafetyOptions(&other, 1, 1), Serial::E_NOINTERFACE);
    EXPECT_EQ(serial.SetInterfaceSafetyOptions(nullptr, 0, 0), 0);
}

// Loops that serve no events (the firmware exchange) read the port through these members.
TEST(SerialWithoutEvents, ReadsThePortItselfAndPassesOverAClosedPort)
{
    SimulatorThread sim;
    qputenv("VKM_COM1", sim.devicePath().toLocal8Bit());
    Module().tools.FlashAckFlag = false;
    Serial serial;
    EXPECT_EQ(serial.InBufferCount(), 0);
    serial.setConnected(true);
    QObject receiver;
    QStringList chunks;
    serial.subscribe(&receiver, [&](const QString &s) { chunks << s; });

    sim.run([](ControllerSimulator &s) { s.sendRaw(QByteArray(":x \0 *", 6)); });
    const uint32_t start = Clock::GetTickCount();
    while (serial.InBufferCount() < 6 && Clock::TicksSince(start) < 1000) {
    }
    EXPECT_EQ(serial.RecieveNoTimeout(), QString::fromLatin1(":x \0 *", 6));
    serial.Transmit(QStringLiteral("E"));
    EXPECT_EQ(serial.OutBufferCount(), 0);
    EXPECT_TRUE(Wait::Until(1000, [&] { return sim.received() == QLatin1String("E"); }));
    EXPECT_TRUE(chunks.isEmpty()); // what the caller read is not handed out again
    serial.setConnected(false);
}
