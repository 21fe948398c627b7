#pragma once

#include "link/ModuleState.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The random-access files of stored positions: fixed-length records, each a 50-byte
// single-byte description padded with blanks, a little-endian Long position and, for the
// focuser, a little-endian Single temperature; the rest of the record is zero.
// Failures are thrown as VbError: 75 "Path/File access error" when a file cannot be opened,
// created, removed or renamed, 57 "Device I/O error" when writing fails.
namespace StoredPositionFile {

inline const QString FocusFileName = QStringLiteral("ORVA.DAT");
inline const QString FocusTempName = QStringLiteral("ORVA.tmp");
inline const QString RotatorFileName = QStringLiteral("RUDODovovez.DAT");
inline const QString RotatorTempName = QStringLiteral("RUDODovovez.tmp");
constexpr int DescriptionLength = 50;
constexpr int FocusRecordLength = 108;
constexpr int RotatorRecordLength = 104;

// The description as the records hold it: its first 50 characters padded with blanks.
QString fitDescription(const QString &text);

// Descriptions are Latin-1, '?' standing for each character it cannot hold.
QByteArray encode(const FocusRecord &record);
QByteArray encode(const RotatorRecord &record);

// Every complete record from the first on, blank descriptions included. A missing file is
// created empty; one that cannot be read gives no records.
QList<FocusRecord> readFocus(const QString &path);
QList<RotatorRecord> readRotator(const QString &path);

// Writes record n (1 and up) in place, the file growing as needed; a missing file is created.
// The file is written whole: when the write fails it stays as it was.
void write(const QString &path, int n, const FocusRecord &record);
void write(const QString &path, int n, const RotatorRecord &record);

// Drops record n of the file's first `records` records: the others the file holds are copied in order to
// `tempPath`, which is then renamed over the file, so a failure on the way loses nothing.
void removeRecord(const QString &path, const QString &tempPath, int recordLength, int n, int records);

} // namespace StoredPositionFile
