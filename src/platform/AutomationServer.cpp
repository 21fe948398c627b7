#include "platform/AutomationServer.h"

#include "platform/AutomationWire.h"
#include "platform/CallFiber.h"

#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace {

const QString ObjectPathPrefix = QStringLiteral("/objects/");

const char FactoryXml[] = R"(  <interface name="automation.ClassFactory">
    <method name="CreateInstance">
      <arg name="progId" type="s" direction="in"/>
      <arg name="object" type="o" direction="out"/>
    </method>
  </interface>
)";

const char DispatchXml[] = R"(  <interface name="automation.Dispatch">
    <method name="GetProperty">
      <arg name="name" type="s" direction="in"/>
      <arg name="args" type="av" direction="in"/>
      <arg name="value" type="v" direction="out"/>
    </method>
    <method name="PutProperty">
      <arg name="name" type="s" direction="in"/>
      <arg name="args" type="av" direction="in"/>
      <arg name="value" type="v" direction="in"/>
    </method>
    <method name="Invoke">
      <arg name="name" type="s" direction="in"/>
      <arg name="args" type="av" direction="in"/>
      <arg name="result" type="av" direction="out"/>
    </method>
    <method name="Release"/>
  </interface>
)";

// The signature each method of the contract takes.
QString signatureOf(const QString &member)
{
    static const QHash<QString, QString> signatures = {
        {QStringLiteral("CreateInstance"), QStringLiteral("s")},
        {QStringLiteral("GetProperty"), QStringLiteral("sav")},
        {QStringLiteral("PutProperty"), QStringLiteral("savv")},
        {QStringLiteral("Invoke"), QStringLiteral("sav")},
        {QStringLiteral("Release"), QString()},
    };
    return signatures.value(member);
}

// The reply `body` makes, or the refusal it throws.
template <typename Body> QDBusMessage answer(const QDBusMessage &call, Body body)
{
    try {
        return body();
    } catch (const VbError &error) {
        return AutomationWire::ErrorReply(call, error);
    } catch (const std::exception &error) {
        return AutomationWire::ErrorReply(call, VbError(440, QString::fromLocal8Bit(error.what())));
    } catch (...) {
        // Whatever a member throws, its caller gets an answer.
        return AutomationWire::ErrorReply(call, VbError(440, QStringLiteral("Automation error")));
    }
}

bool isCall(const QDBusMessage &message, const QString &interface, const QStringList &members)
{
    return (message.interface().isEmpty() || message.interface() == interface) && members.contains(message.member());
}

} // namespace

AutomationServer::AutomationServer(const QDBusConnection &connection)
    : m_connection(connection)
{
    m_owners.setConnection(connection);
    m_owners.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&m_owners, &QDBusServiceWatcher::serviceUnregistered, this, &AutomationServer::releaseOwnedBy);
    if (!m_connection.registerVirtualObject(AutomationWire::FactoryPath, this, QDBusConnection::SubPath))
        qWarning("Automation server: cannot serve objects on this bus connection");
    // The connection tells no one when the bus goes; a look each second costs nothing.
    if (m_connection.isConnected()) {
        connect(&m_busCheck, &QTimer::timeout, this, &AutomationServer::checkBus);
        m_busCheck.start(1000);
    }
}

void AutomationServer::checkBus()
{
    if (m_connection.isConnected())
        return;
    m_busCheck.stop();
    QStringList owners;
    for (const auto &[path, exported] : m_objects)
        if (!owners.contains(exported.owner))
            owners << exported.owner;
    for (const QString &owner : std::as_const(owners))
        releaseOwnedBy(owner);
    emit busClosed();
}

void AutomationServer::ReleaseNames()
{
    for (const QString &name : std::as_const(m_busNames))
        m_connection.unregisterService(name);
    m_busNames.clear();
}

bool AutomationServer::StartedByBus()
{
    // The bus gives the programs it starts the address of the bus that started them.
    return !qEnvironmentVariableIsEmpty("DBUS_STARTER_ADDRESS") || !qEnvironmentVariableIsEmpty("DBUS_STARTER_BUS_TYPE");
}

AutomationServer::~AutomationServer()
{
    m_connection.unregisterObject(AutomationWire::FactoryPath, QDBusConnection::UnregisterTree);
    ReleaseNames();
}

AutomationServer &AutomationServer::Session()
{
    // Lives until the process ends, which it does without unwinding.
    static auto *server = new AutomationServer(QDBusConnection::sessionBus());
    return *server;
}

bool AutomationServer::RegisterClass(const QString &progId, DispatchFactory factory)
{
    m_classes.insert(progId.toCaseFolded(), std::move(factory));
    if (m_busNames.contains(progId))
        return true;
    if (!m_connection.registerService(progId))
        return false;
    m_busNames << progId;
    return true;
}

QString AutomationServer::introspect(const QString &path) const
{
    if (path == AutomationWire::FactoryPath)
        return QString::fromLatin1(FactoryXml);
    if (m_objects.count(path))
        return QString::fromLatin1(DispatchXml);
    return QString();
}

