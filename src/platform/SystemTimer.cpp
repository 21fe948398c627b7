#include "platform/SystemTimer.h"

#include "platform/VbTimer.h"

#include <map>
#include <memory>

namespace SystemTimer {

namespace {
std::map<uint32_t, std::unique_ptr<VbTimer>> &timers()
{
    static std::map<uint32_t, std::unique_ptr<VbTimer>> all;
    return all;
}
uint32_t lastId = 0;
} // namespace

uint32_t SetTimer(uint32_t periodMs, std::function<void()> callback)
{
    const uint32_t id = ++lastId == 0 ? ++lastId : lastId;
    auto timer = std::make_unique<VbTimer>();
    QObject::connect(timer.get(), &VbTimer::Tick, timer.get(), std::move(callback));
    timer->setInterval(static_cast<int>(std::min<uint32_t>(periodMs, INT32_MAX)));
    timer->setEnabled(true);
    timers()[id] = std::move(timer);
    return id;
}

bool KillTimer(uint32_t id)
{
    auto it = timers().find(id);
    if (it == timers().end())
        return false;
    // The callback may be the one killing its own timer: let the timer die after it returns.
    VbTimer *timer = it->second.release();
    timer->setEnabled(false);
    timer->deleteLater();
    timers().erase(it);
    return true;
}

uint32_t Period(uint32_t id)
{
    auto it = timers().find(id);
    return it == timers().end() ? 0 : uint32_t(it->second->Interval());
}

} // namespace SystemTimer
