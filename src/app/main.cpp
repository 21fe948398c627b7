#include "drivers/Focuser.h"
#include "link/AutomationRegistration.h"
#include "link/connector.h"
#include "platform/AutomationServer.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VKM"));
    QApplication::setApplicationVersion(QStringLiteral(VKM_VERSION));
    // The process lives until its last link holder ends it, not when a window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    RegisterAutomationClasses();
    Main();

    AutomationServer &server = AutomationServer::Session();
    server.RegisterClass(QStringLiteral("VUZA_VU.Focuser"), [] { return std::make_shared<Focuser>(); });
    return QApplication::exec();
}
