#pragma once

#include "support/ControllerSimulator.h"

#include <QThread>
#include <functional>

// A simulated controller served by a thread of its own, for code under test that reads the
// port in loops serving no events (the firmware exchange): the simulator answers while the
// test's thread is blocked. Reach the simulator only through run().
class SimulatorThread
{
public:
    SimulatorThread();
    ~SimulatorThread();
    SimulatorThread(const SimulatorThread &) = delete;
    SimulatorThread &operator=(const SimulatorThread &) = delete;

    // Runs `work` on the simulator's thread and returns when it is done.
    void run(const std::function<void(ControllerSimulator &)> &work);

    QString devicePath() const { return m_path; }
    // Everything the program sent, Latin-1.
    QString received();

private:
    QThread m_thread;
    QObject *m_context = nullptr; // lives in m_thread
    ControllerSimulator *m_simulator = nullptr;
    QString m_path;
};
