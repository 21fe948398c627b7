#include "alignment/frmZELEastWest.h"

#include "link/ModuleState.h"

frmZELEastWest::frmZELEastWest(QWidget *parent)
    : TheSkyPrompt("frmZELEastWest", QStringLiteral("VKM...Determine telescope orientation."), parent)
{
    Label1 = addText(QStringLiteral("Your telescope is currently pointing near the Meridian.  Please select the side of "
                                    "the mount that the telescope is currently positioned."));
    cmdEast = addChoice("cmdEast", QStringLiteral("The telescope is on the EAST side of the mount."),
                        [this] { cmdEast_Click(); });
    cmdWest = addChoice("cmdWest", QStringLiteral("The telescope is on the WEST side of the mount."),
                        [this] { cmdWest_Click(); });
}

void frmZELEastWest::cmdEast_Click() { store(Module().thesky.EastWestChoice, int16_t(1)); }
void frmZELEastWest::cmdWest_Click() { store(Module().thesky.EastWestChoice, int16_t(-1)); }

int16_t frmZELEastWest::ask(QWidget *parent)
{
    return askFor<frmZELEastWest>(Module().thesky.EastWestChoice, int16_t(0), parent);
}
