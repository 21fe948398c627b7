#include "alignment/frmTheSkyDialog.h"

#include "link/ModuleState.h"

#include <QStringList>

frmTheSkyDialog::frmTheSkyDialog(QWidget *parent) : TheSkyPrompt("frmTheSkyDialog", QStringLiteral("VKM"), parent)
{
    Label1 = addText(QStringList{QStringLiteral("The Sky view has changed its North Angle rotation since the last "
                                                "synchronization with the VKM.  Do you want to: "),
                                 QStringLiteral("1) Set The Sky to the current ZEL angle?"),
                                 QStringLiteral("2) Rotate the ZEL to the current The Sky north angle?"),
                                 QStringLiteral("3) Synchronize manually later?")}
                         .join(QLatin1Char('\r')));
    cmdTStoZEL = addChoice("cmdTStoZEL", QStringLiteral("Set TheSky to ZEL"), [this] { cmdTStoZEL_Click(); });
    cmdZELtoTS = addChoice("cmdZELtoTS", QStringLiteral("Rotate ZEL to TheSky"), [this] { cmdZELtoTS_Click(); });
    cmdSynchLater = addChoice("cmdSynchLater", QStringLiteral("Synch later"), [this] { cmdSynchLater_Click(); });
}

void frmTheSkyDialog::cmdTStoZEL_Click() { store(Module().thesky.TheSkySyncChoice, int16_t(1)); }
void frmTheSkyDialog::cmdZELtoTS_Click() { store(Module().thesky.TheSkySyncChoice, int16_t(2)); }
void frmTheSkyDialog::cmdSynchLater_Click() { store(Module().thesky.TheSkySyncChoice, int16_t(3)); }

int16_t frmTheSkyDialog::ask(QWidget *parent)
{
    return askFor<frmTheSkyDialog>(Module().thesky.TheSkySyncChoice, int16_t(3), parent);
}
