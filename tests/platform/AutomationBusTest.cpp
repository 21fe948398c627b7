// The D-Bus bridge end to end inside this program: a server on a connection of its own, and
// clients (the proxy of CreateObject and raw messages) on other connections of the same bus.
#include "platform/AutomationServer.h"
#include "platform/AutomationWire.h"
#include "platform/CreateObject.h"
#include "platform/DBusObject.h"
#include "platform/Wait.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>
#include <limits>
#include <unistd.h>

namespace {

class Fake : public Dispatch
{
public:
    Fake()
    {
        ++Alive;
        ++Made;
        PropertyGet("Value", [this] { return Value; });
        PropertyLet("Value", [this](const Variant &value) { Value = value; });
        PropertyGet("Coefficient", [] { return 0.1f; });
        Method("Echo", [](const Variant &value) { return value; });
        Method("Twice", [](int16_t n) { return int32_t(n) * 2; });
        Method("Nothing", [] {});
        Method("Refuse", [] { throw AutomationError(1042, "Fan Speed value out of range.", "VKM"); });
        Method("ThrowOdd", [] { throw 42; });
        Method("Signal", [] { Signalled = true; });
        Method("WaitForSignal", [this](int32_t ms) {
            if (OnWait)
                OnWait();
            const bool signalled = Wait::Until(ms, [] { return Signalled; });
            AbandonedWhenWoken = Abandoned();
            return signalled;
        });
    }
    ~Fake() override { --Alive; }

    Variant Value;
    static inline int Alive = 0;
    static inline int Made = 0;
    static inline bool Signalled = false;
    static inline bool AbandonedWhenWoken = false;
    static inline std::function<void()> OnWait;
};

// Ends the process when it ends, as the last driver object does.
class EndsTheProcess : public Dispatch
{
public:
    ~EndsTheProcess() override { _exit(0); }
};

QString fakeProgId()
{
    // Test programs share the bus and run side by side: one name each.
    return QStringLiteral("VkmTest.Fake%1").arg(QCoreApplication::applicationPid());
}

QDBusMessage dispatchCall(const QString &service, const QString &path, const QString &method,
                          const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, AutomationWire::DispatchInterface, method);
    call.setArguments(arguments);
    return call;
}

QDBusMessage createInstanceCall(const QString &service, const QString &progId)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, "/", AutomationWire::FactoryInterface, "CreateInstance");
    call << progId;
    return call;
}

QVariant args(const QVariantList &list = {})
{
    return QVariant::fromValue(list);
}

QVariant variant(const QVariant &value)
{
    return QVariant::fromValue(QDBusVariant(value));
}

class AutomationBus : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "no session bus: run under dbus-run-session";
        m_serverBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "vkm-test-server");
        server = std::make_unique<AutomationServer>(m_serverBus);
        ASSERT_TRUE(server->RegisterClass(fakeProgId(), [] { return std::make_shared<Fake>(); }));
        Fake::Made = 0;
        Fake::Signalled = false;
        Fake::AbandonedWhenWoken = false;
        Fake::OnWait = nullptr;
    }
    void TearDown() override
    {
        server.reset();
        EXPECT_EQ(Fake::Alive, 0);
    }

    // A raw call from the client connection, answered while this thread serves the server.
    static QDBusMessage exchange(const QDBusMessage &call, const QDBusConnection &bus = QDBusConnection::sessionBus())
    {
        return DBusObject::Exchange(bus, call, 5000);
    }

    // A new object through the factory; its path.
    static QString createRaw(const QDBusConnection &bus = QDBusConnection::sessionBus())
    {
        const QDBusMessage reply = exchange(createInstanceCall(fakeProgId(), fakeProgId()), bus);
        return reply.arguments().value(0).value<QDBusObjectPath>().path();
    }

    std::unique_ptr<AutomationServer> server;

private:
    QDBusConnection m_serverBus{QString()};
};

} // namespace

