#include "platform/WholeFile.h"

#include <QCoreApplication>
#include <QFile>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace WholeFile {

namespace {

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

// A write cut short is tried on, so that the failure that stopped it gives the error's text.
bool writeAll(QFile &file, const QByteArray &bytes)
{
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

bool write(const QString &path, const QByteArray &bytes, QString *error, const QString &temp)
{
    // One writer per process at a time: the process number keeps two programs apart.
    // A file that may not be written (read-only, on a read-only mount) is not replaced by a
    // rename behind its back: opening it to append, which changes nothing, asks the system.
    if (QFile old(path); old.exists() && !old.open(QIODevice::WriteOnly | QIODevice::Append))
        return fail(error, old.errorString());
    const QString beside = temp.isEmpty() ? QStringLiteral("%1.%2.new").arg(path).arg(QCoreApplication::applicationPid()) : temp;
    if (QFile stale(beside); stale.exists() && !stale.remove())
        return fail(error, QStringLiteral("%1: %2").arg(beside, stale.errorString()));
    QFile file(beside);
    // Unbuffered, so that a write cut short (a full disk, a size limit) shows in its count;
    // buffered writes can lose that on the way.
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
                         && (!QFile::exists(path) || file.setPermissions(QFile::permissions(path))) // as the old one had
                         && writeAll(file, bytes)
                         && ::fsync(file.handle()) == 0; // on the disk before it replaces the old one
    const QString why = file.errorString();
    file.close();
    if (!written) {
        QFile::remove(beside);
        return fail(error, why);
    }
    // Unlike QFile::rename, this replaces the old file in one step.
    std::error_code failed;
    std::filesystem::rename(QFile::encodeName(beside).toStdString(), QFile::encodeName(path).toStdString(), failed);
    if (failed) {
        QFile::remove(beside);
        return fail(error, QString::fromStdString(failed.message()));
    }
    return true;
}

} // namespace WholeFile
