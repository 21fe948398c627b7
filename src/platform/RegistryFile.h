#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

struct RegistryValue
{
    QString name; // empty: the key's default value
    uint32_t type = 0;
    QByteArray data;
};

struct RegistryKey
{
    QString path; // full path from the hive, "HKEY_LOCAL_MACHINE\SOFTWARE\..."
    QList<RegistryValue> values;
};

// The REGEDIT4 text form of registry keys, Latin-1:
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Example]
//   @="text"                 REG_SZ ending in one NUL, printable, written as text
//   "Count"=dword:0000002a   REG_DWORD of exactly 4 bytes
//   "Raw"=hex(5):00,00,80,3f any other data as bytes ("hex:" for REG_BINARY)
// Backslash and double quote are escaped in quoted text.
namespace RegistryFile {

QByteArray format(const QList<RegistryKey> &keys);

// The keys of a registry file in file order, or nothing with `error` naming the first line
// that is not a header, key, value, comment or blank line. An empty file holds no keys.
std::optional<QList<RegistryKey>> parse(const QByteArray &text, QString *error);

} // namespace RegistryFile
