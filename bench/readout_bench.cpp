// The cost of changing readouts: the main window (focus tab) and the console, open on the
// simulated controller, get a report stream that changes every readout they show 20 times a
// second for 10 s. Prints the CPU share of the process (simulator included) while idle and
// while the readouts change, and the CPU time each changed readout costs above idle.
//
//   build/bench/readout_bench            (offscreen; run under xvfb-run for a real X server)
#include "link/ModuleState.h"
#include "link/connector.h"
#include "platform/Wait.h"
#include "support/ControllerSimulator.h"
#include "support/CpuTime.h"
#include "windows/Forms.h"
#include "windows/frmConsole.h"
#include "windows/frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

constexpr int Period = 50;   // ms between report bursts
constexpr int Seconds = 10;

// Every burst carries new values for the focus tab's readouts, the status bar and the
// console's readouts. Returns how many readouts a burst changes.
int run(const char *name, ControllerSimulator &sim, int readoutsPerBurst)
{
    Wait::For(1500); // the window connects and settles
    // The window's own poll with nothing changing, for comparison.
    const double idle0 = cpuSeconds();
    Wait::For(5000);
    const double idleShare = 100.0 * (cpuSeconds() - idle0) / 5.0;
    int n = 0;
    QTimer burst;
    QObject::connect(&burst, &QTimer::timeout, [&] {
        ++n;
        const int position = 10000 + n;
        sim.setFocuserPosition(position);
        const double t = 60 + (n % 50) / 10.0;
        sim.setTemperature(ControllerSimulator::Sensor::Ambient, t);
        sim.setTemperature(ControllerSimulator::Sensor::Primary, t + 1);
        sim.setTemperature(ControllerSimulator::Sensor::Secondary, t + 2);
        sim.sendRaw(QStringLiteral(":s %1 :a %1 :mc %2 :t1 %3 :t2 %4 :t3 %5 :t7 %6 :rs %7 :rt %7 :wr %7 ")
                        .arg(position)
                        .arg(1000 + n % 100)
                        .arg(int(t * 100))
                        .arg(int(t * 100) + 100)
                        .arg(int(t * 100) + 200)
                        .arg(int(t * 100) + 300)
                        .arg(200 * (n % 360))
                        .toLatin1());
    });
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    burst.start(Period);
    Wait::For(Seconds * 1000);
    burst.stop();
    const double cpu = cpuSeconds() - cpu0;
    const double share = 100.0 * cpu / (wall.elapsed() / 1000.0);
    const double perReadout = 10.0 * (share - idleShare) * (wall.elapsed() / 1000.0) / (double(n) * readoutsPerBurst);
    std::printf("%-12s idle %.2f %% of a core; %d bursts of %d changed readouts: %.2f %% of a core, "
                "%.3f ms CPU per changed readout above idle\n",
                name, idleShare, n, readoutsPerBurst, share, perReadout);
    return n;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("VKM_HOME", home.path().toLocal8Bit());
    qputenv("VKM_REGISTRY", (home.path() + QStringLiteral("/registry.reg")).toLocal8Bit());
    QApplication app(argc, argv);
    ControllerSimulator sim;
    if (!sim.isOpen()) {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    qputenv("VKM_COM1", sim.devicePath().toLocal8Bit());
    Main();
    connector holder; // keeps the process alive when a window closes

    ShowMainForm();
    // Set, actual, current, three temperatures, two status panels.
    run("main window", sim, 8);
    MainForm(false)->close();
    Wait::For(200);

    ShowConsoleForm();
    // Set, actual, three temperatures, rotator set and actual, wrap.
    run("console", sim, 8);
    ConsoleForm(false)->close();
    Wait::For(200);
    return 0;
}
