#include "drivers/DriverDialogs.h"
#include "drivers/Focuser.h"
#include "drivers/FormLauncher.h"
#include "drivers/Rotator.h"
#include "drivers/Stepper.h"
#include "drivers/Temperature.h"
#include "link/AutomationRegistration.h"
#include "link/HandlerError.h"
#include "link/ModuleState.h"
#include "link/connector.h"
#include "platform/AutomationServer.h"
#include "platform/Headless.h"
#include "platform/GuardedApplication.h"
#include "platform/Wait.h"
#include "windows/Forms.h"

#include <QTimer>

namespace {

// A program the bus started for a call that made no object (an introspection, a failed
// call) ends when no client has held it for this long.
constexpr int UnclaimedEndMs = 10000;
// Calls that reached it before it gave up its names are served first.
constexpr int LastCallsMs = 500;

bool held()
{
    return Module().link.ClientCount > 0;
}

void endUnclaimed(AutomationServer &server)
{
    if (held())
        return;
    server.ReleaseNames();
    Wait::For(LastCallsMs);
    if (!held())
        EndProcess();
}

} // namespace

int main(int argc, char **argv)
{
    Headless::ChooseForEnvironment(argc, argv);
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VKM"));
    QApplication::setApplicationVersion(QStringLiteral(VKM_VERSION));
    // The process lives until its last link holder ends it, not when a window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    InstallHandlerErrorGuard();
    RegisterAutomationClasses();
    InstallDriverDialogs();
    DriverForms().ShowConsole = ShowConsoleForm;
    DriverForms().ShowMainWindow = ShowMainForm;
    Main();

    AutomationServer &server = AutomationServer::Session();
    server.RegisterClass(QStringLiteral("VUZA_VU.Focuser"), [] { return std::make_shared<Focuser>(); });
    server.RegisterClass(QStringLiteral("VUZA_VU.Rotator"), [] { return std::make_shared<Rotator>(); });
    server.RegisterClass(QStringLiteral("VUZA_VU.Temperature"), [] { return std::make_shared<Temperature>(); });
    server.RegisterClass(QStringLiteral("VUZA_VU.Stepper"), [] { return std::make_shared<Stepper>(); });
    // With the bus gone no client can come: what no window holds ends.
    QObject::connect(&server, &AutomationServer::busClosed, [] {
        if (!held())
            EndProcess();
    });
    if (AutomationServer::StartedByBus())
        QTimer::singleShot(UnclaimedEndMs, &server, [&server] { endUnclaimed(server); });
    return QApplication::exec();
}
