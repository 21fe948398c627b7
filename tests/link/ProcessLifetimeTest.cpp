#include "link/ModuleState.h"
#include "link/Serial.h"
#include "link/connector.h"
#include "platform/DataFolder.h"
#include "platform/SystemTimer.h"
#include "platform/VbFiles.h"
#include "platform/Wait.h"

#include "support/ControllerSimulator.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cstdio>
#include <gtest/gtest.h>

// Each case ends its process, so it runs in a child: the death-test machinery checks the
// exit code and what the child printed before it ended.
class ProcessLifetime : public ::testing::Test
{
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ProcessLifetime, OnlyTheLastHolderEndsTheProcessWithCodeZero)
{
    EXPECT_EXIT(
        {
            Main();
            auto focuser = std::make_unique<connector>();
            auto rotator = std::make_unique<connector>();
            auto window = std::make_unique<connector>();
            if (focuser->Class() != window->Class() || !focuser->Class())
                std::_Exit(3);
            focuser.reset();
            rotator.reset();
            std::fprintf(stderr, "alive with %d holder\n", Module().link.ClientCount);
            window.reset();
            std::_Exit(4);
        },
        ::testing::ExitedWithCode(0), "alive with 1 holder");
}

TEST_F(ProcessLifetime, TheEndClosesTheDataLogAndKillsItsTimer)
{
    const QString log = DataFolder::file(QStringLiteral("lifetime-test.csv"));
    QFile::remove(log);
    EXPECT_EXIT(
        {
            auto holder = std::make_unique<connector>();
            ModuleState &m = Module();
            m.tools.LogFileNumber = VbFiles::FreeFile();
            VbFiles::Open(m.tools.LogFileNumber, log, VbFiles::Mode::Output);
            VbFiles::Print(m.tools.LogFileNumber, QStringLiteral("Time,Ambient\r\n12:00:00,68.12\r\n"));
            m.tools.LogTimerId = int32_t(SystemTimer::SetTimer(1000, [] {}));
            holder.reset();
            std::_Exit(4);
        },
        ::testing::ExitedWithCode(0), "");
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("Time,Ambient\r\n12:00:00,68.12\r\n"));
}

TEST(StartRoutine, StartedByHandTheProgramStaysWithoutAWindowOrAnOpenPort)
{
    ControllerSimulator sim;
    QProcess vkm;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VKM_COM1"), sim.devicePath());
    // Off the bus: tests running beside this one must not reach this program by its names.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/vkm-test-no-bus"));
    vkm.setProcessEnvironment(env);
    vkm.start(QStringLiteral(VKM_EXECUTABLE), {});
    ASSERT_TRUE(vkm.waitForStarted(5000));
    EXPECT_FALSE(vkm.waitForFinished(700)) << "vkm ended by itself";
    EXPECT_EQ(vkm.state(), QProcess::Running);
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(vkm.processId()));
    for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        EXPECT_NE(fd.symLinkTarget(), sim.devicePath());
    EXPECT_TRUE(sim.received().isEmpty());
    vkm.kill();
    vkm.waitForFinished(5000);
}

namespace {

// A bus of its own that starts vkm for calls to its names, in an environment with no display.
struct ActivatingBus
{
    explicit ActivatingBus(const QString &device)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("VKM_COM1"), device);
        daemon.setProcessEnvironment(env);
        daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=" VKM_BUS_CONFIG), QStringLiteral("--nofork"),
                                                     QStringLiteral("--print-address=1")});
        if (daemon.waitForReadyRead(10000))
            address = QString::fromLocal8Bit(daemon.readLine()).trimmed();
    }
    ~ActivatingBus()
    {
        daemon.kill();
        daemon.waitForFinished(5000);
    }
    // Calls `name` on a connection of its own; the program the call started, by its id.
    qint64 activate(const QString &connectionName)
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, connectionName);
        bus.call(QDBusMessage::createMethodCall(QStringLiteral("VUZA_VU.Focuser"), QStringLiteral("/"),
                                                QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect")));
        const qint64 pid = bus.interface()->servicePid(QStringLiteral("VUZA_VU.Focuser")).value();
        return pid;
    }
    QProcess daemon;
    QString address;
};

