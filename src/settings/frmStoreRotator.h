#pragma once

#include "settings/StoredPositionEditor.h"

// "Store and Edit Rotator Positions": the records of "RUDODovovez.DAT" (description, angle
// in whole degrees), RotatorPositions and the main window's cmbRotStore; a saved angle also
// goes into the main window's go-to box.
class frmStoreRotator final : public StoredPositionEditor
{
public:
    explicit frmStoreRotator(QWidget *parent = nullptr);

    static void showModal(QWidget *parent = nullptr);

protected:
    int32_t positionCount() const override;
    void setPositionCount(int32_t count) override;
    QStringList storedCells(int k) const override;
    void storeInTable(int k, const TypedRecord &record) override;
    void writeToFile(const QString &path, int k, const TypedRecord &record, int listed) const override;
    void removeFromTable(int k) override;
    ListControl &mainList() const override;
    void fillCurrentData() override;
    void saved(const TypedRecord &record) override;
};
