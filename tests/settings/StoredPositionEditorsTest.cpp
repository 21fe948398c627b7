#include "link/ModuleState.h"
#include "platform/DataFolder.h"
#include "settings/StoredPositionFile.h"
#include "settings/frmStoreFocus.h"
#include "settings/frmStoreRotator.h"
#include "support/AsOrdinaryUser.h"
#include "support/DiskFullAt.h"
#include "support/FakeControlWindows.h"
#include "support/OperatorInput.h"
#include "support/RecordingPrompts.h"
#include "support/WidgetInput.h"

#include <QDir>
#include <functional>
#include <optional>
#include <QFile>
#include <QLineEdit>
#include <QTableWidget>
#include <QtEndian>
#include <limits>
#include <gtest/gtest.h>

using namespace WidgetInput;

namespace {

const QString FocusFile = StoredPositionFile::FocusFileName;
const QString RotatorFile = StoredPositionFile::RotatorFileName;

QByteArray fileBytes(const QString &name)
{
    QFile file(DataFolder::file(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray focusRecord(const char *description, int32_t position, float temperature)
{
    return StoredPositionFile::encode(FocusRecord{QString::fromLatin1(description), position, temperature})
        + QByteArray(50, '\0');
}

class StoredPositionEditors : public ::testing::Test
{
protected:
    RecordingPrompts prompts;
    FakeMainWindow main;

    void SetUp() override
    {
        Module().positions = ModuleState::Positions{};
        Module().positions.StoreTemperature = 0.0f;
        for (const QString &name : {FocusFile, RotatorFile, StoredPositionFile::FocusTempName}) {
            QDir(DataFolder::file(name)).removeRecursively();
            QFile::remove(DataFolder::file(name));
        }
        seedFocus({});
        seedRotator({});
    }

    // The file, the table, the count and the list as the main window's reader leaves them.
    template <typename Record>
    static int32_t seed(const QString &name, const QList<Record> &records, QVector<Record> &table, FakeList &list)
    {
        table = QVector<Record>(21);
        list.entries = {QStringLiteral("<new>")};
        QFile::remove(DataFolder::file(name));
        QFile(DataFolder::file(name)).open(QIODevice::WriteOnly);
        for (int k = 1; k <= records.size(); ++k) {
            StoredPositionFile::write(DataFolder::file(name), k, records[k - 1], k - 1);
            table[k] = records[k - 1];
            list.entries << records[k - 1].Description;
        }
        return int32_t(records.size() + 1);
    }

    void seedFocus(const QList<FocusRecord> &records)
    {
        ModuleState::Positions &p = Module().positions;
        p.FocusPositionCount = int16_t(seed(FocusFile, records, p.FocusPositions, main.focusList));
        p.FocusTemperatures = QVector<float>(21);
        for (int k = 1; k <= records.size(); ++k)
            p.FocusTemperatures[k] = records[k - 1].Temperature;
    }

    void seedRotator(const QList<RotatorRecord> &records)
    {
        ModuleState::Positions &p = Module().positions;
        p.RotatorPositionCount = seed(RotatorFile, records, p.RotatorPositions, main.rotatorList);
    }

    QStringList takeBoxes() { return prompts.takePrompts(); }

    void cancelOn(const QString &question)
    {
        prompts.answer = [question](const MessageBoxRequest &box) {
            return box.prompt == question ? vbconst::vbCancel : vbconst::vbOK;
        };
    }
};

} // namespace

TEST_F(StoredPositionEditors, SavedRecordsReachTheFileTheTableAndTheList)
{
    struct Case { const char *description; const char *position; const char *temperature; QByteArray fields; };
    const QByteArray longName(60, 'x');
    const Case cases[] = {
        // Position and temperature as "Use Current Data" offers them.
        {"Near focus", nullptr, nullptr, QByteArray("Near focus").leftJustified(50) + QByteArray::fromHex("39300000" "0000ac41")},
        {"Near focus", "12.5", "21.5", QByteArray("Near focus").leftJustified(50) + QByteArray::fromHex("0c000000" "0000ac41")},
        {"Far", " 13.5 ", "-4e1", QByteArray("Far").leftJustified(50) + QByteArray::fromHex("0e000000" "000020c2")},
        {"Caf\xc3\xa9 \xe2\x98\x83 \xf0\x9f\x94\xad", "-1", ".5", QByteArray("Caf\xe9 ? ?").leftJustified(50) + QByteArray::fromHex("ffffffff" "0000003f")},
        {longName.constData(), "0", "0", longName.left(50) + QByteArray(8, '\0')},
        // Refused: nothing counted, written or listed, and the new row stays for correction.
        {"Thousands", "1,000", "20", {}},
        {"Word", "12", "warm", {}},
        {"   ", "12", "20", {}},
        {"Huge", "3e9", "20", {}},
        {"Hex", "&H10", "20", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.description);
        seedFocus({});
        Module().positions.StorePosition = 12345;
        Module().positions.StoreTemperature = 21.5f;
        frmStoreFocus editor;
        editor.cmdAdd->click();
        EXPECT_EQ(editor.txtPosition->text(), QStringLiteral("12345"));
        EXPECT_EQ(editor.txtTemperature->text(), QStringLiteral("21.5"));
        editor.txtDescription->setText(QString::fromUtf8(c.description));
        if (c.position) {
            editor.txtPosition->setText(QString::fromLatin1(c.position));
            editor.txtTemperature->setText(QString::fromLatin1(c.temperature));
        }
        editor.cmdUpdate->click();
        const ModuleState::Positions &p = Module().positions;
        if (c.fields.isEmpty()) {
            EXPECT_EQ(takeBoxes().last(), QStringLiteral("Invalid input value."));
            EXPECT_TRUE(fileBytes(FocusFile).isEmpty());
            EXPECT_EQ(p.FocusPositionCount, 1);
            EXPECT_EQ(main.focusList.entries, QStringList{"<new>"});
            EXPECT_TRUE(editor.Adding);
            EXPECT_EQ(editor.MSFlexGrid1->rowCount(), 1);
            continue;
        }
        EXPECT_EQ(takeBoxes(), (QStringList{"Create new record?", "Use current position and temperature?", "Save new record?"}));
        EXPECT_EQ(fileBytes(FocusFile), c.fields + QByteArray(50, '\0'));
        EXPECT_EQ(p.FocusPositionCount, 2);
        EXPECT_EQ(main.focusList.entries, (QStringList{"<new>", QString::fromUtf8(c.description)}));
        EXPECT_TRUE(main.focusList.clicks.isEmpty());
        const int32_t position = qFromLittleEndian<qint32>(c.fields.constData() + 50);
        const float temperature = qFromLittleEndian<float>(c.fields.constData() + 54);
        EXPECT_EQ(p.StorePosition, position);
        EXPECT_EQ(p.FocusPositions[1].Position, position);
        EXPECT_EQ(p.FocusTemperatures[1], temperature);
        EXPECT_EQ(p.FocusPositions[1].Temperature, temperature);
        EXPECT_FALSE(editor.Adding || editor.Dirty);
    }

    // A stored record reopened shows the stored values; an edit rewrites it in place.
    seedFocus({{QStringLiteral("One"), 1, 1.0f}, {QStringLiteral("Two"), 2, 2.25f}});
    Module().positions.StoreIndex = 2;
    frmStoreFocus editor;
    EXPECT_EQ(editor.txtTemperature->text(), QStringLiteral("2.3"));
    type(editor.txtPosition, QStringLiteral("0"));
    editor.cmdUpdate->click();
    EXPECT_EQ(fileBytes(FocusFile).mid(108), focusRecord("Two", 20, 2.3f));
    EXPECT_EQ(Module().positions.FocusPositionCount, 3);

    // The rotator: one position, and the main window's go-to box follows.
    takeBoxes();
    Module().positions.StorePosition = 90;
    frmStoreRotator rotator;
    rotator.cmdAdd->click();
    type(rotator.txtDescription, QStringLiteral("Zenith"));
    rotator.cmdUpdate->click();
    EXPECT_EQ(takeBoxes(), (QStringList{"Create new record?", "Use current position ?", "Save new record?"}));
    const QByteArray bytes = fileBytes(RotatorFile);
    ASSERT_EQ(bytes.size(), 104);
    EXPECT_EQ(bytes.left(50), QByteArray("Zenith").leftJustified(50));
    EXPECT_EQ(bytes.mid(50, 4), QByteArray::fromHex("5a000000"));
    EXPECT_EQ(main.rotatorGotoText, QStringLiteral("90"));
    EXPECT_EQ(main.rotatorList.entries, (QStringList{"<new>", "Zenith"}));
    EXPECT_EQ(Module().positions.RotatorPositionCount, 2);
}

TEST_F(StoredPositionEditors, DeletingRewritesTheFileWithoutTheRecord)
{
    const QList<FocusRecord> three = {{QStringLiteral("A"), 1, 10.0f}, {QStringLiteral("B"), 2, 20.0f}, {QStringLiteral("C"), 3, 30.0f}};
    const ModuleState::Positions &p = Module().positions;

    struct Case { int current; QByteArray file; QStringList list; float secondTemperature; int nowCurrent; const char *shown; };
    const Case cases[] = {
        {2, focusRecord("A", 1, 10) + focusRecord("C", 3, 30), {"<new>", "A", "C"}, 30, 2, "C"},
        {3, focusRecord("A", 1, 10) + focusRecord("B", 2, 20), {"<new>", "A", "B"}, 20, 2, "B"},
        {1, focusRecord("B", 2, 20) + focusRecord("C", 3, 30), {"<new>", "B", "C"}, 30, 1, "B"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.current);
        seedFocus(three);
        Module().positions.StoreIndex = c.current;
        frmStoreFocus editor;
        editor.cmdDelete->click();
        EXPECT_EQ(takeBoxes(), QStringList{"Delete current record?"});
        EXPECT_EQ(fileBytes(FocusFile), c.file);
        EXPECT_FALSE(QFile::exists(DataFolder::file(StoredPositionFile::FocusTempName)));
        EXPECT_EQ(main.focusList.entries, c.list);
        EXPECT_EQ(p.FocusPositionCount, 3);
        EXPECT_EQ(p.FocusPositions[1].Description.trimmed() + p.FocusPositions[2].Description.trimmed(), c.list[1] + c.list[2]);
        EXPECT_EQ(p.FocusTemperatures[2], c.secondTemperature);
        EXPECT_EQ(p.FocusPositions[2].Temperature, c.secondTemperature);
        EXPECT_EQ(editor.MSFlexGrid1->rowCount(), 2);
        EXPECT_EQ(editor.CurrentRecord, c.nowCurrent);
        EXPECT_EQ(editor.txtDescription->text().trimmed(), QString::fromLatin1(c.shown));
    }

    // A write that fails (the file size limit, a read-only file) or a list that did not load from the
    // file leaves the old file byte for byte, says why naming the file, and changes no count, table,
    // stored row or list: Update of a last record that lacks its unused tail, Add, Delete. What was
    // typed stays in the boxes, and is saved by the next Update once the file takes it.
    enum Cause { Full, ReadOnly, Unlisted };
    const QString path = DataFolder::file(FocusFile);
    const QString unchanged = QStringLiteral("The file \"%1\" cannot be written (%2); the stored positions in it are unchanged.");
    const QString unlisted = QStringLiteral("The file \"%1\" holds 3 stored positions where 0 are listed (the list was not read "
                                            "from it as it is now); nothing was written to it.").arg(path);
    struct Failing { const char *what; Cause cause; int current; std::function<void(frmStoreFocus &)> act; QString box; const char *typed; };
    const auto update = [](frmStoreFocus &e) { type(e.txtPosition, QStringLiteral("9")); e.cmdUpdate->click(); };
    const auto add = [](frmStoreFocus &e) { e.cmdAdd->click(); type(e.txtDescription, QStringLiteral("Lost")); e.cmdUpdate->click(); };
    const auto remove = [](frmStoreFocus &e) { e.cmdDelete->click(); };
    const Failing failing[] = {
        {"update full", Full, 3, update, unchanged.arg(path, "File too large"), "39"},
        {"add full", Full, 1, add, unchanged.arg(path, "File too large"), "Lost"},
        {"delete full", Full, 1, remove, unchanged.arg(path, "File too large"), nullptr},
        {"update read-only", ReadOnly, 3, update, unchanged.arg(path, "Permission denied"), "39"},
        {"add read-only", ReadOnly, 1, add, unchanged.arg(path, "Permission denied"), "Lost"},
        {"delete read-only", ReadOnly, 1, remove, unchanged.arg(path, "Permission denied"), nullptr},
        {"add unlisted", Unlisted, 0, add, unlisted, "Lost"},
    };
    for (const Failing &f : failing) {
        SCOPED_TRACE(f.what);
        seedFocus(three);
        QFile(path).resize(2 * 108 + 58);
        const QByteArray old = fileBytes(FocusFile);
        const QStringList listed = f.cause == Unlisted ? QStringList{"<new>"} : QStringList{"<new>", "A", "B", "C"};
        if (f.cause == Unlisted)
            Module().positions.FocusPositionCount = 1, main.focusList.entries = listed;
        Module().positions.StoreIndex = f.current;
        frmStoreFocus editor;
        {
            const AsOrdinaryUser user;
            const std::optional<DiskFullAt> limit = f.cause == Full ? std::optional<DiskFullAt>(100) : std::nullopt;
            if (f.cause == ReadOnly)
                QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
            f.act(editor);
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        }
        EXPECT_EQ(takeBoxes().last(), f.box);
        EXPECT_EQ(fileBytes(FocusFile), old);
        EXPECT_EQ(QDir(DataFolder::path()).entryList(QDir::Files).filter(QStringLiteral("ORVA")), QStringList{FocusFile});
        EXPECT_EQ(main.focusList.entries, listed);
        EXPECT_EQ(p.FocusPositionCount, listed.size());
        EXPECT_EQ(editor.MSFlexGrid1->rowCount(), listed.size() - 1 + (f.typed && f.current <= 1)); // a new row stays new
        if (!f.typed)
            continue;
        const QLineEdit *box = QByteArray(f.typed) == "Lost" ? editor.txtDescription : editor.txtPosition;
        EXPECT_EQ(box->text(), QString::fromLatin1(f.typed));
        EXPECT_TRUE(editor.Dirty && editor.cmdUpdate->isEnabled());
        // Once there is room, or the file is writable again, the typed record goes in; records on disk stay.
        editor.cmdUpdate->click();
        const QByteArray now = fileBytes(FocusFile);
        EXPECT_EQ(now.left(2 * 108 + 58), f.cause == Unlisted || f.current == 1 ? old : old.left(2 * 108) + focusRecord("C", 39, 30).left(58));
        EXPECT_EQ(now.size(), f.cause == Unlisted ? old.size() : f.current == 1 ? 4 * 108 : 3 * 108);
        EXPECT_EQ(main.focusList.entries.size(), listed.size() + (f.cause != Unlisted && f.current == 1));
    }
    takeBoxes();

    // A temporary file that cannot be replaced: the error box, and nothing changed.
    seedFocus(three);
    QDir().mkpath(DataFolder::file(StoredPositionFile::FocusTempName));
    Module().positions.StoreIndex = 1;
    {
        frmStoreFocus editor;
        editor.cmdDelete->click();
        const QString temp = DataFolder::file(StoredPositionFile::FocusTempName);
        EXPECT_EQ(takeBoxes().last(), unchanged.arg(path, temp + ": Is a directory"));
        EXPECT_EQ(fileBytes(FocusFile).size(), 3 * 108);
        EXPECT_EQ(p.FocusPositionCount, 4);
        EXPECT_EQ(main.focusList.entries.size(), 4);
    }
    QDir(DataFolder::file(StoredPositionFile::FocusTempName)).removeRecursively();

    // The only rotator record: the file empties, its row stays, and it cannot go twice.
    seedRotator({{QStringLiteral("Zenith"), 90}});
    Module().positions.StoreIndex = 1;
    frmStoreRotator rotator;
    rotator.cmdDelete->click();
    EXPECT_TRUE(fileBytes(RotatorFile).isEmpty());
    EXPECT_EQ(main.rotatorList.entries, QStringList{"<new>"});
    EXPECT_EQ(p.RotatorPositionCount, 1);
    EXPECT_EQ(rotator.MSFlexGrid1->rowCount(), 1);
    EXPECT_EQ(rotator.txtPosition->text(), QStringLiteral("90"));
    takeBoxes();
    rotator.cmdDelete->click();
    EXPECT_EQ(takeBoxes(), QStringList{"There is no current record.  Can not delete."});
    // Saving the row left behind stores it again as the one record.
    type(rotator.txtPosition, QStringLiteral("1"));
    rotator.cmdUpdate->click();
    EXPECT_EQ(fileBytes(RotatorFile).mid(50, 4), QByteArray::fromHex("85030000"));
    EXPECT_EQ(main.rotatorList.entries, (QStringList{"<new>", "Zenith"}));
    EXPECT_EQ(p.RotatorPositionCount, 2);
}

TEST_F(StoredPositionEditors, DeclinedOrRefusedEditsLeaveTheFileAlone)
{
    seedFocus({{QStringLiteral("A"), 1, 10.0f}});
    const QByteArray before = fileBytes(FocusFile);
    const ModuleState::Positions &p = Module().positions;

    // Declining the new record removes its row and returns to the record before it.
    Module().positions.StoreIndex = 1;
    {
        frmStoreFocus editor;
        cancelOn(QStringLiteral("Save new record?"));
        editor.cmdAdd->click();
        editor.cmdUpdate->click();
        EXPECT_EQ(editor.MSFlexGrid1->rowCount(), 1);
        EXPECT_EQ(editor.CurrentRecord, 1);
        EXPECT_FALSE(editor.Adding || editor.Dirty);
    }

    // No current record: refused before anything is copied.
    prompts.answer = nullptr;
    takeBoxes();
    Module().positions.StoreIndex = 0;
    {
        frmStoreFocus editor;
        type(editor.txtDescription, QStringLiteral("Lost"));
        type(editor.txtPosition, QStringLiteral("5"));
        type(editor.txtTemperature, QStringLiteral("5"));
        editor.cmdUpdate->click();
        EXPECT_EQ(takeBoxes(), (QStringList{"Save changes?", "Error:  No current record."}));
        EXPECT_TRUE(p.FocusPositions[0].Description.isEmpty());
    }

    // A row change with refused values keeps the new row; one with good values saves first.
    {
        frmStoreFocus editor;
        editor.cmdAdd->click();
        type(editor.txtDescription, QStringLiteral("New"));
        editor.txtPosition->setText(QStringLiteral("x"));
        editor.MSFlexGrid1->setCurrentCell(0, 0);
        QCoreApplication::processEvents();
        EXPECT_EQ(editor.CurrentRecord, 2);
        EXPECT_TRUE(editor.Adding);
        editor.txtPosition->setText(QStringLiteral("7"));
        editor.MSFlexGrid1->setCurrentCell(0, 0);
        QCoreApplication::processEvents();
        EXPECT_EQ(editor.CurrentRecord, 1);
        EXPECT_EQ(editor.txtDescription->text().trimmed(), QStringLiteral("A"));
        EXPECT_EQ(p.FocusPositionCount, 3);
        EXPECT_EQ(main.focusList.entries, (QStringList{"<new>", "A", "New"}));
    }
    EXPECT_EQ(fileBytes(FocusFile).left(108), before);
    EXPECT_EQ(fileBytes(FocusFile).mid(108, 58), StoredPositionFile::encode(FocusRecord{QStringLiteral("New"), 7, 0.0f}));

    // Closing with unsaved edits offers to save them.
    Module().positions.StoreIndex = 1;
    {
        frmStoreFocus editor;
        type(editor.txtPosition, QStringLiteral("1"));
        editor.cmdExit->click();
    }
    EXPECT_EQ(p.FocusPositions[1].Position, 11);
    EXPECT_EQ(fileBytes(FocusFile).mid(50, 4), QByteArray::fromHex("0b000000"));
}

// The row the grid highlights is the record Update and Delete act on, also after a click
// whose row change was refused; a damaged record opens and can be deleted.
TEST_F(StoredPositionEditors, TheHighlightedRowIsTheCurrentRecord)
{
    const auto highlighted = [](const frmStoreFocus &e) { return e.MSFlexGrid1->selectionModel()->selectedRows(); };
    seedFocus({{QStringLiteral("A"), 1, 10.0f}, {QStringLiteral("B"), 2, 20.0f}, {QStringLiteral("C"), 3, 30.0f}});
    Module().positions.StoreIndex = 1;
    frmStoreFocus editor;
    editor.show();
    type(editor.txtPosition, QStringLiteral("x"));
    QWidget *grid = editor.MSFlexGrid1->viewport();
    const QPointF onB = editor.MSFlexGrid1->visualItemRect(editor.MSFlexGrid1->item(1, 0)).center();
    OperatorInput::mouse(grid, QEvent::MouseButtonPress, onB);
    OperatorInput::mouse(grid, QEvent::MouseButtonRelease, onB);
    QCoreApplication::processEvents();
    EXPECT_EQ(takeBoxes(), (QStringList{"Save changes?", "Invalid input value."}));
    EXPECT_EQ(editor.CurrentRecord, 1);
    EXPECT_EQ(highlighted(editor).value(0).row() + 1, 1);

    editor.cmdCancel->click();
    editor.cmdDelete->click();
    EXPECT_EQ(fileBytes(FocusFile), focusRecord("B", 2, 20) + focusRecord("C", 3, 30));
    EXPECT_EQ(main.focusList.entries, (QStringList{"<new>", "B", "C"}));
    EXPECT_EQ(highlighted(editor).value(0).row() + 1, editor.CurrentRecord);

    // Ctrl+click on the highlighted row leaves it highlighted, and Delete takes that record.
    const QPointF onC = editor.MSFlexGrid1->visualItemRect(editor.MSFlexGrid1->item(editor.CurrentRecord - 1, 0)).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        OperatorInput::mouse(grid, type, onC, Qt::ControlModifier);
    QCoreApplication::processEvents();
    ASSERT_EQ(highlighted(editor).value(0).row() + 1, editor.CurrentRecord);
    editor.cmdDelete->click();
    EXPECT_EQ(fileBytes(FocusFile), focusRecord("C", 3, 30));

    // A temperature that is no finite number: the editor opens, shows it, and deletes it.
    takeBoxes();
    seedFocus({{QStringLiteral("Odd"), 5, std::numeric_limits<float>::infinity()}, {QStringLiteral("D"), 4, 1.0f}});
    frmStoreFocus damaged;
    EXPECT_EQ(damaged.txtTemperature->text(), QStringLiteral("inf"));
    damaged.cmdDelete->click();
    EXPECT_EQ(takeBoxes(), QStringList{"Delete current record?"});
    EXPECT_EQ(fileBytes(FocusFile), focusRecord("D", 4, 1));
}
