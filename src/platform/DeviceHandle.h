#pragma once

#include <QString>
#include <QtGlobal>

// What the operating system says of a device: of an open handle without reading or writing
// it, and of a path that would not open without trying to open it.
namespace DeviceHandle {

// False when the device behind `handle` has hung up or failed (an adapter pulled).
bool StillThere(qintptr handle);

// Why the device behind an open `handle` at `path` stopped serving, in the system's words
// ("no such device" once it is gone, "the device hung up"); empty when it seems well.
QString WhyFailed(qintptr handle, const QString &path);

// Why a device path does not open for reading and writing.
struct Refusal
{
    enum Cause { Missing, NoPermission, Busy };
    Cause cause = Busy;
    QString group; // NoPermission: the group that owns the device, where it has one
};

// Asks the file system about `path`: missing, not ours to open, else held by another.
Refusal WhyNotOpened(const QString &path);

} // namespace DeviceHandle
