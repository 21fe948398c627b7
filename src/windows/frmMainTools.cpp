// The main window's commands that open the tools: data logging, the temperature graph and
// the secondary-heater wizard.
#include "windows/frmMain.h"

#include "link/HandlerError.h"
#include "link/ModuleState.h"
#include "platform/RunningHandler.h"
#include "tools/frmGraph.h"
#include "tools/frmLog.h"
#include "tools/frmSecHeaterWizard.h"

#include <QAction>

void frmMain::connectToolsMenus()
{
    connect(mnuStartLog, &QAction::triggered, this, &frmMain::mnuStartLog_Click);
    connect(mnuPlot, &QAction::triggered, this, &frmMain::mnuPlot_Click);
    connect(mnuSecHeatWiz, &QAction::triggered, this, &frmMain::mnuSecHeatWiz_Click);
}

// While a firmware upload runs these windows do not open: a modal one would hold up the
// upload's waits, and none of them would reach the controller.
void frmMain::mnuStartLog_Click()
{
    if (RefusedDuringUpload())
        return;
    const RunningHandler running(this); // the served events may close the window
    frmLog setup(this);
    setup.exec();
    // The window may close under the dialog (the last holder may even end the process).
    if (!m_unloaded && Module().tools.LoggingActive)
        setLoggingStates(true);
}

void frmMain::mnuPlot_Click()
{
    frmGraph::showWindow();
}

void frmMain::mnuSecHeatWiz_Click()
{
    if (RefusedDuringUpload())
        return;
    frmSecHeaterWizard::showWindow();
}