bool AutomationServer::handleMessage(const QDBusMessage &message, const QDBusConnection &)
{
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    const bool factoryCall = message.path() == AutomationWire::FactoryPath
                             && isCall(message, AutomationWire::FactoryInterface, {QStringLiteral("CreateInstance")});
    const bool objectCall = message.path().startsWith(ObjectPathPrefix)
                            && isCall(message, AutomationWire::DispatchInterface,
                                      {QStringLiteral("GetProperty"), QStringLiteral("PutProperty"),
                                       QStringLiteral("Invoke"), QStringLiteral("Release")});
    if (!factoryCall && !objectCall)
        return false; // introspection and the like, or an unknown method
    if (message.signature() != signatureOf(message.member())) {
        m_connection.send(message.createErrorReply(
            QDBusError::InvalidArgs,
            QStringLiteral("%1 takes (%2), not (%3)").arg(message.member(), signatureOf(message.member()), message.signature())));
        return true;
    }
    // Each call runs on a fiber of its own: its waits hold up no other client's call.
    if (factoryCall) {
        CallFiber::Start([this, message] { createInstance(message); });
        return true;
    }
    const auto found = m_objects.find(message.path());
    if (found == m_objects.end())
        m_connection.send(message.createErrorReply(QDBusError::UnknownObject,
                                                   QStringLiteral("No object at %1").arg(message.path())));
    else if (message.service() != found->second.owner)
        // Another client's object: neither its members nor its end are this caller's.
        m_connection.send(AutomationWire::ErrorReply(message, VbError(70, QStringLiteral("Permission denied"))));
    else if (message.member() == QLatin1String("Release"))
        release(message);
    else
        CallFiber::Start([this, message, object = found->second.object] { serve(message, object); });
    return true;
}

void AutomationServer::createInstance(const QDBusMessage &call)
{
    const QString progId = call.arguments().at(0).toString();
    const DispatchFactory factory = m_classes.value(progId.toCaseFolded());
    bool created = false;
    m_connection.send(answer(call, [&] {
        std::shared_ptr<Dispatch> object = factory ? factory() : nullptr;
        if (!object)
            throw VbError(429, QStringLiteral("ActiveX component can't create object"));
        const QString path = ObjectPathPrefix + QString::number(++m_lastObjectId);
        m_objects[path] = {std::move(object), call.service()};
        created = true;
        return call.createReply(QVariant::fromValue(QDBusObjectPath(path)));
    }));
    if (created)
        watchOwner(call.service());
}

void AutomationServer::serve(const QDBusMessage &call, std::shared_ptr<Dispatch> object)
{
    m_connection.send(answer(call, [&] {
        const QVariantList in = call.arguments();
        const QString name = in.at(0).toString();
        const VariantArray args = AutomationWire::FromWireList(in.at(1));
        if (call.member() == QLatin1String("GetProperty"))
            return call.createReply(QVariant::fromValue(QDBusVariant(AutomationWire::ToWire(object->Get(name, args)))));
        if (call.member() == QLatin1String("PutProperty")) {
            object->Let(name, args, AutomationWire::FromWire(in.at(2)));
            return call.createReply();
        }
        const Variant result = object->Call(name, args);
        const VariantArray results = result.isEmpty() ? VariantArray() : VariantArray{result};
        return call.createReply(QVariant::fromValue(AutomationWire::ToWireList(results)));
    }));
    // A Release that came while the member ran leaves this call the last holder.
    dispose(std::move(object));
}

void AutomationServer::release(const QDBusMessage &call)
{
    const auto found = m_objects.find(call.path());
    Exported released = std::move(found->second);
    m_objects.erase(found);
    released.object->Abandon();
    m_connection.send(call.createReply());
    forgetOwnerIfIdle(released.owner);
    dispose(std::move(released.object));
}

void AutomationServer::watchOwner(const QString &owner)
{
    if (owner.isEmpty() || m_owners.watchedServices().contains(owner))
        return;
    m_owners.addWatchedService(owner);
    // The watch reports only departures after it began; one before it is seen here.
    QDBusConnectionInterface *bus = m_connection.interface();
    if (bus && !bus->isServiceRegistered(owner).value())
        releaseOwnedBy(owner);
}

void AutomationServer::releaseOwnedBy(const QString &owner)
{
    std::vector<std::shared_ptr<Dispatch>> released;
    for (auto it = m_objects.begin(); it != m_objects.end();) {
        if (it->second.owner == owner) {
            it->second.object->Abandon();
            released.push_back(std::move(it->second.object));
            it = m_objects.erase(it);
        } else {
            ++it;
        }
    }
    m_owners.removeWatchedService(owner);
    for (auto &object : released)
        dispose(std::move(object));
}

void AutomationServer::forgetOwnerIfIdle(const QString &owner)
{
    for (const auto &[path, exported] : m_objects)
        if (exported.owner == owner)
            return;
    m_owners.removeWatchedService(owner);
}

void AutomationServer::dispose(std::shared_ptr<Dispatch> object)
{
    // Its end may end the process: every answer sent so far must be on the bus first.
    if (object.use_count() == 1)
        flush();
    object.reset();
}

void AutomationServer::flush()
{
    // Messages leave in order, so once the bus has answered this, it has everything before.
    m_connection.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                     QStringLiteral("/org/freedesktop/DBus"),
                                                     QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")),
                      QDBus::Block);
}
