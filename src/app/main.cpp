#include "drivers/DriverDialogs.h"
#include "drivers/Focuser.h"
#include "drivers/FormLauncher.h"
#include "drivers/Rotator.h"
#include "drivers/Stepper.h"
#include "drivers/Temperature.h"
#include "link/AutomationRegistration.h"
#include "link/HandlerError.h"
#include "link/connector.h"
#include "platform/AutomationServer.h"
#include "platform/GuardedApplication.h"
#include "windows/Forms.h"

int main(int argc, char **argv)
{
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
    return QApplication::exec();
}
