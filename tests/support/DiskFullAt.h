#pragma once

#include <csignal>
#include <sys/resource.h>

// While it lives no file of the process grows beyond `bytes`, as on a full disk.
struct DiskFullAt
{
    explicit DiskFullAt(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old);
        signal(SIGXFSZ, SIG_IGN); // the write fails instead of ending the process
        const rlimit full{bytes, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &full);
    }
    ~DiskFullAt() { setrlimit(RLIMIT_FSIZE, &old); }
    rlimit old{};
};
