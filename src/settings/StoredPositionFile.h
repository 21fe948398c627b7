#pragma once

#include "link/ModuleState.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The random-access files of stored positions: fixed-length records, each a 50-byte
// single-byte description padded with blanks, a little-endian Long position and, for the
// focuser, a little-endian Single temperature; the rest of the record is unused.
namespace StoredPositionFile {

inline const QString FocusFileName = QStringLiteral("ORVA.DAT");
inline const QString RotatorFileName = QStringLiteral("RUDOdovovez.DAT");
constexpr int DescriptionLength = 50;
constexpr int FocusRecordLength = 108;
constexpr int RotatorRecordLength = 104;

QByteArray encode(const FocusRecord &record);
QByteArray encode(const RotatorRecord &record);

// Every complete record from the first on, blank descriptions included. A missing file is
// created empty; one that cannot be read gives no records.
QList<FocusRecord> readFocus(const QString &path);
QList<RotatorRecord> readRotator(const QString &path);

// Writes record n (1 and up) in place, the file growing as needed.
bool write(const QString &path, int n, const FocusRecord &record);
bool write(const QString &path, int n, const RotatorRecord &record);

} // namespace StoredPositionFile
