#pragma once

#include "platform/CreateObject.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QHash>
#include <QTimer>
#include <map>

// Serves automation classes to other programs on a D-Bus connection. Each registered ProgID
// is a bus name of its own; at "/" the class factory (automation.ClassFactory
// CreateInstance) makes objects, each at a path of its own with automation.Dispatch
// (GetProperty, PutProperty, Invoke, Release). An object belongs to the connection that
// created it (a call from any other connection is refused and changes nothing) and ends
// with its Release or when that connection leaves the bus; a call of it still running then
// finds it Abandoned.
//
// Members run on the event loop's thread, each call on a fiber of its own (CallFiber): a
// member that waits suspends only its own call, and calls arriving meanwhile are served.
// Before an object goes, every reply sent so far is flushed to the
// bus, so an object whose end ends the process does not cut off its last answer.
class AutomationServer : public QDBusVirtualObject
{
    Q_OBJECT

public:
    explicit AutomationServer(const QDBusConnection &connection);
    ~AutomationServer() override;

    // The program's server, on the session bus, made on first use.
    static AutomationServer &Session();

    // Makes `progId` creatable and takes the bus name `progId`. False when that name is
    // owned by another connection; the class is still served through the other names.
    bool RegisterClass(const QString &progId, DispatchFactory factory);

    // Objects alive on behalf of clients.
    int ObjectCount() const { return int(m_objects.size()); }

    // Gives up every bus name: calls to them start another program from now on.
    void ReleaseNames();

    // True when the bus started this program for a call to one of its names.
    static bool StartedByBus();

signals:
    // The bus connection, open at the start, closed (the bus is gone): every object has
    // ended, since no client can reach it any more.
    void busClosed();

private:
    struct Exported
    {
        std::shared_ptr<Dispatch> object;
        QString owner; // unique bus name of the creating connection
    };

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

    void createInstance(const QDBusMessage &call);
    void serve(const QDBusMessage &call, std::shared_ptr<Dispatch> object);
    void release(const QDBusMessage &call);
    void watchOwner(const QString &owner);
    void releaseOwnedBy(const QString &owner);
    void forgetOwnerIfIdle(const QString &owner);
    void dispose(std::shared_ptr<Dispatch> object);
    void flush();
    void checkBus();

    QDBusConnection m_connection;
    QDBusServiceWatcher m_owners;
    QHash<QString, DispatchFactory> m_classes; // by case-folded ProgID
    QStringList m_busNames;
    std::map<QString, Exported> m_objects; // by path
    quint64 m_lastObjectId = 0;
    QTimer m_busCheck;
};
