#pragma once

#include <QByteArray>
#include <QString>

// Files written whole or not at all: the new content goes into a file beside the old one,
// which it replaces by a rename once it is complete and on the disk, so a failure on the way
// (a full disk) leaves the old file byte for byte.
namespace WholeFile {

// Writes `bytes` as the whole of `path`; an existing file the system will not let this
// process write is refused, not replaced. `temp` names the file beside it where the file's
// format fixes one (it is replaced when it exists); empty, a unique name is used. On failure
// the file beside is removed, `error` (when given) says why, and false is returned.
bool write(const QString &path, const QByteArray &bytes, QString *error = nullptr, const QString &temp = QString());

} // namespace WholeFile
