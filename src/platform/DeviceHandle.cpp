#include "platform/DeviceHandle.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

bool DeviceHandle::StillThere(qintptr handle)
{
    if (handle < 0)
        return false;
    pollfd watched{int(handle), POLLIN | POLLOUT, 0};
    if (poll(&watched, 1, 0) < 0)
        return false;
    return (watched.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
}

QString DeviceHandle::WhyFailed(qintptr handle, const QString &path)
{
    struct stat info{};
    if (::stat(path.toLocal8Bit().constData(), &info) != 0)
        return QStringLiteral("no such device");
    pollfd watched{int(handle), POLLIN | POLLOUT, 0};
    if (handle < 0 || poll(&watched, 1, 0) < 0 || (watched.revents & POLLNVAL))
        return QStringLiteral("the device is not open");
    if (watched.revents & POLLHUP)
        return QStringLiteral("the device hung up");
    if (watched.revents & POLLERR)
        return QStringLiteral("device error");
    return {};
}

DeviceHandle::Refusal DeviceHandle::WhyNotOpened(const QString &path)
{
    const QByteArray name = path.toLocal8Bit();
    struct stat info{};
    if (::stat(name.constData(), &info) != 0)
        return {Refusal::Missing, {}};
    // The effective rights, as the failed open had them (access() would ask for the real ones).
    if (::faccessat(AT_FDCWD, name.constData(), R_OK | W_OK, AT_EACCESS) != 0 && (errno == EACCES || errno == EPERM)) {
        const group *owner = ::getgrgid(info.st_gid);
        return {Refusal::NoPermission, owner ? QString::fromLocal8Bit(owner->gr_name) : QString()};
    }
    // It is there and ours to open: another program holds it (its lock or exclusive use).
    return {Refusal::Busy, {}};
}
