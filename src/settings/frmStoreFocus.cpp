#include "settings/frmStoreFocus.h"

#include "link/ControlWindowHooks.h"
#include "link/ModuleState.h"
#include "platform/Vb.h"
#include "settings/StoredPositionFile.h"

#include <QLineEdit>
#include <cmath>

frmStoreFocus::frmStoreFocus(QWidget *parent)
    : StoredPositionEditor({"frmStoreFocus", QStringLiteral("Store and Edit Focus Positions"),
                            QStringLiteral("Use current position and temperature?"), StoredPositionFile::FocusFileName,
                            StoredPositionFile::FocusTempName, StoredPositionFile::FocusRecordLength, true, false},
                           parent)
{
    Form_Load();
}

void frmStoreFocus::showModal(QWidget *parent)
{
    frmStoreFocus editor(parent);
    editor.exec();
}

int32_t frmStoreFocus::positionCount() const
{
    return Module().positions.FocusPositionCount;
}

void frmStoreFocus::setPositionCount(int32_t count)
{
    Module().positions.FocusPositionCount = int16_t(count);
}

QStringList frmStoreFocus::storedCells(int k) const
{
    const FocusRecord record = Module().positions.FocusPositions.value(k);
    // A damaged record may hold no finite temperature; it is shown so that it can be deleted.
    const QString temperature = std::isfinite(record.Temperature) ? vb::Format(record.Temperature, QStringLiteral("0.0"))
                                                                  : QString::number(record.Temperature);
    return {record.Description, QString::number(record.Position), temperature};
}

namespace {

FocusRecord stored(const frmStoreFocus::TypedRecord &typed)
{
    return {StoredPositionFile::fitDescription(typed.description), typed.position, typed.temperature};
}

} // namespace

void frmStoreFocus::storeInTable(int k, const TypedRecord &typed)
{
    ModuleState::Positions &p = Module().positions;
    tableEntry(p.FocusPositions, k) = stored(typed);
    tableEntry(p.FocusTemperatures, k) = typed.temperature;
}

void frmStoreFocus::writeToFile(const QString &path, int k, const TypedRecord &typed, int listed) const
{
    StoredPositionFile::write(path, k, stored(typed), listed);
}

void frmStoreFocus::removeFromTable(int k)
{
    ModuleState::Positions &p = Module().positions;
    removeEntry(p.FocusPositions, k);
    removeEntry(p.FocusTemperatures, k);
}

ListControl &frmStoreFocus::mainList() const
{
    return mainWindow().FocusList();
}

void frmStoreFocus::fillCurrentData()
{
    const ModuleState::Positions &p = Module().positions;
    txtPosition->setText(QString::number(p.StorePosition));
    txtTemperature->setText(p.StoreTemperature ? vb::CStr(*p.StoreTemperature) : QString()); // none reported: none offered
}
