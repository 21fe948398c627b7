#include "alignment/frmTheSkyMove.h"

#include "link/ModuleState.h"

frmTheSkyMove::frmTheSkyMove(QWidget *parent)
    : TheSkyPrompt("frmTheSkyMove", QStringLiteral("TheSky Has Rotated"), parent)
{
    Command1 = addChoice("Command1", QStringLiteral("Rotate ZEL to New TheSky Rotation"), [this] { Command1_Click(); });
    Command2 = addChoice("Command2", QStringLiteral("Cancel TheSky Rotation"), [this] { Command2_Click(); });
}

void frmTheSkyMove::Command1_Click() { store(Module().thesky.TheSkyMoveChoice, true); }
void frmTheSkyMove::Command2_Click() { store(Module().thesky.TheSkyMoveChoice, false); }

bool frmTheSkyMove::ask(QWidget *parent)
{
    return askFor<frmTheSkyMove>(Module().thesky.TheSkyMoveChoice, false, parent);
}
