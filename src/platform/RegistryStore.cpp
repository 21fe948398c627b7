#include "platform/RegistryStore.h"

#include "platform/RegistryFile.h"
#include "platform/WholeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

struct Store
{
    bool loaded = false;
    QString path;
    bool persistent = true; // false when a damaged file could not be moved out of the way
    bool saveFailing = false;
    QString saveError; // why the last save failed; empty after one that succeeded
    QMap<QString, RegistryKey> keys; // by lower-case full path
    QHash<HKEY, QString> handles;    // open handle -> lower-case full path
    HKEY nextHandle = 0x100;
};

Store &rawStore()
{
    static Store store;
    return store;
}

const QList<std::pair<HKEY, QString>> &hives()
{
    static const QList<std::pair<HKEY, QString>> list = {
        {HKEY_CLASSES_ROOT, QStringLiteral("HKEY_CLASSES_ROOT")},
        {HKEY_CURRENT_USER, QStringLiteral("HKEY_CURRENT_USER")},
        {HKEY_LOCAL_MACHINE, QStringLiteral("HKEY_LOCAL_MACHINE")},
    };
    return list;
}

void report(const QString &message)
{
    std::fprintf(stderr, "vkm: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
}

// Names must survive the Latin-1 file: no control characters, nothing beyond Latin-1.
bool isStorableName(const QString &name)
{
    return std::all_of(name.begin(), name.end(),
                       [](QChar c) { return c.unicode() >= 0x20 && c.unicode() <= 0xFF; });
}

// The components of a sub-key path; trailing backslashes are ignored.
LSTATUS splitPath(QString path, QStringList *parts)
{
    while (path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    parts->clear();
    if (path.isEmpty())
        return ERROR_SUCCESS;
    *parts = path.split(QLatin1Char('\\'));
    for (const QString &part : *parts)
        if (part.isEmpty() || !isStorableName(part))
            return ERROR_BAD_PATHNAME;
    return ERROR_SUCCESS;
}

// False when the file could not be written; the caller puts the keys back as they were, so
// that the store holds only what is on the disk and the same write tried again is written.
bool save(Store &store)
{
    if (!store.persistent)
        return true;
    QDir().mkpath(QFileInfo(store.path).absolutePath());
    QList<RegistryKey> keys;
    for (const RegistryKey &key : std::as_const(store.keys))
        if (key.path.contains(QLatin1Char('\\')) || !key.values.isEmpty())
            keys.append(key);
    const QByteArray text = RegistryFile::format(keys);
    QString why;
    const bool saved = WholeFile::write(store.path, text, &why);
    if (!saved && !store.saveFailing)
        report(QStringLiteral("cannot save the registry to %1 (%2); the change is refused").arg(store.path, why));
    store.saveFailing = !saved;
    store.saveError = saved ? QString() : why;
    return saved;
}

// Saves the store after a change; when the file cannot be written the keys go back to
// `before` and the write is refused.
LSTATUS saveOrUndo(Store &store, const QMap<QString, RegistryKey> &before)
{
    if (save(store))
        return ERROR_SUCCESS;
    store.keys = before;
    return ERROR_REGISTRY_IO_FAILED;
}

// Adds the key `parts` below the existing key `base` (lower-case path), with any missing
// parents; new components keep the case given. Returns the new key's lower-case path.
QString addKey(Store &store, const QString &base, const QStringList &parts)
{
    QString folded = base;
    QString display = store.keys.value(base).path;
    for (const QString &part : parts) {
        folded += QLatin1Char('\\') + part.toLower();
        display += QLatin1Char('\\') + part;
        auto it = store.keys.find(folded);
        if (it == store.keys.end())
            store.keys.insert(folded, RegistryKey{display, {}});
        else
            display = it->path;
    }
    return folded;
}

LSTATUS addFileKeys(Store &store, const QList<RegistryKey> &fileKeys, QString *error)
{
    for (const RegistryKey &fileKey : fileKeys) {
        QStringList parts;
        const QString hive = fileKey.path.section(QLatin1Char('\\'), 0, 0);
        const bool known = std::any_of(hives().begin(), hives().end(), [&](const auto &h) {
            return h.second.compare(hive, Qt::CaseInsensitive) == 0;
        });
        if (!known || splitPath(fileKey.path.mid(hive.size() + 1), &parts) != ERROR_SUCCESS) {
            *error = QStringLiteral("bad key name [%1]").arg(fileKey.path);
            return ERROR_BAD_PATHNAME;
        }
        RegistryKey &key = store.keys[addKey(store, hive.toLower(), parts)];
        for (const RegistryValue &value : fileKey.values) {
            auto same = std::find_if(key.values.begin(), key.values.end(), [&](const RegistryValue &v) {
                return v.name.compare(value.name, Qt::CaseInsensitive) == 0;
            });
            if (same != key.values.end())
                *same = value;
            else
                key.values.append(value);
        }
    }
    return ERROR_SUCCESS;
}

void addHives(Store &store)
{
    for (const auto &[handle, name] : hives())
        store.keys.insert(name.toLower(), RegistryKey{name, {}});
}

// A file that cannot be read or parsed is moved aside, never overwritten.
void setAside(Store &store, const QString &reason)
{
    store.keys.clear();
    addHives(store);
    const QString stem = store.path + QStringLiteral(".damaged-")
                         + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QString aside = stem;
    for (int n = 1; QFileInfo::exists(aside); ++n)
        aside = stem + QLatin1Char('-') + QString::number(n);
    if (QFile::rename(store.path, aside)) {
        report(QStringLiteral("the registry file %1 is damaged (%2); it was kept as %3 and the registry starts empty")
                   .arg(store.path, reason, aside));
    } else {
        store.persistent = false;
        report(QStringLiteral("the registry file %1 is damaged (%2) and cannot be moved aside; the registry starts "
                              "empty and changes last only until the program ends")
                   .arg(store.path, reason));
    }
}

void load(Store &store)
{
    store.loaded = true;
    store.path = RegistryStore::filePath();
    addHives(store);
    QFile file(store.path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        setAside(store, file.errorString());
        return;
    }
    QString error;
    const auto fileKeys = RegistryFile::parse(file.readAll(), &error);
    if (file.error() != QFileDevice::NoError)
        error = file.errorString();
    file.close();
    if (!error.isEmpty() || addFileKeys(store, *fileKeys, &error) != ERROR_SUCCESS)
        setAside(store, error);
}

Store &store()
{
    Store &store = rawStore();
    if (!store.loaded)
        load(store);
    return store;
}

// The lower-case path of the key an open handle refers to.
LSTATUS keyOf(Store &store, HKEY handle, QString *path)
{
    for (const auto &[hive, name] : hives()) {
        if (hive == handle) {
            *path = name.toLower();
            return ERROR_SUCCESS;
        }
    }
    auto it = store.handles.constFind(handle);
    if (it == store.handles.constEnd())
        return ERROR_INVALID_HANDLE;
    if (!store.keys.contains(*it))
        return ERROR_KEY_DELETED;
    *path = *it;
    return ERROR_SUCCESS;
}

// The key a sub-key path names below an open key.
struct SubKey
{
    QString base;      // lower-case path of the open key
    QStringList parts; // the sub-key's components as given
    QString path;      // lower-case path of the key meant
};

LSTATUS subKeyOf(Store &store, HKEY key, const QString &subKey, SubKey *target)
{
    if (LSTATUS rc = keyOf(store, key, &target->base))
        return rc;
    if (LSTATUS rc = splitPath(subKey, &target->parts))
        return rc;
    target->path = target->base;
    if (!target->parts.isEmpty())
        target->path += QLatin1Char('\\') + target->parts.join(QLatin1Char('\\')).toLower();
    return ERROR_SUCCESS;
}

RegistryValue *findValue(RegistryKey &key, const QString &name)
{
    for (RegistryValue &value : key.values)
        if (value.name.compare(name, Qt::CaseInsensitive) == 0)
            return &value;
    return nullptr;
}

LSTATUS openKey(HKEY key, const QString &subKey, bool create, HKEY *result, DWORD *disposition)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = 0;
    Store &s = store();
    SubKey target;
    if (LSTATUS rc = subKeyOf(s, key, subKey, &target))
        return rc;
    const bool exists = s.keys.contains(target.path);
    if (!exists) {
        if (!create)
            return ERROR_FILE_NOT_FOUND;
        const QMap<QString, RegistryKey> before = s.keys;
        addKey(s, target.base, target.parts);
        if (LSTATUS rc = saveOrUndo(s, before))
            return rc;
    }
    *result = s.nextHandle++;
    s.handles.insert(*result, target.path);
    if (disposition)
        *disposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    return ERROR_SUCCESS;
}

} // namespace

