#include "link/DriverSettings.h"

#include "link/AutomationRegistration.h"
#include "link/ModuleState.h"
#include "platform/Variant.h"
#include "platform/Vb.h"
#include "platform/VbError.h"

#include <QtEndian>
#include <bit>
#include <variant>
#include <vector>

namespace {

const QString FormerDriverKeyPath = QStringLiteral("SOFTWARE\\ASCOM\\Focuser Drivers\\VUZA.Focuser");
const QString ExecutableName = QStringLiteral("vkm");
constexpr int32_t REG_SINGLE = 5; // this program's own use of type 5: the 4 bytes of a Single

using Variable = std::variant<std::monostate, bool *, int16_t *, int32_t *, float *, QString *>;

struct Setting
{
    QString name;
    DWORD type;
    QVariant defaultValue;
    Variable variable;
    bool trueOnlyForOne = false; // a Boolean that is True exactly for 1, not for any non-zero
};

// The driver key's values in the order of the first-run write.
std::vector<Setting> settingsTable()
{
    ModuleState::Link &link = Module().link;
    ModuleState::Settings &s = Module().settings;
    const auto text = [](const char *t) { return QVariant(QString::fromLatin1(t)); };
    return {
        {QString(), REG_SZ, text("ORVA VKM"), {}},
        {QStringLiteral("Absolute"), REG_DWORD, 0, &s.Absolute},
        {QStringLiteral("PORT"), REG_DWORD, 1, &link.PortNumber},
        {QStringLiteral("Prompt"), REG_DWORD, 0, &s.Prompt},
        {QStringLiteral("ControlConsole"), REG_DWORD, 0, &link.ControlConsole},
        {QStringLiteral("ErrorMessage"), REG_DWORD, 0, &s.ErrorMessage},
        {QStringLiteral("StepSize"), REG_SZ, text("0.25"), &s.StepSize},
        {QStringLiteral("FocusStep"), REG_DWORD, 0, &s.FocusStep},
        {QStringLiteral("RotateStep"), REG_DWORD, 0, &s.RotateStep},
        {QStringLiteral("RotateStepOption"), REG_SZ, text("0"), &s.RotateStepOption},
        {QStringLiteral("MainPosX"), REG_DWORD, 0, &s.MainPosX},
        {QStringLiteral("MainPosY"), REG_DWORD, 0, &s.MainPosY},
        {QStringLiteral("MiniPosX"), REG_DWORD, 0, &s.MiniPosX},
        {QStringLiteral("MiniPosY"), REG_DWORD, 0, &s.MiniPosY},
        {QStringLiteral("CheckTelescope"), REG_DWORD, 0, &s.CheckTelescope, true},
        {QStringLiteral("PromptTheSky"), REG_DWORD, 0, &s.PromptTheSky, true},
        {QStringLiteral("ZELSynchedToTelescope"), REG_DWORD, 0, &s.ZELSynchedToTelescope},
        {QStringLiteral("ImageScale"), REG_SZ, text("1.7"), {}},
        {QStringLiteral("MaxPosErr"), REG_SZ, text("2.0"), {}},
        {QStringLiteral("MaxRotErr"), REG_SZ, text("1.0"), {}},
        {QStringLiteral("MaxItterations"), REG_DWORD, 5, {}},
        {QStringLiteral("LargeStepSize"), REG_DWORD, 80, &s.LargeStepSize},
        {QStringLiteral("SmallStepSize"), REG_DWORD, 5, &s.SmallStepSize},
        {QStringLiteral("ZELLimit"), REG_DWORD, 540, &s.ZELLimit},
        {QStringLiteral("AutoReverse"), REG_DWORD, 1, &s.AutoReverse},
        {QStringLiteral("Detector"), REG_SZ, text(""), &s.Detector},
        {QStringLiteral("EnableSlew"), REG_DWORD, 0, &s.EnableSlew},
        {QStringLiteral("Celcius"), REG_DWORD, 0, &s.Celcius},
    };
}

// The values refreshed on every later run, in reading order.
const char *const ReadOrder[] = {
    "Absolute",     "EnableSlew",    "PORT",           "Prompt",       "ControlConsole",
    "ErrorMessage", "StepSize",      "FocusStep",      "RotateStep",   "RotateStepOption",
    "MainPosX",     "MainPosY",      "MiniPosX",       "MiniPosY",     "CheckTelescope",
    "PromptTheSky", "ZELSynchedToTelescope", "LargeStepSize", "SmallStepSize", "ZELLimit",
    "AutoReverse",  "Detector",      "Celcius",
};

// A value read from or written to the store, as a late-bound value, so that it converts
// by VB's assignment rules.
Variant asVariant(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return Variant();
    case QMetaType::Bool:
        return Variant(value.toBool());
    case QMetaType::QString:
        return Variant(value.toString());
    case QMetaType::Float:
        return Variant(value.toFloat());
    case QMetaType::Short:
        return Variant(int16_t(value.toInt()));
    case QMetaType::Int:
        return Variant(int32_t(value.toInt()));
    default:
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok)
            throw VbError::typeMismatch();
        return Variant(number);
    }
}

