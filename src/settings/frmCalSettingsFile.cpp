// The settings file: the window's rows saved as keyed records and loaded back, each loaded
// row marked for the upload.
#include "settings/frmCal.h"

#include "platform/DataFolder.h"
#include "platform/UserPrompts.h"
#include "platform/VbError.h"
#include "platform/VbFiles.h"
#include "platform/WholeFile.h"
#include "settings/OptionRows.h"
#include "settings/SettingsReadBack.h"

#include <QDateTime>
#include <QFileInfo>
#include <QPushButton>
#include <vector>

namespace {

const QString Title = QStringLiteral("VKM");

FileDialogRequest dataFileDialog()
{
    FileDialogRequest request;
    request.filter = QStringLiteral("Data (*.dat)|*.dat|All (*.*)|*.*");
    request.initialDir = DataFolder::path();
    request.confirmOverwrite = false; // the question of the save is the only one
    return request;
}

} // namespace

std::optional<int16_t> frmCal::openChosenFile()
{
    const std::optional<QString> path = UserPrompts::current().openFile(dataFileDialog());
    if (!path || path->isEmpty())
        return std::nullopt;
    const int16_t number = VbFiles::FreeFile();
    try {
        VbFiles::Open(number, *path, VbFiles::Mode::Input);
        return number;
    } catch (const VbError &) {
        VbFiles::Close(number);
        MsgBox(QStringLiteral("Error opening file."), vbconst::vbExclamation, QStringLiteral("File Error"));
        return std::nullopt;
    }
}

void frmCal::saveChosenFile(const std::function<std::optional<QString>()> &records)
{
    const std::optional<QString> path = UserPrompts::current().saveFile(dataFileDialog());
    if (!path || path->isEmpty())
        return;
    const bool replacing = QFileInfo::exists(*path);
    if (replacing
        && MsgBox(QStringLiteral("Replace current file?"), vbconst::vbOKCancel | vbconst::vbQuestion, Title) == vbconst::vbCancel)
        return;
    // The values and the date are taken once the file is chosen: the dialog serves events.
    const std::optional<QString> text = records();
    if (!text)
        return;
    if (!WholeFile::write(*path, text->toLatin1()))
        MsgBox(replacing ? QStringLiteral("Unable to create file.  The old file is unchanged.") : QStringLiteral("Unable to create file."),
               vbconst::vbExclamation, Title);
}

void frmCal::cmdSaveFile_Click()
{
    saveChosenFile([this]() -> std::optional<QString> {
        QString text = VbFiles::WriteRecordText(
            {QStringLiteral("date"), QDateTime::currentDateTime().toString(QStringLiteral("MM/dd/yy hh:mm:ss"))});
        try {
            for (const OptionRow &row : OptionRows::all()) {
                // The step size is loaded, never saved; a row the controller never reported
                // and nobody typed holds nothing to save.
                if (row.kind == RowKind::StepSize || rowUnread(row))
                    continue;
                const Variant value = savedValue(row);
                // The format has no escape for a quote: such a value would corrupt the file.
                if (value.type() == Variant::Type::String && value.toString().contains(u'"')) {
                    MsgBox(QStringLiteral("The value of \"%1\" holds a double quote (\") and cannot be saved.  Nothing was written.")
                               .arg(QLatin1String(row.key)),
                           vbconst::vbExclamation, Title);
                    return std::nullopt;
                }
                text += VbFiles::WriteRecordText({QString::fromLatin1(row.key), value});
            }
        } catch (const VbError &e) {
            MsgBox(e.description(), vbconst::vbExclamation, Title);
            return std::nullopt;
        }
        return text;
    });
}

void frmCal::cmdRetrieveFile_Click()
{
    const std::optional<int16_t> file = openChosenFile();
    if (!file)
        return;
    // All or nothing: the whole file is read and checked before any control takes a value.
    std::vector<std::pair<const OptionRow *, QString>> records;
    try {
        while (!VbFiles::EndOfFields(*file)) {
            const QString key = VbFiles::Input(*file);
            const QString value = VbFiles::Input(*file);
            // Keys of no row are skipped, and so are empty values: nothing to load or send.
            if (const OptionRow *row = OptionRows::byKey(key); row && !value.isEmpty())
                records.emplace_back(row, value);
        }
    } catch (const VbError &e) {
        VbFiles::Close(*file);
        MsgBox(e.description());
        return;
    }
    VbFiles::Close(*file);
    for (const auto &[row, value] : records) {
        if (!takesFileValue(*row, value)) {
            MsgBox(QStringLiteral("Invalid value for \"%1\": %2").arg(QLatin1String(row->key), value));
            return;
        }
    }
    // Only the rows the file holds are marked for the upload.
    m_readBack->asWindow([&] {
        for (const auto &[row, value] : records) {
            if (applyFileValue(*row, value) && row->entry >= 0)
                mark(row->entry, false);
        }
    });
    cmdUploadVKM->setEnabled(true);
}
