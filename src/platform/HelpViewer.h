#pragma once

#include <QString>

// The help viewer: a help file is opened by the desktop's viewer for its type.
namespace HelpViewer {

// Opens `path`; false when there is no such file or the desktop cannot open it.
bool Open(const QString &path);

} // namespace HelpViewer