double numberOf(const QVariant &value)
{
    return asVariant(value).toDouble();
}

QString textOf(const QVariant &value)
{
    return asVariant(value).toString();
}

template <typename Assignment>
bool tryAssign(Assignment assignment)
{
    try {
        assignment();
        return true;
    } catch (const VbError &) {
        return false;
    }
}

bool assign(const Setting &setting, const QVariant &value)
{
    if (bool *const *flag = std::get_if<bool *>(&setting.variable); flag && setting.trueOnlyForOne)
        return tryAssign([&] { **flag = numberOf(value) == 1; });
    return std::visit(
        [&](auto variable) {
            if constexpr (std::is_same_v<decltype(variable), std::monostate>)
                return false;
            else
                return AssignRegistryValue(*variable, value);
        },
        setting.variable);
}

const Setting *findSetting(const std::vector<Setting> &table, const char *name)
{
    for (const Setting &setting : table)
        if (setting.name == QLatin1String(name))
            return &setting;
    return nullptr;
}

void writeDefaults(HKEY key, const std::vector<Setting> &table)
{
    for (const Setting &setting : table) {
        SetRegistryValue(key, setting.name, setting.type, setting.defaultValue);
        assign(setting, setting.defaultValue);
    }
}

void readValues(HKEY key, const std::vector<Setting> &table)
{
    for (const char *name : ReadOrder) {
        const Setting &setting = *findSetting(table, name);
        QVariant value;
        const LSTATUS rc = QueryRegistryValue(key, setting.name, value);
        if (rc == ERROR_SUCCESS) {
            assign(setting, value);
        } else if (rc == ERROR_FILE_NOT_FOUND) {
            SetRegistryValue(key, setting.name, setting.type, setting.defaultValue);
            assign(setting, setting.defaultValue);
        }
    }
}

// The default value of a key under HKEY_CLASSES_ROOT, or empty text.
QString classesDefault(const QString &subKey)
{
    HKEY key = 0;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, subKey, 0, SettingsKeyAccess, &key) != ERROR_SUCCESS)
        return QString();
    QVariant value;
    const bool read = QueryRegistryValue(key, QString(), value) == ERROR_SUCCESS;
    RegCloseKey(key);
    return read ? textOf(value) : QString();
}

// Lets remote clients start the server: the application entries of the public classes.
void writeApplicationEntries()
{
    const QString classId = classesDefault(FocuserClsidKey);
    const QString appId = classesDefault(RotatorClsidKey);
    if (classId.isEmpty() || appId.isEmpty())
        return;

    HKEY key = 0;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, QStringLiteral("CLSID\\") + classId, 0, SettingsKeyAccess, &key)
        == ERROR_SUCCESS) {
        QVariant existing;
        if (QueryRegistryValue(key, QStringLiteral("AppID"), existing) == ERROR_FILE_NOT_FOUND)
            SetRegistryValue(key, QStringLiteral("AppID"), REG_SZ, appId);
        RegCloseKey(key);
    }

    DWORD disposition = 0;
    if (RegCreateKeyEx(HKEY_CLASSES_ROOT, QStringLiteral("AppID\\") + appId, QString(), REG_OPTION_NON_VOLATILE,
                       SettingsKeyAccess, &key, &disposition)
        == ERROR_SUCCESS) {
        if (disposition == REG_CREATED_NEW_KEY)
            SetRegistryValue(key, QString(), REG_SZ, QStringLiteral("ASCOM driver for ORVA VKM focuser"));
        SetRegistryValue(key, QStringLiteral("AuthenticationLevel"), REG_DWORD, 1);
        RegCloseKey(key);
    }

    if (RegCreateKeyEx(HKEY_CLASSES_ROOT, QStringLiteral("AppID\\") + ExecutableName, QString(),
                       REG_OPTION_NON_VOLATILE, SettingsKeyAccess, &key, &disposition)
        == ERROR_SUCCESS) {
        SetRegistryValue(key, QStringLiteral("AppID"), REG_SZ, appId);
        RegCloseKey(key);
    }
}

QByteArray littleEndian(uint32_t raw)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(raw, bytes.data());
    return bytes;
}

} // namespace

