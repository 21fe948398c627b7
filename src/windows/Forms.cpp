#include "windows/Forms.h"

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

QPointer<frmMain> g_main;
QPointer<frmRotIndicator> g_rotIndicator;
QPointer<frmWrapMessage> g_wrapMessage;

} // namespace

// The main window's load runs when it is created, so an unloaded one (its deletion still
// pending) is never handed out again.
frmMain *MainForm(bool create)
{
    if (g_main && g_main->isUnloaded())
        g_main = nullptr;
    if (!g_main && create) {
        g_main = new frmMain;
        g_main->setAttribute(Qt::WA_DeleteOnClose);
    }
    return g_main.data();
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
