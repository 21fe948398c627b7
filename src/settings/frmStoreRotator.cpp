#include "settings/frmStoreRotator.h"

#include "link/ControlWindowHooks.h"
#include "link/ModuleState.h"
#include "settings/StoredPositionFile.h"

#include <QLineEdit>

frmStoreRotator::frmStoreRotator(QWidget *parent)
    : StoredPositionEditor({"frmStoreRotator", QStringLiteral("Store and Edit Rotator Positions"),
                            QStringLiteral("Use current position ?"), StoredPositionFile::RotatorFileName,
                            StoredPositionFile::RotatorTempName, StoredPositionFile::RotatorRecordLength, false, true},
                           parent)
{
    Form_Load();
}

void frmStoreRotator::showModal(QWidget *parent)
{
    frmStoreRotator editor(parent);
    editor.exec();
}

int32_t frmStoreRotator::positionCount() const
{
    return Module().positions.RotatorPositionCount;
}

void frmStoreRotator::setPositionCount(int32_t count)
{
    Module().positions.RotatorPositionCount = count;
}

QStringList frmStoreRotator::storedCells(int k) const
{
    const RotatorRecord record = Module().positions.RotatorPositions.value(k);
    return {record.Description, QString::number(record.Position)};
}

namespace {

RotatorRecord stored(const frmStoreRotator::TypedRecord &typed)
{
    return {StoredPositionFile::fitDescription(typed.description), typed.position};
}

} // namespace

void frmStoreRotator::storeInTable(int k, const TypedRecord &typed)
{
    tableEntry(Module().positions.RotatorPositions, k) = stored(typed);
}

void frmStoreRotator::writeToFile(const QString &path, int k, const TypedRecord &typed, int listed) const
{
    StoredPositionFile::write(path, k, stored(typed), listed);
}

void frmStoreRotator::removeFromTable(int k)
{
    removeEntry(Module().positions.RotatorPositions, k);
}

ListControl &frmStoreRotator::mainList() const
{
    return mainWindow().RotatorList();
}

void frmStoreRotator::fillCurrentData()
{
    txtPosition->setText(QString::number(Module().positions.StorePosition));
}

void frmStoreRotator::saved(const TypedRecord &record)
{
    mainWindow().setRotatorGotoText(QString::number(record.position));
}
