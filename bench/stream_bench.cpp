// What a received byte costs: four outside clients (Focuser, Rotator, Temperature, Stepper)
// link and then stay quiet while the simulated controller streams " T " answers at the
// line's 960 bytes a second, first one byte per chunk (as a serial driver may deliver them
// at 9600 baud), then 16 bytes per chunk: the share of a core vkm uses, idle and streaming.
//
// Runs vkm on a bus daemon of its own:
//   build/bench/stream_bench build/src/app/vkm [seconds [bytes per second]]
#include "platform/Wait.h"
#include "support/ControllerSimulator.h"
#include "support/CpuTime.h"
#include "support/PollingClients.h"
#include "support/SimulatorReports.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {


QByteArray temperatureAnswer()
{
    const QHash<QString, QString> values = SimulatorReports::defaultValues();
    QByteArray answer;
    for (const QString &code : SimulatorReports::queries().value('T'))
        answer += (code + ' ' + values.value(code, QStringLiteral("0")) + ' ').toLatin1();
    return answer;
}

// vkm's share of a core while `chunk` bytes go out at a time (0: nothing is sent).
double coreShare(ControllerSimulator &sim, qint64 vkm, int chunk, int seconds, int bytesPerSecond)
{
    const QByteArray answer = temperatureAnswer();
    qsizetype next = 0;
    qint64 sent = 0;
    QElapsedTimer elapsed;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        // As many chunks as the line has carried by now.
        while (chunk > 0 && (sent + chunk) * 1000 <= elapsed.elapsed() * bytesPerSecond) {
            QByteArray bytes;
            while (bytes.size() < chunk) {
                bytes += answer.at(next);
                next = (next + 1) % answer.size();
            }
            sim.sendRaw(bytes);
            sent += chunk;
        }
    });
    const long before = processCpuTicks(vkm);
    elapsed.start();
    tick.start();
    Wait::For(seconds * 1000);
    tick.stop();
    return double(processCpuTicks(vkm) - before) / double(sysconf(_SC_CLK_TCK)) / seconds * 100;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: stream_bench <path of vkm> [seconds [bytes per second]]\n");
        return 2;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    const int bytesPerSecond = argc > 3 ? std::atoi(argv[3]) : 960; // the line at 9600 baud
    ControllerSimulator sim;
    PollingClients clients(sim, QString::fromLocal8Bit(argv[1]), false);
    if (!clients.startError().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(clients.startError()));
        return 1;
    }
    // Links all four; no client reads afterwards.
    const PollingClients::Result linked = clients.run(2000, 24 * 3600 * 1000);
    for (const QString &failure : linked.failures)
        std::printf("failed: %s\n", qPrintable(failure));
    std::fprintf(stderr, "vkm pid %lld\n", clients.vkmPid());
    const double idle = coreShare(sim, clients.vkmPid(), 0, seconds, bytesPerSecond);
    const double single = coreShare(sim, clients.vkmPid(), 1, seconds, bytesPerSecond);
    const double sixteen = coreShare(sim, clients.vkmPid(), 16, seconds, bytesPerSecond);
    std::printf("vkm with four linked objects: idle %.1f %% of a core; %d bytes/s in 1-byte chunks %.1f %%, in 16-byte chunks %.1f %%\n",
                idle, bytesPerSecond, single, sixteen);
    return linked.failures.isEmpty() ? 0 : 1;
}
