#include "link/AutomationRegistration.h"
#include "link/connector.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VKM"));
    // The process lives until its last link holder ends it, not when a window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    RegisterAutomationClasses();
    Main();
    return QApplication::exec();
}
