#pragma once

#include "settings/StoredPositionEditor.h"

// "Store and Edit Focus Positions": the records of "ORVA.DAT" (description, position,
// temperature), FocusPositions with FocusTemperatures, and the main window's Combo1.
class frmStoreFocus final : public StoredPositionEditor
{
public:
    explicit frmStoreFocus(QWidget *parent = nullptr);

    // Shows a fresh editor modally on the values the store button handed over.
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
};