// Ended: no process, or one that only waits for its parent to read its exit.
bool ended(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
}

bool endsWithin(qint64 pid, int ms)
{
    QElapsedTimer waited;
    waited.start();
    while (!ended(pid) && waited.elapsed() < ms)
        QThread::msleep(50); // another process: nothing of ours to serve meanwhile
    return ended(pid);
}

} // namespace

TEST(StartRoutine, ActivatedWithoutADisplayItServesRefusesWindowsAndEndsUnheldOrWithItsBus)
{
    ControllerSimulator sim;
    ActivatingBus bus(sim.devicePath());
    ASSERT_FALSE(bus.address.isEmpty());

    // The example of the README, on one connection: link, move, read back.
    QProcess example;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address);
    example.setProcessEnvironment(env);
    example.start(QStringLiteral(VKM_EXAMPLE_CLIENT), {});
    ASSERT_TRUE(Wait::Until(60000, [&] { return example.state() == QProcess::NotRunning; }));
    EXPECT_EQ(example.exitCode(), 0) << example.readAllStandardError().constData();
    EXPECT_EQ(example.readAllStandardOutput(), QByteArray("object /objects/1\nposition 0\nposition 2000\n"));

    // A window member names the missing display. The example's server ends with its object:
    // a call that reached it while it ended would get no reply, so ask once it is gone.
    QDBusConnection client = QDBusConnection::connectToBus(bus.address, QStringLiteral("headless-client"));
    EXPECT_TRUE(Wait::Until(10000, [&] { return !client.interface()->isServiceRegistered(QStringLiteral("VUZA_VU.Focuser")).value(); }));
    QDBusMessage create = QDBusMessage::createMethodCall(QStringLiteral("VUZA_VU.Focuser"), QStringLiteral("/"),
                                                         QStringLiteral("automation.ClassFactory"), QStringLiteral("CreateInstance"));
    create << QStringLiteral("VUZA_VU.Focuser");
    const QDBusMessage created = client.call(create, QDBus::BlockWithGui, 60000);
    ASSERT_EQ(created.type(), QDBusMessage::ReplyMessage) << qPrintable(created.errorMessage());
    const QString path = created.arguments().at(0).value<QDBusObjectPath>().path();
    QDBusMessage show = QDBusMessage::createMethodCall(QStringLiteral("VUZA_VU.Focuser"), path, QStringLiteral("automation.Dispatch"),
                                                       QStringLiteral("Invoke"));
    show << QStringLiteral("ShowForm") << QVariant::fromValue(QVariantList{QVariant::fromValue(QDBusVariant(int(2)))});
    const QDBusMessage refused = client.call(show, QDBus::BlockWithGui, 60000);
    EXPECT_EQ(refused.errorMessage(), QStringLiteral("No display to show a window on (neither DISPLAY nor WAYLAND_DISPLAY is set)"));
    const qint64 held = client.interface()->servicePid(QStringLiteral("VUZA_VU.Focuser")).value();
    client = QDBusConnection(QString()); // the connection closes only when no handle to it is left
    QDBusConnection::disconnectFromBus(QStringLiteral("headless-client"));
    EXPECT_TRUE(endsWithin(held, 5000)) << "the last client left";

    // Started for a call that made no object: it ends by itself.
    const qint64 unclaimed = bus.activate(QStringLiteral("introspecting-client"));
    ASSERT_GT(unclaimed, 0);
    EXPECT_FALSE(endsWithin(unclaimed, 2000));
    EXPECT_TRUE(endsWithin(unclaimed, 15000)) << "nobody holds it";

    // The same, but the bus goes first.
    const qint64 orphan = bus.activate(QStringLiteral("introspecting-client-2"));
    ASSERT_GT(orphan, 0);
    bus.daemon.kill();
    EXPECT_TRUE(endsWithin(orphan, 4000)) << "its bus is gone";
    QDBusConnection::disconnectFromBus(QStringLiteral("introspecting-client"));
    QDBusConnection::disconnectFromBus(QStringLiteral("introspecting-client-2"));
}
