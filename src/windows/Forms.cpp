#include "windows/Forms.h"

#include "windows/frmConsole.h"
#include "windows/frmMain.h"
#include "windows/frmRotIndicator.h"
#include "windows/frmWrapMessage.h"

#include <QPointer>

namespace {

// The pop-ups are only hidden when they close; the next show loads them again.
template <typename W>
W *instance(QPointer<W> &slot, bool create)
{
    if (!slot && create)
        slot = new W;
    return slot.data();
}

// A window's load runs when it is created, so an unloaded one (its deletion still pending)
// is never handed out again.
template <typename W>
W *loadedInstance(QPointer<W> &slot, bool create)
{
    if (slot && slot->isUnloaded())
        slot = nullptr;
    if (!slot && create) {
        slot = new W;
        slot->setAttribute(Qt::WA_DeleteOnClose);
    }
    return slot.data();
}

QPointer<frmMain> g_main;
QPointer<frmConsole> g_console;
QPointer<frmRotIndicator> g_rotIndicator;
QPointer<frmWrapMessage> g_wrapMessage;

} // namespace

frmMain *MainForm(bool create)
{
    return loadedInstance(g_main, create);
}

frmConsole *ConsoleForm(bool create)
{
    return loadedInstance(g_console, create);
}

frmRotIndicator *RotIndicatorForm(bool create)
{
    return instance(g_rotIndicator, create);
}

frmWrapMessage *WrapMessageForm(bool create)
{
    return instance(g_wrapMessage, create);
}

void ShowMainForm()
{
    frmMain *form = MainForm();
    form->show();
    form->raise();
}

void ShowConsoleForm()
{
    frmConsole *form = ConsoleForm();
    form->show();
    form->raise();
}
