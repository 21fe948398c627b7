// The temperature-sensor calibration: marked points, the least-squares fit, the upload of
// the six coefficients and the request for those the controller holds.
#include "settings/frmCal.h"

#include "link/HandlerError.h"
#include "platform/Pause.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbError.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString Title = QStringLiteral("VKM");

constexpr int CommandPauseMs = 2; // between the coefficient commands, serving no events

} // namespace

void frmCal::cmdCalMark_Click()
{
    const std::optional<double> reference = vb::StrictNumber(txtRefTemp->text());
    if (!reference) {
        MsgBox(QStringLiteral("Invalid reference temperature."), vbconst::vbExclamation, Title);
        return;
    }
    try {
        const int k = CalPointCount;
        if (k >= MaxCalPoints)
            throw VbError(9, QStringLiteral("Subscript out of range"));
        for (int s = 0; s < 3; ++s)
            CalPoints[s][k] = vb::CDbl(lblTemp[5 - s]->text());
        CalPoints[3][k] = *reference;
        CalPointCount = int16_t(k + 1);
        lblCalPoints->setText(QString::number(CalPointCount));
        if (CalPointCount > 1)
            cmdCalibrate->setEnabled(true);
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
}

void frmCal::cmdCalibrate_Click()
{
    if (CalPointCount < 2) {
        MsgBox(QStringLiteral("Error:  A minimum of two points is required to calculate the coefficients."),
               vbconst::vbExclamation, Title);
        return;
    }
    // All three fits are made and shown first: one that fails changes no coefficient.
    static const char *const sensors[] = {"ambient", "primary", "secondary"};
    QString shown[3][3];
    double fitted[2][3] = {};
    for (int s = 0; s < 3; ++s) {
        double r2 = 0;
        LinearRegression(s, fitted[0][s], fitted[1][s], r2);
        const double values[] = {fitted[0][s], fitted[1][s], r2};
        static const char *const names[] = {"slope", "intercept", "r2"};
        for (int v = 0; v < 3; ++v) {
            try {
                shown[v][s] = vb::Format(values[v], QString::fromLatin1(v == 2 ? "0.000000" : "#.000000"));
            } catch (const VbError &e) { // no finite number
                ShowHandlerError(VbError(e.number(), QStringLiteral("%1 (the %2 %3); no coefficient was changed")
                                                         .arg(e.description(), QLatin1String(sensors[s]), QLatin1String(names[v]))));
                return;
            }
        }
    }
    for (int s = 0; s < 3; ++s) {
        lblCalScope[s]->setText(shown[0][s]);
        CalCoefficients[0][s] = fitted[0][s];
        lblCalInt[s]->setText(shown[1][s]);
        CalCoefficients[1][s] = fitted[1][s];
        lblR2[s]->setText(shown[2][s]);
    }
    cmdCalUpload->setEnabled(true);
}

void frmCal::LinearRegression(int sensor, double &slope, double &intercept, double &r2) const
{
    const int n = CalPointCount;
    const double *x = CalPoints[sensor];
    const double *y = CalPoints[3];
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int k = 0; k < n; ++k) {
        sx += x[k];
        sy += y[k];
        sxx += x[k] * x[k];
        sxy += x[k] * y[k];
    }
    const double mx = sx / n, my = sy / n;
    double cxx = 0, cyy = 0, cxy = 0;
    for (int k = 0; k < n; ++k) {
        cxx += (x[k] - mx) * (x[k] - mx);
        cyy += (y[k] - my) * (y[k] - my);
        cxy += (x[k] - mx) * (y[k] - my);
    }
    slope = intercept = r2 = 0;
    if (cxx != 0) {
        intercept = (sxx * sy - sx * sxy) / (n * cxx);
        slope = cxy / cxx;
        if (cyy != 0)
            r2 = (cxy / n) * (cxy / n) / ((cyy / n) * (cxx / n));
    }
}

void frmCal::cmdCalUpload_Click()
{
    if (MsgBox(QStringLiteral("Upload new coefficients to the VKM?"), vbconst::vbOKCancel | vbconst::vbQuestion, Title)
        == vbconst::vbCancel)
        return;
    try {
        if (!portOpen())
            return;
        const char letters[] = "ABCDEF";
        for (int i = 0; i < 6; ++i) {
            const double value = CalCoefficients[i / 3][i % 3];
            transmit(QLatin1Char(letters[i]) + vb::Format(value, QStringLiteral("0.0000000")) + QLatin1Char(' '));
            if (!delivered(QStringLiteral("coefficient \"%1\"").arg(QLatin1Char(letters[i]))))
                return;
            Pause(CommandPauseMs);
        }
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
}

void frmCal::cmdRetrieveCoef_Click()
{
    try {
        if (portOpen())
            transmit(QStringLiteral("l"));
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
}