LSTATUS RegOpenKey(HKEY key, const QString &subKey, HKEY *result)
{
    return openKey(key, subKey, false, result, nullptr);
}

LSTATUS RegOpenKeyEx(HKEY key, const QString &subKey, DWORD, REGSAM, HKEY *result)
{
    return openKey(key, subKey, false, result, nullptr);
}

LSTATUS RegCreateKeyEx(HKEY key, const QString &subKey, const QString &, DWORD, REGSAM, HKEY *result,
                       DWORD *disposition)
{
    return openKey(key, subKey, true, result, disposition);
}

LSTATUS RegQueryValueEx(HKEY key, const QString &valueName, DWORD *type, void *data, DWORD *size)
{
    Store &s = store();
    QString path;
    if (LSTATUS rc = keyOf(s, key, &path))
        return rc;
    const RegistryValue *value = findValue(s.keys[path], valueName);
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    if (data && !size)
        return ERROR_INVALID_PARAMETER;
    if (type)
        *type = value->type;
    const DWORD needed = static_cast<DWORD>(value->data.size());
    LSTATUS rc = ERROR_SUCCESS;
    if (data && *size < needed)
        rc = ERROR_MORE_DATA;
    else if (data)
        std::memcpy(data, value->data.constData(), needed);
    if (size)
        *size = needed;
    return rc;
}

