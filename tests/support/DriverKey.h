#pragma once

#include "link/DriverSettings.h"

#include <QVariant>

// Direct access to the driver key for tests: what a window or driver wrote, and values put
// in place (or removed) before it reads them.
namespace DriverKey {

// The value as QueryRegistryValue reads it; invalid when the value or the key is missing.
inline QVariant stored(const QString &name)
{
    HKEY key = 0;
    QVariant value;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, 0, SettingsKeyAccess, &key) == ERROR_SUCCESS) {
        QueryRegistryValue(key, name, value);
        RegCloseKey(key);
    }
    return value;
}

// Writes the value, creating the key; an invalid `value` removes the value.
inline void store(const QString &name, DWORD type, const QVariant &value)
{
    HKEY key = 0;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, QString(), 0, SettingsKeyAccess, &key, nullptr))
        return;
    if (value.isValid())
        SetRegistryValue(key, name, int32_t(type), value);
    else
        RegDeleteValue(key, name);
    RegCloseKey(key);
}

inline bool exists()
{
    HKEY key = 0;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, 0, SettingsKeyAccess, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

} // namespace DriverKey
