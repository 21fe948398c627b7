// Four outside clients (Focuser, Rotator, Temperature, Stepper, each on its own bus
// connection) link at once and poll a property at 10 Hz each for 10 s, with the main window
// open, against the simulated controller: the percentiles of the polling calls' round trips
// and the share of a core vkm used meanwhile.
//
// Runs vkm on a bus daemon of its own:
//   build/bench/clients_bench build/src/app/vkm
#include "support/ControllerSimulator.h"
#include "support/CpuTime.h"
#include "support/PollingClients.h"

#include <QApplication>
#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: clients_bench <path of vkm> [seconds]\n");
        return 2;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    ControllerSimulator sim;
    PollingClients clients(sim, QString::fromLocal8Bit(argv[1]));
    if (!clients.startError().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(clients.startError()));
        return 1;
    }
    const long cpuBefore = processCpuTicks(clients.vkmPid());
    const PollingClients::Result result = clients.run(seconds * 1000, 100);
    const double cpuPercent = double(processCpuTicks(clients.vkmPid()) - cpuBefore) / double(sysconf(_SC_CLK_TCK)) / seconds * 100;
    for (const QString &failure : result.failures)
        std::printf("failed: %s\n", qPrintable(failure));
    const auto p = [&](double share) { return PollingClients::percentile(result.callMs, share); };
    std::printf("%zu polling calls, %lld failed: median %.2f ms, 90%% %.2f ms, 99%% %.2f ms, max %.2f ms; vkm %.1f %% of a core\n",
                result.callMs.size(), qlonglong(result.failures.size()), p(0.5), p(0.9), p(0.99), p(1.0), cpuPercent);
    return result.failures.isEmpty() ? 0 : 1;
}
