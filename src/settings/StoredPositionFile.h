#pragma once

#include "link/ModuleState.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <exception>

// The random-access files of stored positions: fixed-length records, each a 50-byte
// single-byte description padded with blanks, a little-endian Long position and, for the
// focuser, a little-endian Single temperature; the rest of the record is zero.
// Failures are thrown as FileRefused, whose text names the file and the system's reason.
namespace StoredPositionFile {

class FileRefused : public std::exception
{
public:
    explicit FileRefused(QString message) : m_message(std::move(message)), m_what(m_message.toUtf8()) {}
    // The operator's box.
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    QString m_message;
    QByteArray m_what;
};

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

// Every complete record from the first on, blank descriptions included. The file is only
// read (it may be read-only); a missing one is created empty when the folder allows. One
// that exists but cannot be read throws.
QList<FocusRecord> readFocus(const QString &path);
QList<RotatorRecord> readRotator(const QString &path);

// Writes record n (1 and up) in place, the file growing as needed; a missing file is created.
// `listed` is how many records the caller's list holds: a file that holds another number
// (its list did not load, or it changed since) is refused, so that no record is written
// over unseen. The file is written whole: when the write fails it stays as it was.
void write(const QString &path, int n, const FocusRecord &record, int listed);
void write(const QString &path, int n, const RotatorRecord &record, int listed);

// Drops record n of the file's `records` records (refused as above when it holds another
// number): the others are copied in order to `tempPath`, which is then renamed over the
// file, so a failure on the way loses nothing.
void removeRecord(const QString &path, const QString &tempPath, int recordLength, int n, int records);

} // namespace StoredPositionFile
