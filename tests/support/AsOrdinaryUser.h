#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// While it lives, file permissions bind this thread as they bind an ordinary user: a test
// run as root sets aside root's override of them (and takes it back after), so that a file
// of mode 444 or 000 refuses as it would for the operator. Without the override it does nothing.
struct AsOrdinaryUser
{
    AsOrdinaryUser()
    {
        if (::syscall(SYS_capget, &header, saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {saved[0], saved[1]};
        constexpr unsigned overrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
        reduced[0].effective &= ~overrides;
        changed = ::syscall(SYS_capset, &header, reduced) == 0;
    }
    ~AsOrdinaryUser()
    {
        if (changed)
            ::syscall(SYS_capset, &header, saved);
    }
    AsOrdinaryUser(const AsOrdinaryUser &) = delete;
    AsOrdinaryUser &operator=(const AsOrdinaryUser &) = delete;

    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2]{};
    bool changed = false;
};
