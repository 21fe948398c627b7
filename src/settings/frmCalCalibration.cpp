// The temperature-sensor calibration: marked points, the least-squares fit, the upload.
#include "settings/frmCal.h"

void frmCal::cmdCalMark_Click()
{
}

void frmCal::cmdCalibrate_Click()
{
}

void frmCal::cmdCalUpload_Click()
{
}

void frmCal::cmdRetrieveCoef_Click()
{
}

void frmCal::LinearRegression(int, double &, double &, double &) const
{
}
