// The temperature coefficient file: the controller's current coefficients saved, and saved
// ones loaded into the calibration results for their upload.
#include "settings/frmCal.h"

#include "link/HandlerError.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbError.h"
#include "platform/VbFiles.h"

#include <QDateTime>
#include <QLabel>
#include <QPushButton>

void frmCal::cmdSaveCoef_Click()
{
    const std::optional<int16_t> file = openChosenFile(true);
    if (!file)
        return;
    try {
        const QDateTime now = QDateTime::currentDateTime();
        VbFiles::Write(*file, {"date", now.toString(QStringLiteral("MM-dd-yyyy")), now.toString(QStringLiteral("hh:mm:ss"))});
        for (int s = 0; s < 3; ++s)
            VbFiles::Write(*file, {QStringLiteral("T%1").arg(s + 1), lblSlope[s]->text(), lblInt[s]->text()});
    } catch (const VbError &e) {
        MsgBox(e.description(), vbconst::vbExclamation, QStringLiteral("VKM"));
    }
    VbFiles::Close(*file);
}

void frmCal::cmdLoad_Click()
{
    const std::optional<int16_t> file = openChosenFile(false);
    if (!file)
        return;
    try {
        while (!VbFiles::EndOfFields(*file)) {
            const QString key = VbFiles::Input(*file);
            const QString slope = VbFiles::Input(*file);
            const QString intercept = VbFiles::Input(*file);
            const int s = key == QLatin1String("T1") ? 0 : key == QLatin1String("T2") ? 1 : key == QLatin1String("T3") ? 2 : -1;
            if (s < 0)
                continue;
            loadCoefficient(0, s, slope);
            loadCoefficient(1, s, intercept);
        }
    } catch (const VbError &) {
        // A record cut short ends the reading; what came before it stays loaded.
    }
    VbFiles::Close(*file);
    cmdCalUpload->setEnabled(true);
}

// One field of a record; a number beyond a Double is passed over, and the rest loads.
void frmCal::loadCoefficient(int row, int sensor, const QString &field)
{
    try {
        CalCoefficients[row][sensor] = vb::Val(field);
    } catch (const VbError &) {
        return;
    }
    (row == 0 ? lblCalScope : lblCalInt)[sensor]->setText(field);
}
