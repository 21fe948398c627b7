#include "platform/CreateObject.h"

#include "platform/DBusObject.h"

#include <QDBusConnection>
#include <QHash>

namespace {

QHash<QString, DispatchFactory> &inProcessClasses()
{
    static QHash<QString, DispatchFactory> classes; // by case-folded ProgID
    return classes;
}

} // namespace

std::shared_ptr<Dispatch> CreateObject(const QString &progId)
{
    const auto found = inProcessClasses().constFind(progId.toCaseFolded());
    if (found != inProcessClasses().constEnd()) {
        const DispatchFactory factory = *found;
        return factory();
    }
    return DBusObject::Create(QDBusConnection::sessionBus(), progId);
}

void RegisterInProcessClass(const QString &progId, DispatchFactory factory)
{
    inProcessClasses().insert(progId.toCaseFolded(), std::move(factory));
}

void UnregisterInProcessClass(const QString &progId)
{
    inProcessClasses().remove(progId.toCaseFolded());
}
