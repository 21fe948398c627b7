#include "link/AutomationRegistration.h"

#include "link/DriverSettings.h"

namespace {

const QString FocuserClsid = QStringLiteral("{6E1D3F5A-2B7C-4F0E-9A41-0C5B8D2E7F11}");
const QString RotatorClsid = QStringLiteral("{6E1D3F5A-2B7C-4F0E-9A41-0C5B8D2E7F12}");

HKEY createClassesKey(const QString &subKey)
{
    HKEY key = 0;
    RegCreateKeyEx(HKEY_CLASSES_ROOT, subKey, QString(), REG_OPTION_NON_VOLATILE, SettingsKeyAccess, &key, nullptr);
    return key;
}

// The default value of the key, written as `classId` when it has none.
QString ensureClassId(const QString &subKey, const QString &classId)
{
    const HKEY key = createClassesKey(subKey);
    if (!key)
        return QString();
    QVariant value;
    if (QueryRegistryValue(key, QString(), value) == ERROR_FILE_NOT_FOUND
        && SetRegistryValue(key, QString(), REG_SZ, classId) == ERROR_SUCCESS)
        value = classId;
    RegCloseKey(key);
    return value.toString();
}

} // namespace

void RegisterAutomationClasses()
{
    const QString focuser = ensureClassId(FocuserClsidKey, FocuserClsid);
    ensureClassId(RotatorClsidKey, RotatorClsid);
    if (!focuser.isEmpty())
        RegCloseKey(createClassesKey(QStringLiteral("CLSID\\") + focuser));
}
