// The settings file: the window's settings saved as keyed records and loaded back.
#include "settings/frmCal.h"

void frmCal::cmdSaveFile_Click()
{
}

void frmCal::cmdRetrieveFile_Click()
{
}
