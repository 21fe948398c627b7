#include "settings/StoredPositionFile.h"

#include "platform/VbError.h"
#include "platform/WholeFile.h"

#include <QFile>
#include <QtEndian>

namespace StoredPositionFile {

namespace {

constexpr int FocusDataLength = DescriptionLength + 4 + 4;
constexpr int RotatorDataLength = DescriptionLength + 4;

FileRefused cannotRead(const QString &path, const QString &why)
{
    return FileRefused(QStringLiteral("The file \"%1\" cannot be read (%2).").arg(path, why));
}

FileRefused cannotWrite(const QString &path, const QString &why)
{
    return FileRefused(
        QStringLiteral("The file \"%1\" cannot be written (%2); the stored positions in it are unchanged.").arg(path, why));
}

// One byte per character, counted by code point so that a character outside the BMP is one '?'.
QByteArray description(const QString &text)
{
    QByteArray bytes;
    for (const char32_t c : text.toUcs4()) {
        if (bytes.size() == DescriptionLength)
            break;
        bytes.append(c <= 0xFF ? char(c) : '?');
    }
    bytes.append(DescriptionLength - bytes.size(), ' ');
    return bytes;
}

QByteArray longBytes(int32_t value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian<qint32>(value, bytes.data());
    return bytes;
}

// The file's bytes, read only: a read-only file lists its records. A missing file reads as
// empty and is created (as opening for random access did) where the folder allows.
QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.exists()) {
        file.open(QIODevice::WriteOnly | QIODevice::NewOnly);
        return {};
    }
    if (!file.open(QIODevice::ReadOnly))
        throw cannotRead(path, file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw cannotRead(path, file.errorString());
    return bytes;
}

// Data lengths by record length: a record is in the file when its data is.
int dataLength(int recordLength)
{
    return recordLength == FocusRecordLength ? FocusDataLength : RotatorDataLength;
}

int recordCount(const QByteArray &bytes, int recordLength)
{
    const qsizetype data = dataLength(recordLength);
    return bytes.size() < data ? 0 : int((bytes.size() - data) / recordLength + 1);
}

// The file's bytes, when it holds the `listed` records its list shows.
QByteArray listedBytes(const QString &path, int recordLength, int listed)
{
    const QByteArray bytes = readAll(path);
    const int held = recordCount(bytes, recordLength);
    if (held != listed)
        throw FileRefused(QStringLiteral("The file \"%1\" holds %2 stored positions where %3 are listed (the list was "
                                         "not read from it as it is now); nothing was written to it.")
                              .arg(path)
                              .arg(held)
                              .arg(listed));
    return bytes;
}

void writeWhole(const QString &path, const QByteArray &bytes, const QString &temp = QString())
{
    QString why;
    if (!WholeFile::write(path, bytes, &why, temp))
        throw cannotWrite(path, why);
}

// A record is complete when its data is wholly in the file; the unused tail may be missing.
template <typename Decode>
auto records(const QByteArray &bytes, int recordLength, int dataLength, Decode decode)
{
    QList<decltype(decode(bytes.constData()))> out;
    for (qsizetype offset = 0; offset + dataLength <= bytes.size(); offset += recordLength)
        out.append(decode(bytes.constData() + offset));
    return out;
}

// The file with record n (1 and up) put in place, written whole: a failure leaves the old file.
void writeAt(const QString &path, int n, int recordLength, QByteArray record, int listed)
{
    if (n < 1)
        throw VbError(63, QStringLiteral("Bad record number"));
    QByteArray bytes = listedBytes(path, recordLength, listed);
    const qsizetype offset = qsizetype(n - 1) * recordLength;
    record.append(recordLength - record.size(), '\0');
    if (bytes.size() < offset + recordLength)
        bytes.append(offset + recordLength - bytes.size(), '\0');
    bytes.replace(offset, recordLength, record);
    writeWhole(path, bytes);
}

} // namespace

QString fitDescription(const QString &text)
{
    return text.left(DescriptionLength).leftJustified(DescriptionLength, QLatin1Char(' '));
}

QByteArray encode(const FocusRecord &record)
{
    QByteArray bytes = description(record.Description) + longBytes(record.Position);
    QByteArray single(4, '\0');
    qToLittleEndian<float>(record.Temperature, single.data());
    return bytes + single;
}

QByteArray encode(const RotatorRecord &record)
{
    return description(record.Description) + longBytes(record.Position);
}

QList<FocusRecord> readFocus(const QString &path)
{
    return records(readAll(path), FocusRecordLength, FocusDataLength, [](const char *p) {
        FocusRecord r;
        r.Description = QString::fromLatin1(p, DescriptionLength);
        r.Position = qFromLittleEndian<qint32>(p + DescriptionLength);
        r.Temperature = qFromLittleEndian<float>(p + DescriptionLength + 4);
        return r;
    });
}

QList<RotatorRecord> readRotator(const QString &path)
{
    return records(readAll(path), RotatorRecordLength, RotatorDataLength, [](const char *p) {
        RotatorRecord r;
        r.Description = QString::fromLatin1(p, DescriptionLength);
        r.Position = qFromLittleEndian<qint32>(p + DescriptionLength);
        return r;
    });
}

void write(const QString &path, int n, const FocusRecord &record, int listed)
{
    writeAt(path, n, FocusRecordLength, encode(record), listed);
}

void write(const QString &path, int n, const RotatorRecord &record, int listed)
{
    writeAt(path, n, RotatorRecordLength, encode(record), listed);
}

void removeRecord(const QString &path, const QString &tempPath, int recordLength, int n, int records)
{
    const QByteArray bytes = listedBytes(path, recordLength, records);
    QByteArray kept;
    for (int i = 1; i <= records; ++i) {
        if (i == n)
            continue;
        QByteArray record = bytes.mid(qsizetype(i - 1) * recordLength, recordLength);
        record.append(recordLength - record.size(), '\0');
        kept += record;
    }
    writeWhole(path, kept, tempPath);
}

} // namespace StoredPositionFile
