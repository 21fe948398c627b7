// A client reading the focuser's Position over the session bus, against the simulated
// controller: how long a call takes when the controller answers at once, and how much of a
// core an idle vkm uses while a client polls four times a second.
//
// Run under a session bus that can reach vkm, e.g.
//   dbus-run-session --config-file=build/dbus-session.conf -- build/bench/position_bench build/src/app/vkm
#include "platform/Wait.h"
#include "support/ControllerSimulator.h"
#include "support/CpuTime.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

const QString Name = QStringLiteral("VUZA_VU.Focuser");

QDBusMessage call(const QString &path, const QString &interface, const QString &method, const QVariantList &args)
{
    QDBusMessage message = QDBusMessage::createMethodCall(Name, path, interface, method);
    message.setArguments(args);
    return QDBusConnection::sessionBus().call(message, QDBus::BlockWithGui, 60000);
}

QDBusMessage dispatch(const QString &path, const QString &method, const QVariantList &args)
{
    return call(path, QStringLiteral("automation.Dispatch"), method, args);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: position_bench <path of vkm>\n");
        return 2;
    }
    ControllerSimulator sim;
    sim.setFocuserPosition(1234);
    QProcess vkm;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VKM_COM1"), sim.devicePath());
    vkm.setProcessEnvironment(env);
    vkm.start(QString::fromLocal8Bit(argv[1]), {});
    QElapsedTimer started;
    started.start();
    while (!QDBusConnection::sessionBus().interface()->isServiceRegistered(Name)) {
        if (started.elapsed() > 10000) {
            std::fprintf(stderr, "vkm did not take its bus name\n");
            return 1;
        }
        Wait::For(20);
    }

    const QDBusMessage created = call(QStringLiteral("/"), QStringLiteral("automation.ClassFactory"),
                                      QStringLiteral("CreateInstance"), {Name});
    const QString path = created.arguments().value(0).value<QDBusObjectPath>().path();
    const QVariant noArgs = QVariant::fromValue(QVariantList());
    dispatch(path, QStringLiteral("PutProperty"), {QStringLiteral("Link"), noArgs, QVariant::fromValue(QDBusVariant(true))});

    std::vector<double> ms;
    for (int i = 0; i < 200; ++i) {
        QElapsedTimer t;
        t.start();
        dispatch(path, QStringLiteral("GetProperty"), {QStringLiteral("Position"), noArgs});
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("Position over D-Bus: median %.2f ms, 90th percentile %.2f ms, max %.2f ms (200 calls)\n",
                ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back());

    // Four reads a second for ten seconds.
    const long before = processCpuTicks(vkm.processId());
    QElapsedTimer idle;
    idle.start();
    for (int i = 0; i < 40; ++i) {
        dispatch(path, QStringLiteral("GetProperty"), {QStringLiteral("Position"), noArgs});
        Wait::For(250);
    }
    const double seconds = double(idle.elapsed()) / 1000;
    const double cpu = double(processCpuTicks(vkm.processId()) - before) / double(sysconf(_SC_CLK_TCK)) / seconds * 100;
    std::printf("vkm polled 4 times a second: %.2f %% of one core over %.1f s\n", cpu, seconds);

    dispatch(path, QStringLiteral("Release"), {});
    vkm.waitForFinished(5000);
    return 0;
}
