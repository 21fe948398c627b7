#include "settings/StoredPositionFile.h"

#include <QFile>
#include <QtEndian>

namespace StoredPositionFile {

namespace {

constexpr int FocusDataLength = DescriptionLength + 4 + 4;
constexpr int RotatorDataLength = DescriptionLength + 4;

QByteArray description(const QString &text)
{
    QByteArray bytes = text.left(DescriptionLength).toLatin1();
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

bool writeAt(const QString &path, int n, int recordLength, QByteArray record)
{
    if (n < 1)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const qint64 offset = qint64(n - 1) * recordLength;
    if (file.size() < offset && !file.resize(offset))
        return false;
    record.append(recordLength - record.size(), '\0');
    return file.seek(offset) && file.write(record) == record.size() && file.flush();
}

} // namespace

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

bool write(const QString &path, int n, const FocusRecord &record)
{
    return writeAt(path, n, FocusRecordLength, encode(record));
}

bool write(const QString &path, int n, const RotatorRecord &record)
{
    return writeAt(path, n, RotatorRecordLength, encode(record));
}

} // namespace StoredPositionFile
