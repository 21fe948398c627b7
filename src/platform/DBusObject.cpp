#include "platform/DBusObject.h"

#include "platform/AutomationWire.h"
#include "platform/Wait.h"

#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QRegularExpression>

namespace {

VbError cannotCreate()
{
    return VbError(429, QStringLiteral("ActiveX component can't create object"));
}

// A well-known bus name: two or more elements of letters, digits, "_" and "-", none
// starting with a digit. Anything else could not have been registered.
bool isBusName(const QString &name)
{
    static const QRegularExpression form(
        QStringLiteral("^[A-Za-z_-][A-Za-z0-9_-]*(\\.[A-Za-z_-][A-Za-z0-9_-]*)+$"));
    return name.size() <= 255 && form.match(name).hasMatch();
}

// The bus name, running or activatable, that equals `progId` but for case.
QString busNameLike(const QDBusConnection &connection, const QString &progId)
{
    QDBusConnectionInterface *bus = connection.interface();
    if (!bus)
        return QString();
    const QStringList names = bus->registeredServiceNames().value() + bus->activatableServiceNames().value();
    for (const QString &name : names)
        if (name.compare(progId, Qt::CaseInsensitive) == 0)
            return name;
    return QString();
}

} // namespace

std::shared_ptr<DBusObject> DBusObject::Create(const QDBusConnection &connection, const QString &progId)
{
    if (!connection.isConnected() || !isBusName(progId))
        throw cannotCreate();
    auto createInstance = [&](const QString &service) {
        QDBusMessage call = QDBusMessage::createMethodCall(service, AutomationWire::FactoryPath,
                                                           AutomationWire::FactoryInterface,
                                                           QStringLiteral("CreateInstance"));
        call << progId;
        return Exchange(connection, call);
    };
    QDBusMessage reply = createInstance(progId);
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")) {
        const QString service = busNameLike(connection, progId);
        if (!service.isEmpty() && service != progId)
            reply = createInstance(service);
    }
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (reply.errorName() == AutomationWire::ErrorName)
            throw AutomationWire::ErrorFrom(reply);
        throw cannotCreate();
    }
    const QString path = reply.arguments().value(0).value<QDBusObjectPath>().path();
    if (path.isEmpty())
        throw cannotCreate();
    // Bound to the process that made it: a call after that process ended must fail, not
    // start a new one by activation.
    return std::shared_ptr<DBusObject>(new DBusObject(connection, reply.service(), path));
}

DBusObject::DBusObject(const QDBusConnection &connection, const QString &service, const QString &path)
    : m_connection(connection), m_service(service), m_path(path)
{
}

DBusObject::~DBusObject()
{
    if (!m_connection.isConnected())
        return;
    // Nobody waits for the answer: a destructor must not serve events.
    m_connection.asyncCall(QDBusMessage::createMethodCall(m_service, m_path, AutomationWire::DispatchInterface,
                                                          QStringLiteral("Release")));
}

Variant DBusObject::Invoke(Access access, const QString &name, const VariantArray &args, const Variant &value)
{
    const QVariant wireArgs = QVariant::fromValue(AutomationWire::ToWireList(args));
    switch (access) {
    case Access::Get:
        return AutomationWire::FromWire(dispatchCall(QStringLiteral("GetProperty"), {name, wireArgs}).arguments().value(0));
    case Access::Let:
        dispatchCall(QStringLiteral("PutProperty"),
                     {name, wireArgs, QVariant::fromValue(QDBusVariant(AutomationWire::ToWire(value)))});
        return Variant();
    case Access::Call: {
        const VariantArray result =
            AutomationWire::FromWireList(dispatchCall(QStringLiteral("Invoke"), {name, wireArgs}).arguments().value(0));
        return result.empty() ? Variant() : result.front();
    }
    }
    return Variant();
}

QDBusMessage DBusObject::Exchange(const QDBusConnection &connection, const QDBusMessage &call, int timeoutMs)
{
    QDBusPendingCallWatcher watcher(connection.asyncCall(call, timeoutMs));
    // The watcher's notice of the reply is an event, so this wait ends with it.
    Wait::Until(timeoutMs, [&] { return watcher.isFinished(); });
    return watcher.reply();
}

QDBusMessage DBusObject::dispatchCall(const QString &method, const QVariantList &arguments) const
{
    QDBusMessage call = QDBusMessage::createMethodCall(m_service, m_path, AutomationWire::DispatchInterface, method);
    call.setArguments(arguments);
    const QDBusMessage reply = Exchange(m_connection, call);
    if (reply.type() != QDBusMessage::ReplyMessage)
        throw AutomationWire::ErrorFrom(reply);
    return reply;
}
