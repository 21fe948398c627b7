#include "support/PollingClients.h"

#include "platform/Wait.h"
#include "support/ControllerSimulator.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <functional>

namespace {

constexpr int CallTimeoutMs = 60000;

QVariant noArgs()
{
    return QVariant::fromValue(QVariantList());
}

} // namespace

struct PollingClients::Client
{
    Client(const QString &address, const QString &progId, const QString &property)
        : progId(progId), property(property), bus(QDBusConnection::connectToBus(address, QStringLiteral("polling-") + progId))
    {
    }
    ~Client()
    {
        bus = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(QStringLiteral("polling-") + progId);
    }

    QDBusMessage message(const QString &objectPath, const QString &interface, const QString &method, const QVariantList &args) const
    {
        QDBusMessage m = QDBusMessage::createMethodCall(progId, objectPath, interface, method);
        m.setArguments(args);
        return m;
    }

    // Sends `m`; `done` gets the reply and the round trip in ms.
    void send(const QDBusMessage &m, std::function<void(const QDBusMessage &, double)> done)
    {
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(m, CallTimeoutMs));
        QElapsedTimer started;
        started.start();
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, started, done] {
            done(watcher->reply(), double(started.nsecsElapsed()) / 1e6);
            watcher->deleteLater();
        });
    }

    QString progId;
    QString property;
    QDBusConnection bus;
    QString path;
    bool linked = false;
    bool inFlight = false;
};

PollingClients::PollingClients(ControllerSimulator &sim, const QString &vkmExecutable, bool mainWindow)
{
    // A bus of their own: tests running beside this one activate vkm by the same names.
    m_bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                                               QStringLiteral("--print-address=1")});
    if (!m_bus.waitForReadyRead(10000)) {
        m_startError = QStringLiteral("no private bus: ") + m_bus.errorString();
        return;
    }
    m_address = QString::fromLocal8Bit(m_bus.readLine()).trimmed();
    const QDBusConnection control = QDBusConnection::connectToBus(m_address, QStringLiteral("polling-control"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VKM_COM1"), sim.devicePath());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    m_vkm.setProcessEnvironment(env);
    m_vkm.start(vkmExecutable, {});
    const QStringList names = {QStringLiteral("VUZA_VU.Focuser"), QStringLiteral("VUZA_VU.Rotator"),
                               QStringLiteral("VUZA_VU.Temperature"), QStringLiteral("VUZA_VU.Stepper")};
    QDBusConnectionInterface *bus = control.interface();
    const auto owned = [&] {
        return std::all_of(names.begin(), names.end(), [bus](const QString &n) { return bus->isServiceRegistered(n).value(); });
    };
    // The bus's name table changes with no event here: ask again and again.
    QElapsedTimer waited;
    waited.start();
    while (!owned() && waited.elapsed() < 10000)
        Wait::For(20);
    if (!owned()) {
        m_startError = QStringLiteral("vkm did not take its bus names");
        return;
    }
    const QStringList properties = {QStringLiteral("Position"), QStringLiteral("Position"), QStringLiteral("AmbientTemp"),
                                    QStringLiteral("Stepper1Position")};
    for (int i = 0; i < names.size(); ++i) {
        auto client = std::make_unique<Client>(m_address, names[i], properties[i]);
        const QDBusMessage created = client->bus.call(
            client->message(QStringLiteral("/"), QStringLiteral("automation.ClassFactory"), QStringLiteral("CreateInstance"), {names[i]}),
            QDBus::BlockWithGui, CallTimeoutMs);
        client->path = created.arguments().value(0).value<QDBusObjectPath>().path();
        if (client->path.isEmpty()) {
            m_startError = names[i] + QStringLiteral(" not created: ") + created.errorMessage();
            return;
        }
        m_clients.push_back(std::move(client));
    }
    if (!mainWindow)
        return;
    Client &focuser = *m_clients.front();
    const QDBusMessage shown = focuser.bus.call(
        focuser.message(focuser.path, QStringLiteral("automation.Dispatch"), QStringLiteral("Invoke"),
                        {QStringLiteral("ShowForm"), QVariant::fromValue(QVariantList{QVariant::fromValue(QDBusVariant(int(2)))})}),
        QDBus::BlockWithGui, CallTimeoutMs);
    if (shown.type() != QDBusMessage::ReplyMessage)
        m_startError = QStringLiteral("ShowForm(2): ") + shown.errorMessage();
}

PollingClients::~PollingClients()
{
    m_clients.clear(); // leaving the bus ends the objects; the main window still holds vkm
    m_vkm.kill();
    m_vkm.waitForFinished(5000);
    QDBusConnection::disconnectFromBus(QStringLiteral("polling-control"));
    m_bus.kill();
    m_bus.waitForFinished(5000);
}

PollingClients::Result PollingClients::run(int durationMs, int periodMs)
{
    Result result;
    for (auto &client : m_clients) {
        Client *c = client.get();
        c->send(c->message(c->path, QStringLiteral("automation.Dispatch"), QStringLiteral("PutProperty"),
                           {QStringLiteral("Connected"), noArgs(), QVariant::fromValue(QDBusVariant(true))}),
                [c, &result](const QDBusMessage &reply, double) {
                    if (reply.type() == QDBusMessage::ReplyMessage)
                        c->linked = true;
                    else
                        result.failures << c->progId + QStringLiteral(" Connected: ") + reply.errorMessage();
                });
    }
    QTimer poll;
    poll.setInterval(periodMs);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (auto &client : m_clients) {
            Client *c = client.get();
            if (!c->linked || c->inFlight)
                continue;
            c->inFlight = true;
            c->send(c->message(c->path, QStringLiteral("automation.Dispatch"), QStringLiteral("GetProperty"), {c->property, noArgs()}),
                    [c, &result](const QDBusMessage &reply, double ms) {
                        c->inFlight = false;
                        result.callMs.push_back(ms);
                        if (reply.type() != QDBusMessage::ReplyMessage)
                            result.failures << c->progId + QLatin1Char(' ') + c->property + QStringLiteral(": ") + reply.errorMessage();
                    });
        }
    });
    poll.start();
    Wait::For(durationMs);
    poll.stop();
    // The calls still in flight finish; their results belong to this run.
    Wait::Until(CallTimeoutMs, [&] {
        return std::none_of(m_clients.begin(), m_clients.end(), [](const auto &c) { return c->inFlight; });
    });
    return result;
}

double PollingClients::percentile(std::vector<double> ms, double share)
{
    if (ms.empty())
        return 0;
    std::sort(ms.begin(), ms.end());
    const auto index = std::min(ms.size() - 1, size_t(share * double(ms.size())));
    return ms[index];
}
