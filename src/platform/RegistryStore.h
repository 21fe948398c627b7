#pragma once

#include <QString>
#include <cstdint>

// A stand-in for the system registry: hives, keys and typed values behind the familiar
// calls and result codes. Key paths and value names match without regard to case and keep
// the case they were first written with. Values are raw bytes under a type number; REG_SZ
// data carries its own terminating NUL, REG_DWORD is 4 little-endian bytes.
//
// Everything lives in one REGEDIT4-style text file: `$VKM_REGISTRY`, else
// `$XDG_CONFIG_HOME/vkm/registry.reg` (~/.config/vkm/registry.reg). It is read at first use
// and rewritten completely (temporary file, fsync, rename) by every change, so the file is
// whole whenever the process ends. A change the file cannot take (a full disk) is refused
// with ERROR_REGISTRY_IO_FAILED and undone, so the store holds what the file holds. Access
// masks are accepted and not enforced.

using HKEY = uint32_t;
using DWORD = uint32_t;
using REGSAM = uint32_t;
using LSTATUS = int32_t;

inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

inline constexpr LSTATUS ERROR_SUCCESS = 0;
inline constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
inline constexpr LSTATUS ERROR_ACCESS_DENIED = 5;
inline constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
inline constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
inline constexpr LSTATUS ERROR_BAD_PATHNAME = 161;
inline constexpr LSTATUS ERROR_MORE_DATA = 234;
inline constexpr LSTATUS ERROR_REGISTRY_IO_FAILED = 1016;
inline constexpr LSTATUS ERROR_KEY_DELETED = 1018;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x01;
inline constexpr REGSAM KEY_SET_VALUE = 0x02;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x04;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x08;
inline constexpr REGSAM KEY_NOTIFY = 0x10;
inline constexpr REGSAM KEY_CREATE_LINK = 0x20;

// Opens an existing key below `key`; an empty sub-key opens `key` itself again.
LSTATUS RegOpenKey(HKEY key, const QString &subKey, HKEY *result);
LSTATUS RegOpenKeyEx(HKEY key, const QString &subKey, DWORD options, REGSAM access, HKEY *result);

// Opens the key, creating it and any missing parents; `disposition` (may be null) tells
// REG_CREATED_NEW_KEY from REG_OPENED_EXISTING_KEY. The key class is not kept.
LSTATUS RegCreateKeyEx(HKEY key, const QString &subKey, const QString &keyClass, DWORD options,
                       REGSAM access, HKEY *result, DWORD *disposition);

// With `data` null, reports the type and the size in bytes. Otherwise copies the data when
// `*size` is large enough, else returns ERROR_MORE_DATA; `*size` becomes the value's size
// either way. The empty name is the key's default value.
LSTATUS RegQueryValueEx(HKEY key, const QString &valueName, DWORD *type, void *data, DWORD *size);
LSTATUS RegSetValueEx(HKEY key, const QString &valueName, DWORD type, const void *data, DWORD size);
LSTATUS RegDeleteValue(HKEY key, const QString &valueName);

// Deletes a key that has no sub-keys (ERROR_ACCESS_DENIED otherwise, and for a hive).
LSTATUS RegDeleteKey(HKEY key, const QString &subKey);
LSTATUS RegCloseKey(HKEY key);

class RegistryStore
{
public:
    // The file the store reads and writes, as the environment names it now.
    static QString filePath();

    // Why the last change could not be saved ("No space left on device"); empty once one was.
    static QString saveError();

    // Forgets the loaded store and every open handle; the next call reads the file named by
    // the environment at that time.
    static void resetForTests();
};
