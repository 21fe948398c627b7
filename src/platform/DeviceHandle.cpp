#include "platform/DeviceHandle.h"

#include <poll.h>

bool DeviceHandle::StillThere(qintptr handle)
{
    if (handle < 0)
        return false;
    pollfd watched{int(handle), POLLIN | POLLOUT, 0};
    if (poll(&watched, 1, 0) < 0)
        return false;
    return (watched.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
}
