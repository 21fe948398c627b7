// The temperature coefficient file.
#include "settings/frmCal.h"

void frmCal::cmdSaveCoef_Click()
{
}

void frmCal::cmdLoad_Click()
{
}