TEST_F(AutomationBus, ValuesCrossTheWireAsTheContractTypesThem)
{
    const QString path = createRaw();
    ASSERT_FALSE(path.isEmpty());
    // What a client sends to a member taking a Variant, and what the same value comes back as.
    const struct
    {
        QVariant in;
        QMetaType outType;
        QVariant out;
    } cases[] = {
        {true, QMetaType::fromType<bool>(), true},
        {QVariant::fromValue<qint16>(-5), QMetaType::fromType<qint16>(), QVariant::fromValue<qint16>(-5)},
        {QVariant::fromValue<uchar>(200), QMetaType::fromType<qint16>(), QVariant::fromValue<qint16>(200)},
        {QVariant::fromValue<ushort>(65535), QMetaType::fromType<qint32>(), 65535},
        {70000, QMetaType::fromType<qint32>(), 70000},
        {7u, QMetaType::fromType<qint32>(), 7},
        {3000000000u, QMetaType::fromType<double>(), 3e9},
        {QVariant::fromValue<qlonglong>(-5), QMetaType::fromType<qint32>(), -5},
        {QVariant::fromValue<qlonglong>(5000000000LL), QMetaType::fromType<double>(), 5e9},
        {2.5, QMetaType::fromType<double>(), 2.5},
        {QStringLiteral("abc"), QMetaType::fromType<QString>(), QStringLiteral("abc")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.in.toString().toStdString());
        const QDBusMessage reply = exchange(dispatchCall(fakeProgId(), path, "Invoke", {"Echo", args({variant(c.in)})}));
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        EXPECT_EQ(reply.signature(), "av");
        const QVariantList results = qdbus_cast<QVariantList>(reply.arguments().value(0));
        ASSERT_EQ(results.size(), 1);
        EXPECT_EQ(results[0].metaType(), c.outType);
        EXPECT_EQ(results[0], c.out);
    }
    // A property reads as a variant; a Single goes out as the double that prints like it.
    const QDBusMessage single = exchange(dispatchCall(fakeProgId(), path, "GetProperty", {"Coefficient", args()}));
    EXPECT_EQ(single.signature(), "v");
    EXPECT_EQ(single.arguments().value(0).value<QDBusVariant>().variant(), QVariant(0.1));
    // Empty goes out as the empty string.
    const QDBusMessage empty = exchange(dispatchCall(fakeProgId(), path, "GetProperty", {"value", args()}));
    EXPECT_EQ(empty.arguments().value(0).value<QDBusVariant>().variant(), QVariant(QString("")));
    // A member that returns nothing answers an empty array.
    const QDBusMessage nothing = exchange(dispatchCall(fakeProgId(), path, "Invoke", {"Nothing", args()}));
    EXPECT_EQ(nothing.signature(), "av");
    EXPECT_TRUE(qdbus_cast<QVariantList>(nothing.arguments().value(0)).isEmpty());
    // A struct is no automation value.
    const QDBusMessage mismatch = exchange(dispatchCall(fakeProgId(), path, "Invoke", {"Echo", args({variant(QVariant::fromValue(QDBusObjectPath("/x")))})}));
    EXPECT_EQ(mismatch.errorName(), "automation.Error");
    EXPECT_EQ(mismatch.errorMessage(), "Type mismatch");
}

TEST_F(AutomationBus, ArgumentsAreCoercedAsALateBoundCall)
{
    const QString path = createRaw();
    const struct
    {
        QVariant in;
        int32_t result; // or the error number below
        int error;
    } cases[] = {
        {true, -2, 0},
        {QStringLiteral("2.5"), 4, 0},
        {3.5, 8, 0},
        {QVariant::fromValue<qlonglong>(20000), 40000, 0},
        {40000u, 0, 6},
        {QStringLiteral("abc"), 0, 13},
        {std::numeric_limits<double>::quiet_NaN(), 0, 6}, // no VB Double holds these
        {-std::numeric_limits<double>::infinity(), 0, 6},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.in.toString().toStdString());
        const QDBusMessage reply = exchange(dispatchCall(fakeProgId(), path, "Invoke", {"TWICE", args({variant(c.in)})}));
        if (c.error) {
            EXPECT_EQ(reply.errorName(), "automation.Error");
            EXPECT_EQ(reply.arguments().value(1), QVariant(c.error));
        } else {
            EXPECT_EQ(qdbus_cast<QVariantList>(reply.arguments().value(0)), QVariantList{c.result});
        }
    }
    const QDBusMessage put = exchange(dispatchCall(fakeProgId(), path, "PutProperty", {"Value", args(), variant(QVariant::fromValue<qint16>(3))}));
    EXPECT_EQ(put.type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(put.signature(), "");
}

TEST_F(AutomationBus, ARefusalIsAutomationErrorWithNumberAndSource)
{
    const QString path = createRaw();
    const QDBusMessage reply = exchange(dispatchCall(fakeProgId(), path, "Invoke", {"Refuse", args()}));
    EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(reply.errorName(), "automation.Error");
    EXPECT_EQ(reply.errorMessage(), "Fan Speed value out of range.");
    EXPECT_EQ(reply.signature(), "sis");
    EXPECT_EQ(reply.arguments(), (QVariantList{"Fan Speed value out of range.", 1042, "VKM"}));

    // Not even an exception: the caller still gets its answer.
    const QDBusMessage odd = exchange(dispatchCall(fakeProgId(), path, "Invoke", {"ThrowOdd", args()}));
    EXPECT_EQ(odd.arguments(), (QVariantList{"Automation error", 440, ""}));

    const QDBusMessage unknown = exchange(dispatchCall(fakeProgId(), path, "GetProperty", {"Nope", args()}));
    EXPECT_EQ(unknown.arguments(), (QVariantList{"Object doesn't support this property or method", 438, ""}));

    const QDBusMessage badSignature = exchange(dispatchCall(fakeProgId(), path, "GetProperty", {"Value"}));
    EXPECT_EQ(badSignature.errorName(), "org.freedesktop.DBus.Error.InvalidArgs");

    const QDBusMessage noClass = exchange(createInstanceCall(fakeProgId(), "VkmTest.NoSuchClass"));
    EXPECT_EQ(noClass.arguments(), (QVariantList{"ActiveX component can't create object", 429, ""}));
}

