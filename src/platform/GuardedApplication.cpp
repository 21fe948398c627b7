#include "platform/GuardedApplication.h"

#include <QMetaObject>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

EventLoopGuard::Reporter &reporter()
{
    static EventLoopGuard::Reporter installed;
    return installed;
}

VbError currentError()
{
    try {
        throw;
    } catch (const VbError &error) {
        return error;
    } catch (const std::exception &error) {
        return VbError(0, QString::fromLocal8Bit(error.what()));
    } catch (...) {
        return VbError(0, QStringLiteral("Unknown error"));
    }
}

void show(const VbError &error)
{
    if (!reporter()) {
        std::fprintf(stderr, "Error number: %d %s\n", int(error.number()), error.what());
        std::abort();
    }
    try {
        reporter()(error);
    } catch (...) {
        std::fprintf(stderr, "Error number: %d %s\n", int(error.number()), error.what());
    }
}

} // namespace

GuardedApplication::GuardedApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        EventLoopGuard::ReportCurrent();
        return false;
    }
}

namespace EventLoopGuard {

void SetReporter(Reporter installed)
{
    reporter() = std::move(installed);
}

void ReportCurrent() noexcept
{
    try {
        const VbError error = currentError();
        if (!QCoreApplication::instance()) {
            show(error);
            return;
        }
        // The failed handler may be a delivery or hold a wait: the box opens after it.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [error] { show(error); }, Qt::QueuedConnection);
    } catch (...) {
        std::fputs("Error: an error could not be reported\n", stderr);
    }
}

} // namespace EventLoopGuard