void CheckRegistry()
{
    HKEY key = 0;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, 0, SettingsKeyAccess, &key) == ERROR_SUCCESS) {
        RegDeleteKey(HKEY_LOCAL_MACHINE, FormerDriverKeyPath);
        RegCloseKey(key);
    }

    DWORD disposition = 0;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, QString(), REG_OPTION_NON_VOLATILE, SettingsKeyAccess,
                       &key, &disposition)
        == ERROR_SUCCESS) {
        const std::vector<Setting> table = settingsTable();
        if (disposition == REG_CREATED_NEW_KEY)
            writeDefaults(key, table);
        else
            readValues(key, table);
        RegCloseKey(key);
    }

    writeApplicationEntries();
}

LSTATUS SetRegistryValue(HKEY key, const QString &name, int32_t type, const QVariant &value)
{
    QByteArray data;
    try {
        switch (type) {
        case REG_SZ:
            data = textOf(value).toLatin1() + '\0';
            break;
        case REG_DWORD:
            data = littleEndian(static_cast<uint32_t>(vb::CLng(numberOf(value))));
            break;
        case REG_SINGLE:
            data = littleEndian(std::bit_cast<uint32_t>(static_cast<float>(vb::CLng(numberOf(value)))));
            break;
        default:
            return ERROR_SUCCESS;
        }
    } catch (const VbError &) {
        return ERROR_INVALID_PARAMETER;
    }
    return RegSetValueEx(key, name, static_cast<DWORD>(type), data.constData(), static_cast<DWORD>(data.size()));
}

LSTATUS QueryRegistryValue(HKEY key, const QString &name, QVariant &result)
{
    DWORD type = 0;
    DWORD size = 0;
    if (LSTATUS rc = RegQueryValueEx(key, name, &type, nullptr, &size))
        return rc;
    if (type == REG_SZ) {
        QByteArray text(static_cast<qsizetype>(size) + 1, '\0');
        if (LSTATUS rc = RegQueryValueEx(key, name, nullptr, text.data(), &size)) {
            result = QString();
            return rc;
        }
        text.truncate(size);
        if (text.endsWith('\0'))
            text.chop(1);
        result = QString::fromLatin1(text);
        return ERROR_SUCCESS;
    }
    if (type != REG_DWORD && type != REG_SINGLE)
        return -1;
    char bytes[4] = {};
    size = sizeof bytes;
    if (LSTATUS rc = RegQueryValueEx(key, name, nullptr, bytes, &size))
        return rc;
    const uint32_t raw = qFromLittleEndian<uint32_t>(bytes);
    if (type == REG_DWORD)
        result = static_cast<int32_t>(raw);
    else
        result = std::bit_cast<float>(raw);
    return ERROR_SUCCESS;
}

bool AssignRegistryValue(bool &variable, const QVariant &value)
{
    return tryAssign([&] { variable = asVariant(value).toBoolean(); });
}

bool AssignRegistryValue(int16_t &variable, const QVariant &value)
{
    return tryAssign([&] { variable = asVariant(value).toInteger(); });
}

bool AssignRegistryValue(int32_t &variable, const QVariant &value)
{
    return tryAssign([&] { variable = asVariant(value).toLong(); });
}

bool AssignRegistryValue(float &variable, const QVariant &value)
{
    return tryAssign([&] { variable = asVariant(value).toSingle(); });
}

bool AssignRegistryValue(QString &variable, const QVariant &value)
{
    return tryAssign([&] { variable = textOf(value); });
}

LSTATUS StoreDriverSetting(const QString &name, int32_t type, const QVariant &value)
{
    HKEY key = 0;
    if (const LSTATUS rc = RegOpenKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, 0, SettingsKeyAccess, &key))
        return rc;
    const LSTATUS rc = SetRegistryValue(key, name, type, value);
    RegCloseKey(key);
    return rc;
}

namespace {

const QString NoKey = QStringLiteral("the settings key cannot be written");

} // namespace

bool SettingsWrite::put(const QString &name, int32_t type, const QVariant &value)
{
    const LSTATUS rc = SetRegistryValue(m_key, name, type, value);
    if (rc == ERROR_SUCCESS)
        return true;
    if (m_failed.isEmpty())
        m_why = rc == ERROR_REGISTRY_IO_FAILED ? RegistryStore::saveError() : NoKey;
    m_failed << name;
    return false;
}

QString SettingsNotSaved(const QStringList &names, QString why)
{
    if (why.isEmpty())
        why = RegistryStore::saveError();
    if (why.isEmpty())
        why = NoKey;
    return QStringLiteral("Unable to save %1 (%2); %3 in use.")
        .arg(names.join(QStringLiteral(", ")), why,
             names.size() == 1 ? QStringLiteral("its former value stays") : QStringLiteral("their former values stay"));
}