TEST_F(AutomationBus, TheProxyOfCreateObjectGetsPutsAndInvokes)
{
    const std::shared_ptr<Dispatch> object = CreateObject(fakeProgId().toLower()); // the bus name differs in case
    ASSERT_TRUE(std::dynamic_pointer_cast<DBusObject>(object));
    EXPECT_TRUE(std::dynamic_pointer_cast<DBusObject>(object)->service().startsWith(':'));
    EXPECT_EQ(Fake::Alive, 1);

    const Variant values[] = {Variant(true), Variant(int16_t(-3)), Variant(int32_t(70000)), Variant(2.25),
                              Variant("text"), Variant(VariantArray{Variant(int16_t(1)), Variant("a")})};
    for (const Variant &value : values) {
        object->Let("value", value);
        EXPECT_EQ(object->Get("VALUE"), value);
    }
    object->Let("Value", Variant());
    EXPECT_EQ(object->Get("Value"), Variant(""));
    EXPECT_EQ(object->Get("Coefficient"), Variant(0.1));
    EXPECT_EQ(object->Call("Twice", {Variant("21")}), Variant(int32_t(42)));
    EXPECT_TRUE(object->Call("Nothing").isEmpty());
    try {
        object->Call("Refuse");
        ADD_FAILURE();
    } catch (const AutomationError &error) {
        EXPECT_EQ(error.number(), 1042);
        EXPECT_EQ(error.description(), "Fan Speed value out of range.");
        EXPECT_EQ(error.source(), "VKM");
    }
}

TEST_F(AutomationBus, CreateObjectFailsWith429ForWhatNobodyServes)
{
    for (const QString &progId : {QStringLiteral("VkmTest.Nobody"), QStringLiteral("not a name"), QString()}) {
        try {
            CreateObject(progId);
            ADD_FAILURE() << progId.toStdString();
        } catch (const AutomationError &error) {
            EXPECT_EQ(error.number(), 429);
            EXPECT_EQ(error.description(), "ActiveX component can't create object");
        }
    }
}

TEST_F(AutomationBus, ReleaseEndsTheObject)
{
    auto object = CreateObject(fakeProgId());
    EXPECT_EQ(server->ObjectCount(), 1);
    object.reset();
    EXPECT_TRUE(Wait::Until(5000, [&] { return server->ObjectCount() == 0 && Fake::Alive == 0; }));

    const QString path = createRaw();
    const QDBusMessage released = exchange(dispatchCall(fakeProgId(), path, "Release", {}));
    EXPECT_EQ(released.type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Fake::Alive, 0);
    const QDBusMessage gone = exchange(dispatchCall(fakeProgId(), path, "GetProperty", {"Value", args()}));
    EXPECT_EQ(gone.errorName(), "org.freedesktop.DBus.Error.UnknownObject");
}

TEST_F(AutomationBus, AnotherConnectionsCallsOnAnObjectAreRefused)
{
    const QString path = createRaw();
    exchange(dispatchCall(fakeProgId(), path, "PutProperty", {"Value", args(), variant(7)}));
    QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "vkm-test-other");
    for (const QDBusMessage &call : {dispatchCall(fakeProgId(), path, "PutProperty", {"Value", args(), variant(8)}),
                                     dispatchCall(fakeProgId(), path, "Release", {})}) {
        const QDBusMessage reply = exchange(call, other);
        EXPECT_EQ(reply.errorName(), "automation.Error") << call.member().toStdString();
        EXPECT_EQ(reply.arguments(), (QVariantList{"Permission denied", 70, ""})) << call.member().toStdString();
    }
    QDBusConnection::disconnectFromBus("vkm-test-other");
    const QDBusMessage mine = exchange(dispatchCall(fakeProgId(), path, "GetProperty", {"Value", args()}));
    EXPECT_EQ(mine.arguments().value(0).value<QDBusVariant>().variant(), QVariant(7));
    exchange(dispatchCall(fakeProgId(), path, "Release", {}));
}

