#pragma once

#include <QString>

// Where the class identifiers of the public classes are registered, under HKEY_CLASSES_ROOT.
inline const QString FocuserClsidKey = QStringLiteral("VUZA_VU.Focuser\\clsid");
inline const QString RotatorClsidKey = QStringLiteral("VUZA_VU.Rotator\\clsid");

// Writes, where they are missing, the class registration entries that installing the server
// made: the class identifiers of Focuser and Rotator and the Focuser's "CLSID\{...}" key.
// Run once at process start, before anything calls CheckRegistry.
void RegisterAutomationClasses();
