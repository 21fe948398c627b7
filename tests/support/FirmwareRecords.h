#pragma once

#include <QStringList>

// `count` S-record lines of a firmware file: data records of 16 bytes, then the end record.
inline QStringList FirmwareRecords(int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        const QByteArray bytes = QByteArray::fromHex(i + 1 < count ? QByteArray::number(0x130000 | i << 4, 16) + "000102030405060708090A0B0C0D0E0F" : "030000");
        int sum = 0;
        for (const char b : bytes)
            sum += uchar(b);
        lines << QString::fromLatin1((QByteArray(i + 1 < count ? "S1" : "S9") + (bytes + char(~sum)).toHex()).toUpper());
    }
    return lines;
}
