// Asks the running vkm (or the one the bus starts) to show its main window, as an
// automation client would: create a Focuser, call ShowForm(2), leave. The main window then
// holds the program. Used by scripts/run.sh.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString name = QStringLiteral("VUZA_VU.Focuser");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "no session bus\n");
        return 1;
    }
    // A vkm started just before may not own its name yet.
    QElapsedTimer waited;
    waited.start();
    while (!bus.interface()->isServiceRegistered(name) && waited.elapsed() < 10000)
        QThread::msleep(50);

    QDBusMessage create = QDBusMessage::createMethodCall(name, QStringLiteral("/"), QStringLiteral("automation.ClassFactory"),
                                                         QStringLiteral("CreateInstance"));
    create << name;
    const QDBusMessage created = bus.call(create, QDBus::Block, 60000);
    if (created.type() != QDBusMessage::ReplyMessage) {
        std::fprintf(stderr, "%s\n", qPrintable(created.errorMessage()));
        return 1;
    }
    const QString path = created.arguments().value(0).value<QDBusObjectPath>().path();
    QDBusMessage show = QDBusMessage::createMethodCall(name, path, QStringLiteral("automation.Dispatch"), QStringLiteral("Invoke"));
    show << QStringLiteral("ShowForm") << QVariant::fromValue(QVariantList{QVariant::fromValue(QDBusVariant(int(2)))});
    const QDBusMessage shown = bus.call(show, QDBus::Block, 60000);
    if (shown.type() != QDBusMessage::ReplyMessage) {
        std::fprintf(stderr, "%s\n", qPrintable(shown.errorMessage()));
        return 1;
    }
    return 0;
}
