#pragma once

#include <QStringList>

// `count` S-records with 16 data bytes each: address, data, checksum.
inline QStringList FirmwareRecords(int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << (QStringLiteral("S113%1").arg(i * 16, 4, 16, QLatin1Char('0')) + QStringLiteral("000102030405060708090A0B0C0D0E0F")
                  + QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0')))
                     .toUpper();
    return lines;
}
