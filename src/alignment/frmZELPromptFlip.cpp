#include "alignment/frmZELPromptFlip.h"

#include "link/ModuleState.h"

frmZELPromptFlip::frmZELPromptFlip(QWidget *parent)
    : TheSkyPrompt("frmZELPromptFlip", QStringLiteral("VKM...Confirm Meridian Flip."), parent)
{
    Label1 = addText(QStringLiteral("The VKM has detected a probable Meridian flip.  Please select desired action."));
    cmdFlip = addChoice("cmdFlip", QStringLiteral("Rotate the ZEL 180 degrees."), [this] { cmdFlip_Click(); });
    cmdRotateTS = addChoice("cmdRotateTS", QStringLiteral("Rotate TheSky 180 degrees."), [this] { cmdRotateTS_Click(); });
    cmdDoNothing = addChoice("cmdDoNothing", QStringLiteral("Do Nothing.  NO meridian flip has occurred."),
                             [this] { cmdDoNothing_Click(); });
}

void frmZELPromptFlip::cmdFlip_Click() { store(Module().thesky.FlipChoice, int16_t(1)); }
void frmZELPromptFlip::cmdRotateTS_Click() { store(Module().thesky.FlipChoice, int16_t(2)); }
void frmZELPromptFlip::cmdDoNothing_Click() { store(Module().thesky.FlipChoice, int16_t(0)); }

int16_t frmZELPromptFlip::ask(QWidget *parent)
{
    return askFor<frmZELPromptFlip>(Module().thesky.FlipChoice, int16_t(0), parent);
}
