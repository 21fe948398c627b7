#pragma once

#include <memory>

class Serial;

// A holder of the shared link. Every driver object and each of the two control windows
// keeps one for as long as it lives; when the last one goes, the process ends with code 0.
class connector
{
public:
    connector();
    ~connector();
    connector(const connector &) = delete;
    connector &operator=(const connector &) = delete;

    // The shared link, the same object for every holder.
    std::shared_ptr<Serial> Class() const;
};

// The start routine: creates the shared link and nothing else. The process then waits,
// showing nothing, until a holder ends it.
void Main();

// Releases what must not outlive the process and ends it at once with exit code 0,
// without running any window's unload.
[[noreturn]] void EndProcess();
