#include "settings/StoredPositionEditor.h"

#include "link/ControlWindowHooks.h"
#include "link/HandlerError.h"
#include "link/ModuleState.h"
#include "platform/Controls.h"
#include "platform/DataFolder.h"
#include "platform/Held.h"
#include "platform/ListControl.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbError.h"
#include "settings/StoredPositionFile.h"

#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString Vkm = QStringLiteral("VKM");
const QString Orva = QStringLiteral("ORVA");

bool confirmed(const QString &question, const QString &title = Vkm)
{
    return MsgBox(question, vbconst::vbOKCancel | vbconst::vbQuestion, title) != vbconst::vbCancel;
}

void refuse(const QString &message, const QString &title = Vkm)
{
    MsgBox(message, vbconst::vbExclamation, title);
}

// A file that refused a change names itself and why; any other failure is the handlers' box.
void showFailure(const std::exception &e)
{
    if (const auto *file = dynamic_cast<const StoredPositionFile::FileRefused *>(&e))
        refuse(file->message());
    else
        ShowHandlerError(e);
}

// A number as the settings take it, here with blanks around it and a "+" allowed.
std::optional<double> plainNumber(const QString &text)
{
    QString number = text.trimmed();
    if (number.startsWith(u'+') && !number.startsWith(QLatin1String("+-")))
        number.remove(0, 1);
    return vb::StrictNumber(number);
}

// Twips as the grid's column widths were given, at 15 twips a pixel.
constexpr int pixels(int twips)
{
    return twips / 15;
}

} // namespace

StoredPositionEditor::StoredPositionEditor(const Kind &kind, QWidget *parent) : QDialog(parent), m_kind(kind)
{
    setObjectName(QString::fromLatin1(kind.objectName));
    setWindowTitle(kind.caption);

    QStringList headers{QStringLiteral("Description "), QStringLiteral("Position ")};
    if (kind.withTemperature)
        headers << QStringLiteral("Temperature");
    MSFlexGrid1 = NewControl<QTableWidget>(this, "MSFlexGrid1", 0, int(headers.size()));
    MSFlexGrid1->setHorizontalHeaderLabels(headers);
    MSFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSFlexGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    MSFlexGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    MSFlexGrid1->verticalHeader()->setMinimumWidth(pixels(400));
    // The numbers' columns as wide as their headers and values; the description takes the rest.
    QHeaderView *columns = MSFlexGrid1->horizontalHeader();
    columns->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < headers.size(); ++c)
        columns->setSectionResizeMode(c, QHeaderView::ResizeToContents);

    txtDescription = NewControl<QLineEdit>(this, "txtDescription");
    txtPosition = NewControl<QLineEdit>(this, "txtPosition");
    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("Description"), txtDescription);
    fields->addRow(QStringLiteral("Position"), txtPosition);
    if (kind.withTemperature) {
        txtTemperature = NewControl<QLineEdit>(this, "txtTemperature");
        fields->addRow(QStringLiteral("Temperature"), txtTemperature);
    }

    cmdAdd = NewControl<QPushButton>(this, "cmdAdd", QStringLiteral("Add New"));
    cmdUpdate = NewControl<QPushButton>(this, "cmdUpdate", QStringLiteral("Update"));
    cmdCancel = NewControl<QPushButton>(this, "cmdCancel", QStringLiteral("Cancel"));
    cmdDelete = NewControl<QPushButton>(this, "cmdDelete", QStringLiteral("Delete"));
    cmdCurrent = NewControl<QPushButton>(this, "cmdCurrent", QStringLiteral("Use Current Data"));
    cmdExit = NewControl<QPushButton>(this, "cmdExit", QStringLiteral("Exit"));
    for (QPushButton *button : {cmdAdd, cmdUpdate, cmdCancel, cmdDelete, cmdCurrent, cmdExit})
        button->setAutoDefault(false);

    auto *column = new QVBoxLayout(this);
    column->addWidget(MSFlexGrid1);
    column->addLayout(fields);
    column->addLayout(ButtonRow({cmdAdd, cmdUpdate, cmdCancel, cmdDelete, cmdCurrent, cmdExit}));
    resize(pixels(8500), pixels(6000));

    connect(cmdAdd, &QPushButton::clicked, this, &StoredPositionEditor::cmdAdd_Click);
    connect(cmdUpdate, &QPushButton::clicked, this, &StoredPositionEditor::cmdUpdate_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &StoredPositionEditor::cmdCancel_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &StoredPositionEditor::cmdDelete_Click);
    connect(cmdCurrent, &QPushButton::clicked, this, &StoredPositionEditor::cmdCurrent_Click);
    connect(cmdExit, &QPushButton::clicked, this, &QDialog::accept);
    // The row change asks its questions after the grid has handled the press or key that
    // chose the row, so that what it puts back is what stays highlighted.
    connect(MSFlexGrid1, &QTableWidget::currentCellChanged, this, &StoredPositionEditor::MSFlexGrid1_RowColChange,
            Qt::QueuedConnection);
    // The current record stays highlighted: a Ctrl+click that empties the selection gives way.
    connect(
        MSFlexGrid1, &QTableWidget::itemSelectionChanged, this,
        [this] {
            if (MSFlexGrid1->selectedItems().isEmpty() && CurrentRecord >= 1)
                selectRow(CurrentRecord);
        },
        Qt::QueuedConnection);
    // Only the operator's edits mark a change; texts set from here do not.
    for (QLineEdit *box : {txtDescription, txtPosition, txtTemperature})
        if (box)
            connect(box, &QLineEdit::textEdited, this, &StoredPositionEditor::textEdited);
}

