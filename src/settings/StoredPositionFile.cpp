#include "settings/StoredPositionFile.h"

#include "platform/VbError.h"
#include "platform/WholeFile.h"

#include <QFile>
#include <QtEndian>

namespace StoredPositionFile {

namespace {

constexpr int FocusDataLength = DescriptionLength + 4 + 4;
constexpr int RotatorDataLength = DescriptionLength + 4;

VbError accessError()
{
    return VbError(75, QStringLiteral("Path/File access error"));
}

VbError ioError()
{
    return VbError(57, QStringLiteral("Device I/O error"));
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

QByteArray readAll(const QString &path)
{
    QFile file(path);
    // ReadWrite creates a missing file, as opening for random access did.
    if (!file.open(QIODevice::ReadWrite))
        return {};
    return file.readAll();
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
void writeAt(const QString &path, int n, int recordLength, QByteArray record)
{
    if (n < 1)
        throw VbError(63, QStringLiteral("Bad record number"));
    QFile existing(path);
    // ReadWrite creates a missing file, as opening for random access did.
    if (!existing.open(QIODevice::ReadWrite))
        throw accessError();
    QByteArray bytes = existing.readAll();
    existing.close();
    const qsizetype offset = qsizetype(n - 1) * recordLength;
    record.append(recordLength - record.size(), '\0');
    if (bytes.size() < offset + recordLength)
        bytes.append(offset + recordLength - bytes.size(), '\0');
    bytes.replace(offset, recordLength, record);
    if (!WholeFile::write(path, bytes))
        throw ioError();
}

// Data lengths by record length: a record is in the file when its data is.
int dataLength(int recordLength)
{
    return recordLength == FocusRecordLength ? FocusDataLength : RotatorDataLength;
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

void write(const QString &path, int n, const FocusRecord &record)
{
    writeAt(path, n, FocusRecordLength, encode(record));
}

void write(const QString &path, int n, const RotatorRecord &record)
{
    writeAt(path, n, RotatorRecordLength, encode(record));
}

void removeRecord(const QString &path, const QString &tempPath, int recordLength, int n, int records)
{
    QFile source(path);
    if (!source.open(QIODevice::ReadWrite))
        throw accessError();
    const QByteArray bytes = source.readAll();
    source.close();

    if (QFile::exists(tempPath) && !QFile::remove(tempPath))
        throw accessError();
    QByteArray kept;
    for (int i = 1; i <= records; ++i) {
        // Only records the file holds: a count beyond them must not write blank ones.
        if (i == n || qsizetype(i - 1) * recordLength + dataLength(recordLength) > bytes.size())
            continue;
        QByteArray record = bytes.mid(qsizetype(i - 1) * recordLength, recordLength);
        record.append(recordLength - record.size(), '\0');
        kept += record;
    }
    if (!WholeFile::write(path, kept, nullptr, tempPath))
        throw ioError();
}

} // namespace StoredPositionFile
