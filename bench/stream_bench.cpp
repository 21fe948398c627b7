// What a received byte costs: four outside clients (Focuser, Rotator, Temperature, Stepper)
// link and then stay quiet while the simulated controller streams " T " answers at the
// line's 960 bytes a second, first one byte per chunk (as a serial driver may deliver them
// at 9600 baud), then 16 bytes per chunk: the share of a core vkm uses, idle and streaming,
// and how often it was woken. The 1-byte figure must stay under 2 % of a core (the exit
// status says whether it did). On a loaded machine a wakeup costs more: the wakeups a
// second are the figure that does not vary with the load.
//
// Runs vkm on a bus daemon of its own:
//   build/bench/stream_bench build/src/app/vkm [seconds [bytes per second]]
#include "platform/Wait.h"
#include "support/ControllerSimulator.h"
#include "support/CpuTime.h"
#include "support/PollingClients.h"
#include "support/SimulatorReports.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr double MostOfACoreIn1ByteChunks = 2.0; // %

// The times the threads of process `pid` went to sleep and were woken since they started.
long wakeups(qint64 pid)
{
    long count = 0;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks + QLatin1Char('/') + task + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("voluntary_ctxt_switches:"))
                count += line.mid(line.indexOf(':') + 1).trimmed().toLong();
    }
    return count;
}

struct Share
{
    double percent = 0;   // of one core
    double wakeups = 0;   // a second
};

QByteArray temperatureAnswer()
{
    const QHash<QString, QString> values = SimulatorReports::defaultValues();
    QByteArray answer;
    for (const QString &code : SimulatorReports::queries().value('T'))
        answer += (code + ' ' + values.value(code, QStringLiteral("0")) + ' ').toLatin1();
    return answer;
}

// vkm's share of a core while `chunk` bytes go out at a time (0: nothing is sent).
Share coreShare(ControllerSimulator &sim, qint64 vkm, int chunk, int seconds, int bytesPerSecond)
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
    const long wokenBefore = wakeups(vkm);
    elapsed.start();
    tick.start();
    Wait::For(seconds * 1000);
    tick.stop();
    return {double(processCpuTicks(vkm) - before) / double(sysconf(_SC_CLK_TCK)) / seconds * 100,
            double(wakeups(vkm) - wokenBefore) / seconds};
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
    const Share idle = coreShare(sim, clients.vkmPid(), 0, seconds, bytesPerSecond);
    const Share single = coreShare(sim, clients.vkmPid(), 1, seconds, bytesPerSecond);
    const Share sixteen = coreShare(sim, clients.vkmPid(), 16, seconds, bytesPerSecond);
    std::printf("vkm with four linked objects: idle %.1f %% of a core; %d bytes/s in 1-byte chunks %.1f %%, in 16-byte chunks %.1f %%\n",
                idle.percent, bytesPerSecond, single.percent, sixteen.percent);
    std::printf("wakeups a second: idle %.0f; 1-byte chunks %.0f; 16-byte chunks %.0f\n", idle.wakeups,
                single.wakeups, sixteen.wakeups);
    const bool within = single.percent < MostOfACoreIn1ByteChunks;
    std::printf("1-byte chunks under %.0f %% of a core: %s\n", MostOfACoreIn1ByteChunks, within ? "yes" : "NO");
    return linked.failures.isEmpty() && within ? 0 : 1;
}
