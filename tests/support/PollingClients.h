#pragma once

#include <QProcess>
#include <QStringList>
#include <memory>
#include <vector>

class ControllerSimulator;

// Outside clients as imaging programs run them: a Focuser, a Rotator, a Temperature and a
// Stepper object, each made by a bus connection of its own, against a vkm program started
// here on the simulated controller. The Focuser opens the main window first; then all four
// link at once and each reads one property at a steady rate, never more than one call in
// flight per client. Runs its own bus daemon. Without `mainWindow` no window opens.
class PollingClients
{
public:
    struct Result
    {
        QStringList failures;       // every failed call: "<ProgID> <member>: <message>"
        std::vector<double> callMs; // every polling call's round trip, in ms
    };

    PollingClients(ControllerSimulator &sim, const QString &vkmExecutable, bool mainWindow = true);
    ~PollingClients();

    // Empty when vkm took its bus names and every object was made; else what went wrong.
    QString startError() const { return m_startError; }

    qint64 vkmPid() const { return m_vkm.processId(); }

    // Links every client at once, then polls every `periodMs` for `durationMs`.
    Result run(int durationMs, int periodMs);

    // The time below which `share` (0 to 1) of `ms` lie.
    static double percentile(std::vector<double> ms, double share);

private:
    struct Client;

    QProcess m_bus; // a private session bus
    QString m_address;
    QProcess m_vkm;
    std::vector<std::unique_ptr<Client>> m_clients;
    QString m_startError;
};
