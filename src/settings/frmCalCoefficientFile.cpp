// The temperature coefficient file: the controller's current coefficients saved, and saved
// ones loaded into the calibration results for their upload, all of them or none.
#include "settings/frmCal.h"

#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbError.h"
#include "platform/VbFiles.h"

#include <QDateTime>
#include <QLabel>
#include <QPushButton>

void frmCal::cmdSaveCoef_Click()
{
    saveChosenFile([this]() -> std::optional<QString> {
        const QDateTime now = QDateTime::currentDateTime();
        QString text = VbFiles::WriteRecordText(
            {QStringLiteral("date"), now.toString(QStringLiteral("MM-dd-yyyy")), now.toString(QStringLiteral("hh:mm:ss"))});
        for (int s = 0; s < 3; ++s)
            text += VbFiles::WriteRecordText({QStringLiteral("T%1").arg(s + 1), lblSlope[s]->text(), lblInt[s]->text()});
        return text;
    });
}

void frmCal::cmdLoad_Click()
{
    const std::optional<int16_t> file = openChosenFile();
    if (!file)
        return;
    // Read and checked whole before any coefficient changes: a value that cannot be read
    // or a record cut short loads nothing.
    struct Loaded
    {
        int sensor;
        QString text[2];
        double value[2];
    };
    QList<Loaded> loaded;
    try {
        while (!VbFiles::EndOfFields(*file)) {
            const QString key = VbFiles::Input(*file);
            Loaded l{key == QLatin1String("T1") ? 0 : key == QLatin1String("T2") ? 1 : key == QLatin1String("T3") ? 2 : -1, {}, {}};
            for (int row = 0; row < 2; ++row) {
                l.text[row] = VbFiles::Input(*file);
                // An empty field, as a save of coefficients never reported writes, is 0.
                const std::optional<double> number = l.text[row].isEmpty() ? 0.0 : vb::StrictNumber(l.text[row]);
                if (l.sensor >= 0 && !number)
                    throw VbError(13, QStringLiteral("Invalid value for \"%1\": %2").arg(key, l.text[row]));
                l.value[row] = number.value_or(0);
            }
            if (l.sensor >= 0)
                loaded << l;
        }
    } catch (const VbError &e) {
        VbFiles::Close(*file);
        MsgBox(e.description() + QStringLiteral(".  No coefficient was loaded."), vbconst::vbExclamation, QStringLiteral("VKM"));
        return;
    }
    VbFiles::Close(*file);
    for (const Loaded &l : std::as_const(loaded)) {
        for (int row = 0; row < 2; ++row) {
            CalCoefficients[row][l.sensor] = l.value[row];
            (row == 0 ? lblCalScope : lblCalInt)[l.sensor]->setText(l.text[row]);
        }
    }
    cmdCalUpload->setEnabled(true);
}
