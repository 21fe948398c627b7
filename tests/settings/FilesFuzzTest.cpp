// Damaged files into every reader of this folder: the settings file, the coefficient file
// and the stored-position files. What is written back must load again.
#include "OptionsBench.h"

#include "platform/DataFolder.h"
#include "settings/StoredPositionFile.h"
#include "support/Fuzz.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Records whose data is whole count; the zeros after it may be cut off.
qsizetype wholeRecords(const QByteArray &bytes, int recordLength, int dataLength)
{
    return bytes.size() < dataLength ? 0 : (bytes.size() - dataLength) / recordLength + 1;
}

class FilesFuzz : public OptionsBench
{
protected:
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    // Loads `content` with `load` (the window's button); at most one box, never an empty one.
    QStringList load(QPushButton *load, const QByteArray &content)
    {
        writeFile(path("in.dat"), content);
        prompts.chosenFile = path("in.dat");
        prompts.boxes.clear();
        load->click();
        const QStringList shown = boxTexts();
        EXPECT_LE(shown.size(), 1) << shown.join(QLatin1Char('|')).toStdString();
        for (const QString &text : shown)
            EXPECT_FALSE(text.trimmed().isEmpty());
        return shown;
    }

    // Saves with `save` to out.dat and loads that with `load`: after a load without a box,
    // no box on the way back either.
    void saveAndLoadBack(QPushButton *save, QPushButton *load, bool loaded)
    {
        QFile::remove(path("out.dat"));
        prompts.chosenFile = path("out.dat");
        prompts.boxes.clear();
        save->click();
        if (!prompts.boxes.isEmpty())
            return; // refused, with its box
        prompts.boxes.clear();
        load->click();
        EXPECT_LE(boxTexts().size(), 1);
        if (loaded) {
            EXPECT_EQ(boxTexts().join(QLatin1Char('|')).toStdString(), "")
                << "loaded:\n" << readFile(path("in.dat")).toStdString() << "\nsaved:\n" << readFile(path("out.dat")).toStdString();
        }
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(FilesFuzz, TheSettingsFileLoadsOrIsRefusedAndWhatIsSavedLoadsAgain)
{
    frmCal &w = open();
    // The boxes of the controller's values as its read-back fills them.
    for (QLineEdit *box : {w.txtIntFanSet, w.txtintfanhyst, w.txtFanThreshold, w.txtFanPulsePower, w.txtKP, w.txtKd,
                           w.txtDeriv, w.txtki, w.txtil, w.txtVelocity, w.txtAcc, w.txtSKp, w.txtSKd, w.txtSKi, w.txtSDI,
                           w.txtSecKi})
        box->setText(QStringLiteral("5"));
    prompts.chosenFile = path("valid.dat");
    w.cmdSaveFile->click();
    const QByteArray valid = readFile(path("valid.dat"));
    ASSERT_FALSE(valid.isEmpty());
    Fuzz::Run(150, [&](Fuzz::Gen &gen) {
        ASSERT_EQ(load(w.cmdRetrieveFile, valid), QStringList()); // each case from sound settings
        const bool loaded = load(w.cmdRetrieveFile, gen.chance(0.8) ? gen.mutate(valid) : gen.text(400)).isEmpty();
        saveAndLoadBack(w.cmdSaveFile, w.cmdRetrieveFile, loaded);
    });
}

TEST_F(FilesFuzz, TheCoefficientFileLoadsOrIsRefusedAndWhatIsSavedLoadsAgain)
{
    frmCal &w = open();
    const QByteArray valid = "\"date\",\"01-02-2025\",\"10:11:12\"\r\n\"T1\",\"0.50000\",\"1.25000\"\r\n"
                             "\"T2\",\"-0.25000\",\"3.00000\"\r\n\"T3\",\"\",\"\"\r\n";
    Fuzz::Run(300, [&](Fuzz::Gen &gen) {
        ASSERT_EQ(load(w.cmdLoad, valid), QStringList());
        const bool loaded = load(w.cmdLoad, gen.chance(0.8) ? gen.mutate(valid) : gen.text(300)).isEmpty();
        saveAndLoadBack(w.cmdSaveCoef, w.cmdLoad, loaded);
    });
}

namespace {

// `bytes` as the stored-position file `path`: whole records read, and each written back in
// place reads the same.
template <typename Record>
void readAndWriteBack(const QString &path, const QByteArray &bytes, int recordLength, int dataLength,
                      QList<Record> (*read)(const QString &))
{
    writeFile(path, bytes);
    const QList<Record> records = read(path);
    EXPECT_EQ(records.size(), wholeRecords(bytes, recordLength, dataLength)) << bytes.toHex().constData();
    for (int n = 1; n <= records.size(); ++n) {
        StoredPositionFile::write(path, n, records[n - 1], int(records.size()));
        EXPECT_EQ(StoredPositionFile::encode(read(path).value(n - 1)), StoredPositionFile::encode(records[n - 1]))
            << bytes.toHex().constData();
    }
}

} // namespace

TEST(StoredPositionFilesFuzz, AnyBytesReadAsWholeRecordsAndARecordWrittenBackReadsTheSame)
{
    const QString focus = DataFolder::file(StoredPositionFile::FocusFileName);
    const QString rotator = DataFolder::file(StoredPositionFile::RotatorFileName);
    const QByteArray validFocus = StoredPositionFile::encode(FocusRecord{QStringLiteral("Moon"), 1234, 21.5f})
                                  + QByteArray(50, '\0')
                                  + StoredPositionFile::encode(FocusRecord{QStringLiteral("M31"), -5, -3.25f})
                                  + QByteArray(50, '\0');
    Fuzz::Run(400, [&](Fuzz::Gen &gen) {
        readAndWriteBack(focus, gen.chance(0.6) ? gen.mutate(validFocus) : gen.bytes(400),
                         StoredPositionFile::FocusRecordLength, 58, &StoredPositionFile::readFocus);
        readAndWriteBack(rotator, gen.bytes(400), StoredPositionFile::RotatorRecordLength, 54,
                         &StoredPositionFile::readRotator);
    });
    QFile::remove(focus);
    QFile::remove(rotator);
}