TEST_F(AutomationBus, AClientThatLeavesTheBusReleasesItsObjects)
{
    {
        QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "vkm-test-client");
        EXPECT_FALSE(createRaw(client).isEmpty());
        // One of its objects is in a call that waits when the client goes: the call finds it abandoned.
        client.asyncCall(dispatchCall(fakeProgId(), createRaw(client), "Invoke", {"WaitForSignal", args({variant(1000)})}));
        client.call(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId"));
    }
    const QString kept = createRaw(); // another client's object stays
    EXPECT_EQ(server->ObjectCount(), 3);
    QDBusConnection::disconnectFromBus("vkm-test-client");
    EXPECT_TRUE(Wait::Until(5000, [&] { return server->ObjectCount() == 1 && Fake::Alive == 1; }));
    EXPECT_TRUE(Fake::AbandonedWhenWoken);
    exchange(dispatchCall(fakeProgId(), kept, "Release", {}));
}

TEST_F(AutomationBus, AClientThatLeftBeforeItsObjectWasMadeDoesNotLeakIt)
{
    {
        QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "vkm-test-early");
        client.asyncCall(createInstanceCall(fakeProgId(), fakeProgId()));
        // Answered by the bus after it has passed the request on: the request is with the
        // server, which has not run yet, when the client leaves.
        client.call(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                   "org.freedesktop.DBus", "GetId"));
    }
    QDBusConnection::disconnectFromBus("vkm-test-early");
    EXPECT_TRUE(Wait::Until(5000, [&] { return server->ObjectCount() == 0 && Fake::Alive == 0 && Fake::Made == 1; }));
}

TEST_F(AutomationBus, CallsAreServedWhileAMemberWaits)
{
    const QString path = createRaw();
    QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "vkm-test-nested");
    const QString waiting = createRaw(other);
    std::unique_ptr<QDBusPendingCallWatcher> signal;
    Fake::OnWait = [&] {
        // While the first client's member waits, a second client calls its own object.
        signal = std::make_unique<QDBusPendingCallWatcher>(
            QDBusConnection::sessionBus().asyncCall(dispatchCall(fakeProgId(), path, "Invoke", {"Signal", args()})));
    };
    QElapsedTimer elapsed;
    elapsed.start();
    const QDBusMessage waited =
        DBusObject::Exchange(other, dispatchCall(fakeProgId(), waiting, "Invoke", {"WaitForSignal", args({variant(4000)})}), 5000);
    EXPECT_LT(elapsed.elapsed(), 3000);
    EXPECT_EQ(qdbus_cast<QVariantList>(waited.arguments().value(0)), QVariantList{true});
    ASSERT_TRUE(signal);
    EXPECT_TRUE(Wait::Until(5000, [&] { return signal->isFinished(); }));
    EXPECT_EQ(signal->reply().type(), QDBusMessage::ReplyMessage);
    exchange(dispatchCall(fakeProgId(), path, "Release", {}));
    exchange(dispatchCall(fakeProgId(), waiting, "Release", {}), other);
    QDBusConnection::disconnectFromBus("vkm-test-nested");
}

// Started by the test below as a process of its own; does nothing in the suite.
TEST(AutomationServerChild, DISABLED_ServesUntilItsObjectEndsTheProcess)
{
    const QString progId = qEnvironmentVariable("VKM_TEST_ENDING_PROGID");
    if (progId.isEmpty())
        GTEST_SKIP();
    AutomationServer server(QDBusConnection::sessionBus());
    ASSERT_TRUE(server.RegisterClass(progId, [] { return std::make_shared<EndsTheProcess>(); }));
    fputs("server ready\n", stdout);
    fflush(stdout);
    Wait::For(20000);
    FAIL() << "the object was not released";
}

TEST_F(AutomationBus, TheReplyToAReleaseThatEndsTheProcessArrives)
{
    const QString progId = QStringLiteral("VkmTest.Ending%1").arg(QCoreApplication::applicationPid());
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VKM_TEST_ENDING_PROGID", progId);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=AutomationServerChild.*", "--gtest_also_run_disabled_tests"});
    QByteArray output;
    ASSERT_TRUE(Wait::Until(10000, [&] {
        output += child.readAllStandardOutput();
        return output.contains("server ready");
    })) << output.toStdString();

    const QDBusMessage created = exchange(createInstanceCall(progId, progId));
    const QString path = created.arguments().value(0).value<QDBusObjectPath>().path();
    ASSERT_FALSE(path.isEmpty()) << created.errorMessage().toStdString();
    const QDBusMessage released = exchange(dispatchCall(progId, path, "Release", {}));
    EXPECT_EQ(released.type(), QDBusMessage::ReplyMessage) << released.errorMessage().toStdString();
    ASSERT_TRUE(Wait::Until(5000, [&] { return child.state() == QProcess::NotRunning; }));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
}
