#pragma once

#include "platform/RegistryStore.h"

#include <QString>
#include <QStringList>
#include <QVariant>

// The driver settings: one registry key under HKEY_LOCAL_MACHINE shared by all drivers and
// windows, whose values fill the module variables of Module().settings and Module().link.

inline const QString DriverKeyPath = QStringLiteral("SOFTWARE\\ASCOM\\Focuser Drivers\\VUZA_VU.Focuser");

// The rights every settings key is opened or created with (63).
inline constexpr REGSAM SettingsKeyAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY
                                            | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY | KEY_CREATE_LINK;

// Makes sure the driver key exists (with every default on the first run), loads its values
// into the module variables, writes back the default of any missing value, and refreshes
// the automation server's registration entries. Reports nothing.
void CheckRegistry();

// Writes `value` as REG_SZ (1: text and a NUL), REG_DWORD (4: a 32-bit signed number) or
// type 5 (a Single of the value rounded to a whole number). Any other type writes nothing
// and returns 0. A value that does not convert to the type writes nothing and returns
// ERROR_INVALID_PARAMETER. Otherwise the registry's result.
LSTATUS SetRegistryValue(HKEY key, const QString &name, int32_t type, const QVariant &value);

// Writes one value of the driver key at once, as SetRegistryValue does (an operator's choice,
// so that the next settings read finds it). The store's result; ERROR_FILE_NOT_FOUND when the
// key does not open.
LSTATUS StoreDriverSetting(const QString &name, int32_t type, const QVariant &value);

// The operator's box or a client's error for values that did not reach the disk: which,
// why (the store's reason for the last failed save unless given), and that their former
// values stay in use.
QString SettingsNotSaved(const QStringList &names, QString why = QString());

// Values written one by one into an open key, for a window or a member that takes each value
// into use only once it is on the disk; it remembers the names of those that are not.
class SettingsWrite
{
public:
    explicit SettingsWrite(HKEY key) : m_key(key) {}
    // True when the value reached the disk (or was there already).
    bool put(const QString &name, int32_t type, const QVariant &value);
    bool failed() const { return !m_failed.isEmpty(); }
    HKEY key() const { return m_key; }
    // SettingsNotSaved of those that were not saved.
    QString failure() const { return SettingsNotSaved(m_failed, m_why); }

private:
    HKEY m_key;
    QStringList m_failed;
    QString m_why; // the store's reason at the first failure
};

// Reads a value into `result`: a QString for REG_SZ (without its final NUL), an int32_t for
// REG_DWORD, a float for type 5. Returns 0, the registry's error (2 when the value is
// missing; `result` untouched), or -1 for any other type (`result` untouched). A failing
// read of the text itself empties `result`.
LSTATUS QueryRegistryValue(HKEY key, const QString &name, QVariant &result);

// Stores a value read from the registry into a variable of the program's types by VB's
// assignment rules (a text must be numeric for a number, a Boolean is True for non-zero). A value that does not convert or does not fit leaves the variable
// unchanged and returns false.
bool AssignRegistryValue(bool &variable, const QVariant &value);
bool AssignRegistryValue(int16_t &variable, const QVariant &value);
bool AssignRegistryValue(int32_t &variable, const QVariant &value);
bool AssignRegistryValue(float &variable, const QVariant &value);
bool AssignRegistryValue(QString &variable, const QVariant &value);
