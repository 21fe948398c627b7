// A simulated controller for running the program without hardware: prints the device
// path on one line and serves it until killed. With -v every command received goes to
// standard error.
#include "support/ControllerSimulator.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ControllerSimulator simulator;
    if (!simulator.isOpen()) {
        std::fprintf(stderr, "vkm-simulator: %s\n", qPrintable(simulator.errorString()));
        return 1;
    }
    if (app.arguments().contains(QStringLiteral("-v"))) {
        QObject::connect(&simulator, &ControllerSimulator::commandReceived, [](const QString &command) {
            std::fprintf(stderr, "%s\n", command.toLatin1().constData());
        });
    }
    std::printf("%s\n", qPrintable(simulator.devicePath()));
    std::fflush(stdout);
    return app.exec();
}