MainWindowAccess &StoredPositionEditor::mainWindow()
{
    return Held(ControlWindows().Main);
}

void StoredPositionEditor::Form_Load()
{
    const QSignalBlocker quiet(MSFlexGrid1);
    MSFlexGrid1->setRowCount(0);
    for (int k = 1; k < positionCount(); ++k) {
        addGridRow();
        setCells(k, storedCells(k));
    }
    CurrentRecord = Module().positions.StoreIndex;
    if (CurrentRecord < 0 || CurrentRecord >= gridRows()) // no list entry chosen
        CurrentRecord = 0;
    selectRow(CurrentRecord);
    loadTextBoxes(CurrentRecord);
    Dirty = false;
    Adding = false;
    idleSet();
}

void StoredPositionEditor::cmdAdd_Click()
{
    if (!confirmed(QStringLiteral("Create new record?")))
        return;
    // A row left behind by deleting the only record gives way to the new one.
    while (gridRows() > positionCount() && MSFlexGrid1->rowCount() > 0) {
        const QSignalBlocker quiet(MSFlexGrid1);
        MSFlexGrid1->removeRow(MSFlexGrid1->rowCount() - 1);
    }
    Adding = true;
    CurrentRecord = gridRows();
    addGridRow();
    selectRow(CurrentRecord);
    editSet();
    Dirty = true;
    cmdCurrent_Click();
    txtDescription->clear();
    txtDescription->setFocus();
}

void StoredPositionEditor::cmdCurrent_Click()
{
    if (!confirmed(m_kind.currentQuestion))
        return;
    fillCurrentData();
    editSet();
    Dirty = true;
}

void StoredPositionEditor::cmdUpdate_Click()
{
    update();
}

