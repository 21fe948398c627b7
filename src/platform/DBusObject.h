#pragma once

#include "platform/Dispatch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <limits>

// An automation object served by another program on the bus. Every access goes to it and
// waits for the answer in the event loop, so events and calls into this program are served
// meanwhile; the object is released when the proxy goes.
class DBusObject : public Dispatch
{
public:
    // Creates an object of class `progId` through the class factory at the bus name
    // `progId` (a name differing only in case is found too). VbError 429 "ActiveX component
    // can't create object" when no such class answers; a refusal of the factory is thrown
    // as it came.
    static std::shared_ptr<DBusObject> Create(const QDBusConnection &connection, const QString &progId);

    ~DBusObject() override;

    QString service() const { return m_service; }
    QString path() const { return m_path; }

    // Generous: members may wait long for a device or a modal dialog.
    static constexpr int CallTimeoutMs = std::numeric_limits<int>::max();

    // Sends `call` and serves events until its reply (an error reply included) arrives.
    static QDBusMessage Exchange(const QDBusConnection &connection, const QDBusMessage &call,
                                 int timeoutMs = CallTimeoutMs);

protected:
    Variant Invoke(Access access, const QString &name, const VariantArray &args,
                   const Variant &value) override;

private:
    DBusObject(const QDBusConnection &connection, const QString &service, const QString &path);

    // Calls `method` of the object; an error reply is thrown.
    QDBusMessage dispatchCall(const QString &method, const QVariantList &arguments) const;

    QDBusConnection m_connection;
    QString m_service;
    QString m_path;
};