LSTATUS RegSetValueEx(HKEY key, const QString &valueName, DWORD type, const void *data, DWORD size)
{
    Store &s = store();
    QString path;
    if (LSTATUS rc = keyOf(s, key, &path))
        return rc;
    if (!isStorableName(valueName) || (!data && size > 0))
        return ERROR_INVALID_PARAMETER;
    const QByteArray bytes(static_cast<const char *>(data), data ? static_cast<qsizetype>(size) : 0);
    const QMap<QString, RegistryKey> before = s.keys;
    RegistryKey &target = s.keys[path];
    if (RegistryValue *value = findValue(target, valueName)) {
        if (value->type == type && value->data == bytes)
            return ERROR_SUCCESS;
        value->type = type;
        value->data = bytes;
    } else {
        target.values.append(RegistryValue{valueName, type, bytes});
    }
    return saveOrUndo(s, before);
}

LSTATUS RegDeleteValue(HKEY key, const QString &valueName)
{
    Store &s = store();
    QString path;
    if (LSTATUS rc = keyOf(s, key, &path))
        return rc;
    const QMap<QString, RegistryKey> before = s.keys;
    QList<RegistryValue> &values = s.keys[path].values;
    const auto removed = values.removeIf(
        [&](const RegistryValue &v) { return v.name.compare(valueName, Qt::CaseInsensitive) == 0; });
    if (removed == 0)
        return ERROR_FILE_NOT_FOUND;
    return saveOrUndo(s, before);
}

LSTATUS RegDeleteKey(HKEY key, const QString &subKey)
{
    Store &s = store();
    SubKey target;
    if (LSTATUS rc = subKeyOf(s, key, subKey, &target))
        return rc;
    if (!target.path.contains(QLatin1Char('\\')))
        return ERROR_ACCESS_DENIED;
    if (!s.keys.contains(target.path))
        return ERROR_FILE_NOT_FOUND;
    const QString childPrefix = target.path + QLatin1Char('\\');
    auto next = s.keys.lowerBound(childPrefix);
    if (next != s.keys.end() && next.key().startsWith(childPrefix))
        return ERROR_ACCESS_DENIED;
    const QMap<QString, RegistryKey> before = s.keys;
    s.keys.remove(target.path);
    return saveOrUndo(s, before);
}

LSTATUS RegCloseKey(HKEY key)
{
    for (const auto &[hive, name] : hives())
        if (hive == key)
            return ERROR_SUCCESS;
    return store().handles.remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

QString RegistryStore::filePath()
{
    const QString path = qEnvironmentVariable("VKM_REGISTRY");
    if (!path.isEmpty())
        return path;
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/vkm/registry.reg");
}

QString RegistryStore::saveError()
{
    return rawStore().saveError;
}

void RegistryStore::resetForTests()
{
    rawStore() = Store{};
}
