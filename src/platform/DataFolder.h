#pragma once

#include <QString>

// The one folder for the files the program keeps beside itself: stored positions, the
// receive log, help files. `$VKM_HOME`, else `$XDG_DATA_HOME/vkm` (~/.local/share/vkm).
// Names are looked up case-insensitively, so "ORVA.DAT" finds an existing "orva.dat".
namespace DataFolder {

// The folder, created when missing.
QString path();

// The full path of `name` in the folder: the existing file whose name matches without
// regard to case, else the name as given.
QString file(const QString &name);

} // namespace DataFolder
