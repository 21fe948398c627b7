#include "platform/HelpViewer.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace HelpViewer {

bool Open(const QString &path)
{
    return QFileInfo(path).isFile() && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace HelpViewer
