// The Focuser as an outside client sees it: over the session bus, served by the vkm program.
#include "support/ControllerSimulator.h"
#include "platform/Wait.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

const QString FocuserName = QStringLiteral("VUZA_VU.Focuser");
constexpr int CallTimeoutMs = 60000;

// One client: a bus connection of its own, which leaving the bus ends its objects.
class Client
{
public:
    explicit Client(const QString &name)
        : m_name(name), m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name))
    {
    }
    ~Client() { leave(); }

    // The connection closes only when no handle to it is left.
    void leave()
    {
        m_bus = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(m_name);
    }

    QDBusMessage call(const QString &path, const QString &interface, const QString &method, const QVariantList &args)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(FocuserName, path, interface, method);
        message.setArguments(args);
        return m_bus.call(message, QDBus::BlockWithGui, CallTimeoutMs); // the simulator answers meanwhile
    }

    QString create()
    {
        const QDBusMessage reply = call(QStringLiteral("/"), QStringLiteral("automation.ClassFactory"),
                                        QStringLiteral("CreateInstance"), {FocuserName});
        if (reply.type() != QDBusMessage::ReplyMessage)
            return QString();
        return reply.arguments().value(0).value<QDBusObjectPath>().path();
    }

    QDBusMessage dispatch(const QString &path, const QString &method, const QVariantList &args)
    {
        return call(path, QStringLiteral("automation.Dispatch"), method, args);
    }

private:
    QString m_name;
    QDBusConnection m_bus;
};

QVariant noArgs()
{
    return QVariant::fromValue(QVariantList());
}

bool nameOwned()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(FocuserName);
}

// The bus's name table changes in other processes, with no event here: ask again and again.
bool pollUntil(int timeoutMs, const std::function<bool()> &condition)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition()) {
        if (elapsed.elapsed() > timeoutMs)
            return false;
        Wait::For(20);
    }
    return true;
}

} // namespace

TEST(FocuserOverTheBus, ActivationLinkReadsRefusalsAndTheEndWhenTheClientLeaves)
{
    ControllerSimulator sim;
    ASSERT_TRUE(sim.isOpen());
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected());
    ASSERT_FALSE(nameOwned());

    // The program started by the bus inherits the bus's environment: give it ours.
    qDBusRegisterMetaType<QMap<QString, QString>>();
    QMap<QString, QString> environment;
    for (const char *name : {"VKM_HOME", "VKM_REGISTRY", "QT_QPA_PLATFORM"})
        environment.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
    environment.insert(QStringLiteral("VKM_COM1"), sim.devicePath());
    QDBusMessage update = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                                         QStringLiteral("org.freedesktop.DBus"),
                                                         QStringLiteral("UpdateActivationEnvironment"));
    update << QVariant::fromValue(environment);
    ASSERT_EQ(bus.call(update).type(), QDBusMessage::ReplyMessage);

    {
        // A call to the name with no program behind it starts vkm.
        Client client(QStringLiteral("focuser-client-1"));
        const QString path = client.create();
        ASSERT_FALSE(path.isEmpty());
        EXPECT_TRUE(nameOwned());

        // A refusal reaches the client with its text, number and source.
        const QDBusMessage refused = client.dispatch(path, QStringLiteral("Invoke"), {QStringLiteral("move"), QVariant::fromValue(QVariantList{1234})});
        ASSERT_EQ(refused.type(), QDBusMessage::ErrorMessage);
        EXPECT_EQ(refused.errorName(), QStringLiteral("automation.Error"));
        EXPECT_EQ(refused.errorMessage(), QStringLiteral("Serial link not established"));
        ASSERT_GE(refused.arguments().size(), 3);
        EXPECT_EQ(refused.arguments().at(1).toInt(), int(0x80040407));
        EXPECT_EQ(refused.arguments().at(2).toString(), QStringLiteral("VKM"));

        // Linked to the simulated controller, the position is the controller's.
        sim.setFocuserPosition(2500);
        const QDBusMessage linked = client.dispatch(path, QStringLiteral("PutProperty"),
                                                    {QStringLiteral("Link"), noArgs(), QVariant::fromValue(QDBusVariant(true))});
        ASSERT_EQ(linked.type(), QDBusMessage::ReplyMessage) << qPrintable(linked.errorMessage());
        const QDBusMessage position = client.dispatch(path, QStringLiteral("GetProperty"), {QStringLiteral("Position"), noArgs()});
        ASSERT_EQ(position.type(), QDBusMessage::ReplyMessage);
        EXPECT_EQ(position.arguments().at(0).value<QDBusVariant>().variant().toInt(), 2500);
        EXPECT_TRUE(sim.received().startsWith(QStringLiteral("! V  T l ")));

        // Another client's object, made after the controller reported: the controller's values.
        sim.setFocuserPosition(12345);
        Client second(QStringLiteral("focuser-client-1b"));
        const QString other = second.create();
        ASSERT_FALSE(other.isEmpty());
        for (const char *member : {"Position", "SetPosition"}) {
            const QDBusMessage value = second.dispatch(other, QStringLiteral("GetProperty"), {QString::fromLatin1(member), noArgs()});
            ASSERT_EQ(value.type(), QDBusMessage::ReplyMessage) << member << qPrintable(value.errorMessage());
            EXPECT_EQ(value.arguments().at(0).value<QDBusVariant>().variant().toInt(), 12345) << member;
        }
        EXPECT_EQ(second.dispatch(other, QStringLiteral("Release"), {}).type(), QDBusMessage::ReplyMessage);

        // Release ends the object; being the last holder, it ends the program too.
        const QDBusMessage released = client.dispatch(path, QStringLiteral("Release"), {});
        EXPECT_EQ(released.type(), QDBusMessage::ReplyMessage);
        EXPECT_TRUE(pollUntil(5000, [] { return !nameOwned(); }));
    }

    // A client that leaves the bus while it holds an object: the program ends with code 0.
    QProcess vkm;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VKM_COM1"), sim.devicePath());
    vkm.setProcessEnvironment(env);
    vkm.start(QStringLiteral(VKM_EXECUTABLE), {});
    ASSERT_TRUE(vkm.waitForStarted(5000));
    ASSERT_TRUE(pollUntil(10000, [] { return nameOwned(); }));
    Client client(QStringLiteral("focuser-client-2"));
    ASSERT_FALSE(client.create().isEmpty());
    EXPECT_EQ(vkm.state(), QProcess::Running);
    client.leave();
    ASSERT_TRUE(Wait::Until(10000, [&] { return vkm.state() == QProcess::NotRunning; }));
    EXPECT_EQ(vkm.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(vkm.exitCode(), 0);
}
