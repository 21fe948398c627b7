#pragma once

#include <QDialog>
#include <QString>
#include <QVector>
#include <cstdint>
#include <optional>

class ListControl;
class MainWindowAccess;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The editor of one stored-position file: a grid of the records (grid row k is record k,
// row 0 the header), text boxes for the current record and the buttons to add, save,
// cancel and delete. Every saved record goes straight into the file; the module table, its
// count and the main window's list follow each change. frmStoreFocus and frmStoreRotator
// say which table, file and list.
class StoredPositionEditor : public QDialog
{
    Q_OBJECT

public:
    QTableWidget *MSFlexGrid1 = nullptr;
    QLineEdit *txtDescription = nullptr;
    QLineEdit *txtPosition = nullptr;
    QLineEdit *txtTemperature = nullptr; // focus positions only
    QPushButton *cmdAdd = nullptr;
    QPushButton *cmdUpdate = nullptr;
    QPushButton *cmdCancel = nullptr;
    QPushButton *cmdDelete = nullptr;
    QPushButton *cmdCurrent = nullptr;
    QPushButton *cmdExit = nullptr;

    // The values typed into the text boxes, once they have passed the checks.
    struct TypedRecord
    {
        QString description; // as typed
        int32_t position = 0;
        float temperature = 0;
    };

    int32_t CurrentRecord = 0; // the grid row the text boxes show; 0 = none
    bool Dirty = false;        // the text boxes hold unsaved edits
    bool Adding = false;       // the grid's last row is a record not yet counted

    void cmdAdd_Click();
    void cmdCurrent_Click();
    void cmdUpdate_Click();
    void cmdCancel_Click();
    void cmdDelete_Click();

    // Unsaved edits are offered for saving; closing goes on whatever the answer.
    void done(int result) override;

protected:
    struct Kind
    {
        const char *objectName;
        QString caption;
        QString currentQuestion; // "Use Current Data"
        QString fileName;
        QString tempName;
        int recordLength;
        bool withTemperature;
        bool keepsOnlyRow; // deleting the only record leaves its grid row
    };

    StoredPositionEditor(const Kind &kind, QWidget *parent);

    // Fills the grid and the text boxes from the module table; the subclass runs it once built.
    void Form_Load();

    virtual int32_t positionCount() const = 0;
    virtual void setPositionCount(int32_t count) = 0;
    // The grid cells of stored record k, description first.
    virtual QStringList storedCells(int k) const = 0;
    // Puts record k into the module table, growing it as needed.
    virtual void storeInTable(int k, const TypedRecord &record) = 0;
    // Writes the typed record as record k of the file, whose list holds `listed` records.
    virtual void writeToFile(const QString &path, int k, const TypedRecord &record, int listed) const = 0;
    virtual void removeFromTable(int k) = 0;
    virtual ListControl &mainList() const = 0;
    // What "Use Current Data" puts into the value boxes.
    virtual void fillCurrentData() = 0;
    // After record k has reached the file and the main list.
    virtual void saved(const TypedRecord &) {}

    // Entry k of a module table, which grows to k + 20 when k reaches its highest index.
    template <typename T>
    static T &tableEntry(QVector<T> &table, int k)
    {
        if (table.size() - 1 <= k)
            table.resize(k + 21);
        return table[k];
    }

    // Removes entry k; the later ones move down and the table keeps its size.
    template <typename T>
    static void removeEntry(QVector<T> &table, int k)
    {
        if (k < table.size()) {
            table.remove(k);
            table.append(T{});
        }
    }

    // The main window, as the editors reach it; VbError 91 when it is not loaded.
    static MainWindowAccess &mainWindow();

private:
    bool update(); // false when the typed values or their write were refused, and the edit stays
    void dropEdit();
    std::optional<TypedRecord> typedRecord() const;
    void MSFlexGrid1_RowColChange();
    void textEdited();
    void cancelAdding();
    void addGridRow();
    void setCells(int row, const QStringList &cells);
    void selectRow(int row);
    void loadTextBoxes(int row);
    int gridRows() const; // counting the header row
    void idleSet();
    void editSet();

    Kind m_kind;
};
