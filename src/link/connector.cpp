#include "link/connector.h"

#include "link/ModuleState.h"
#include "link/Serial.h"
#include "platform/SystemTimer.h"
#include "platform/VbFiles.h"

#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>

namespace {

void createSharedSerial()
{
    try {
        Module().link.SharedSerial = std::make_shared<Serial>();
    } catch (...) {
        // The next holder tries again.
    }
}

} // namespace

void Main()
{
    createSharedSerial();
}

connector::connector()
{
    ModuleState &m = Module();
    if (!m.link.SharedSerial) {
        createSharedSerial();
        m.thesky.ZELOffset = 0;
    }
    if (m.link.ClientCount < INT16_MAX)
        ++m.link.ClientCount;
}

connector::~connector()
{
    ModuleState &m = Module();
    if (m.link.ClientCount > 0)
        --m.link.ClientCount;
    if (m.link.ClientCount != 0)
        return;
    EndProcess();
}

std::shared_ptr<Serial> connector::Class() const
{
    return Module().link.SharedSerial;
}

void EndProcess()
{
    ModuleState &m = Module();
    m.link.SharedSerial.reset();
    VbFiles::Close(m.tools.LogFileNumber);
    if (m.tools.LogTimerId != 0) {
        SystemTimer::KillTimer(static_cast<uint32_t>(m.tools.LogTimerId));
        m.tools.LogTimerId = 0;
    }
    m.thesky.TheSky.reset();
    m.thesky.TheSkyTelescope.reset();
    m.thesky.TheSkyFOVs.reset();
    m.thesky.TheSkyChart.reset();
    m.thesky.TheSkyUtils.reset();
    std::fflush(nullptr);
    ::_exit(0);
}
