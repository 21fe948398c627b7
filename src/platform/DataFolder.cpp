#include "platform/DataFolder.h"

#include <QDir>

namespace DataFolder {

QString path()
{
    QString folder = qEnvironmentVariable("VKM_HOME");
    if (folder.isEmpty()) {
        QString base = qEnvironmentVariable("XDG_DATA_HOME");
        if (base.isEmpty())
            base = QDir::homePath() + QStringLiteral("/.local/share");
        folder = base + QStringLiteral("/vkm");
    }
    QDir().mkpath(folder);
    return folder;
}

QString file(const QString &name)
{
    const QDir dir(path());
    if (dir.exists(name))
        return dir.filePath(name);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return dir.filePath(name);
}

} // namespace DataFolder