bool StoredPositionEditor::update()
{
    if (Adding) {
        if (!confirmed(QStringLiteral("Save new record?"))) {
            dropEdit();
            return true;
        }
    } else if (!confirmed(QStringLiteral("Save changes?"))) {
        return true;
    }
    if (CurrentRecord <= 0) {
        idleSet();
        Dirty = false;
        refuse(QStringLiteral("Error:  No current record."), Orva);
        return true;
    }
    // Checked before anything is counted or copied: a refusal leaves the edit as it was.
    const std::optional<TypedRecord> record = typedRecord();
    if (!record) {
        refuse(QStringLiteral("Invalid input value."));
        return false;
    }
    // The file first: when it refuses the record, the count, the table, the grid's stored rows
    // and the main list stay as they were, and the boxes keep what was typed, to be saved
    // again once the file takes it.
    ListControl *list = nullptr;
    try {
        list = &mainList();
        writeToFile(DataFolder::file(m_kind.fileName), CurrentRecord, *record, positionCount() - 1);
    } catch (const std::exception &e) {
        showFailure(e);
        return false;
    }
    // A row beyond the count (a new one, or the one left by deleting the only record) joins it.
    if (CurrentRecord >= positionCount())
        setPositionCount(CurrentRecord + 1);
    Adding = false;

    QStringList cells{record->description, txtPosition->text()};
    if (txtTemperature)
        cells << txtTemperature->text();
    setCells(CurrentRecord, cells);
    storeInTable(CurrentRecord, *record);
    idleSet();
    Dirty = false;
    Module().positions.StorePosition = record->position;

    try {
        if (CurrentRecord == list->ListCount())
            list->AddItem(record->description);
        else
            list->setList(CurrentRecord, record->description);
        saved(*record);
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
    return true;
}

std::optional<StoredPositionEditor::TypedRecord> StoredPositionEditor::typedRecord() const
{
    TypedRecord record;
    record.description = txtDescription->text();
    if (record.description.trimmed().isEmpty())
        return std::nullopt;
    try {
        const std::optional<double> position = plainNumber(txtPosition->text());
        if (!position)
            return std::nullopt;
        record.position = vb::CLng(*position);
        if (txtTemperature) {
            const std::optional<double> temperature = plainNumber(txtTemperature->text());
            if (!temperature)
                return std::nullopt;
            record.temperature = vb::CSng(*temperature);
        }
    } catch (const VbError &) { // beyond a Long or a Single
        return std::nullopt;
    }
    return record;
}

void StoredPositionEditor::cmdCancel_Click()
{
    if (Dirty && !confirmed(QStringLiteral("Cancel changes?")))
        return;
    dropEdit();
}

void StoredPositionEditor::cmdDelete_Click()
{
    // Only a counted record can go: not the header row, a new row or a row left behind.
    if (CurrentRecord <= 0 || CurrentRecord >= positionCount()) {
        refuse(QStringLiteral("There is no current record.  Can not delete."), Orva);
        return;
    }
    if (!confirmed(QStringLiteral("Delete current record?"), Orva))
        return;
    try {
        const int records = positionCount() - 1;
        StoredPositionFile::removeRecord(DataFolder::file(m_kind.fileName), DataFolder::file(m_kind.tempName),
                                         m_kind.recordLength, CurrentRecord, records);
        setPositionCount(records);
        removeFromTable(CurrentRecord);
        mainList().RemoveItem(CurrentRecord);
        if (!m_kind.keepsOnlyRow || MSFlexGrid1->rowCount() > 1) {
            const QSignalBlocker quiet(MSFlexGrid1);
            MSFlexGrid1->removeRow(CurrentRecord - 1);
        }
        if (CurrentRecord == gridRows())
            --CurrentRecord;
        selectRow(CurrentRecord);
        loadTextBoxes(CurrentRecord);
        Dirty = false;
        idleSet();
    } catch (const std::exception &e) {
        showFailure(e);
    }
}

void StoredPositionEditor::done(int result)
{
    if (Dirty)
        update();
    QDialog::done(result);
}

void StoredPositionEditor::MSFlexGrid1_RowColChange()
{
    const int chosen = MSFlexGrid1->currentRow() + 1;
    if (chosen <= 0 || chosen == CurrentRecord)
        return;
    // Refused values keep the operator on his edit instead of dropping it.
    if (Dirty && !update()) {
        selectRow(CurrentRecord);
        return;
    }
    CurrentRecord = MSFlexGrid1->currentRow() + 1;
    loadTextBoxes(CurrentRecord);
    Dirty = false;
    idleSet();
}

void StoredPositionEditor::textEdited()
{
    if (Dirty)
        return;
    Dirty = true;
    editSet();
}

// A new record's row goes; the boxes show the current record as stored, which Delete takes.
void StoredPositionEditor::dropEdit()
{
    if (Adding)
        cancelAdding();
    loadTextBoxes(CurrentRecord);
    idleSet();
    Dirty = false;
}

void StoredPositionEditor::cancelAdding()
{
    {
        const QSignalBlocker quiet(MSFlexGrid1);
        MSFlexGrid1->removeRow(MSFlexGrid1->rowCount() - 1);
    }
    --CurrentRecord;
    selectRow(CurrentRecord);
    Adding = false;
}

void StoredPositionEditor::addGridRow()
{
    const int row = MSFlexGrid1->rowCount();
    MSFlexGrid1->insertRow(row);
    MSFlexGrid1->setVerticalHeaderItem(row, new QTableWidgetItem(QString()));
    for (int c = 0; c < MSFlexGrid1->columnCount(); ++c)
        MSFlexGrid1->setItem(row, c, new QTableWidgetItem);
}

void StoredPositionEditor::setCells(int row, const QStringList &cells)
{
    for (int c = 0; c < cells.size() && c < MSFlexGrid1->columnCount(); ++c)
        MSFlexGrid1->item(row - 1, c)->setText(cells[c]);
}

void StoredPositionEditor::selectRow(int row)
{
    const QSignalBlocker quiet(MSFlexGrid1);
    if (row >= 1 && row <= MSFlexGrid1->rowCount())
        MSFlexGrid1->setCurrentCell(row - 1, 0);
    else {
        MSFlexGrid1->setCurrentCell(-1, -1);
        MSFlexGrid1->clearSelection();
    }
}

// Row 0 (the header) or a row that is gone shows empty boxes.
void StoredPositionEditor::loadTextBoxes(int row)
{
    const bool exists = row >= 1 && row <= MSFlexGrid1->rowCount();
    QLineEdit *boxes[] = {txtDescription, txtPosition, txtTemperature};
    for (int c = 0; c < 3; ++c)
        if (boxes[c])
            boxes[c]->setText(exists ? MSFlexGrid1->item(row - 1, c)->text() : QString());
}

int StoredPositionEditor::gridRows() const
{
    return MSFlexGrid1->rowCount() + 1;
}

void StoredPositionEditor::idleSet()
{
    cmdAdd->setEnabled(true);
    cmdDelete->setEnabled(true);
    cmdUpdate->setEnabled(false);
    cmdCancel->setEnabled(false);
}

void StoredPositionEditor::editSet()
{
    cmdAdd->setEnabled(false);
    cmdDelete->setEnabled(false);
    cmdUpdate->setEnabled(true);
    cmdCancel->setEnabled(true);
}
