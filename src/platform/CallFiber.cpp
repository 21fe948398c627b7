#include "platform/CallFiber.h"

#include "platform/GuardedApplication.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#define VKM_FIBER_ANNOTATIONS 1
#endif

namespace {

#if defined(VKM_FIBER_ANNOTATIONS)
constexpr size_t StackBytes = size_t(8) << 20; // instrumented frames are large
#else
constexpr size_t StackBytes = size_t(1) << 20; // only the pages touched are used
#endif

struct Fiber
{
    ucontext_t context{};
    ucontext_t resumer{};
    char *mapping = nullptr; // guard page, then the stack
    std::function<void()> body;
    std::function<bool()> done;
    QDeadlineTimer deadline;
    QTimer wake; // its tick is an event, so the wait's end is seen at the deadline
    bool finished = false;
    int loopLevel = 0; // nesting on the fiber's stack when it was last resumed
    int pumpDepth = 0;
    // Where the resumer's stack is and the fiber's saved fake stack, for the sanitizer.
    void *fakeStack = nullptr;
    const void *resumerBottom = nullptr;
    size_t resumerSize = 0;

    char *stackBottom() const { return mapping + getpagesize(); }
};

Fiber *g_current = nullptr;
int g_pumpDepth = 0;

void startSwitch([[maybe_unused]] void **fakeStack, [[maybe_unused]] const void *bottom, [[maybe_unused]] size_t size)
{
#if defined(VKM_FIBER_ANNOTATIONS)
    __sanitizer_start_switch_fiber(fakeStack, bottom, size);
#endif
}

void finishSwitch([[maybe_unused]] void *fakeStack, [[maybe_unused]] const void **bottom, [[maybe_unused]] size_t *size)
{
#if defined(VKM_FIBER_ANNOTATIONS)
    __sanitizer_finish_switch_fiber(fakeStack, bottom, size);
#endif
}

int loopLevel()
{
    return QThread::currentThread()->loopLevel();
}

// Resumes waiting fibers from the event loop: after any event while one waits, one check
// is posted, which resumes every fiber whose condition holds or whose time is up.
class Scheduler : public QObject
{
public:
    static Scheduler &instance()
    {
        static auto *scheduler = new Scheduler; // lives as long as the process
        return *scheduler;
    }

    void add(Fiber *fiber)
    {
        m_waiting.push_back(fiber);
        requestCheck();
    }

    void requestCheck()
    {
        if (m_checkPosted)
            return;
        m_checkPosted = true;
        QCoreApplication::postEvent(this, new QEvent(CheckEvent));
    }

protected:
    bool event(QEvent *e) override
    {
        if (e->type() != CheckEvent)
            return QObject::event(e);
        m_checkPosted = false;
        check();
        return true;
    }

    bool eventFilter(QObject *watched, QEvent *) override
    {
        if (watched != this && !m_waiting.empty())
            requestCheck();
        return false;
    }

private:
    static constexpr auto CheckEvent = QEvent::Type(QEvent::User + 0x7F1);

    Scheduler() { QCoreApplication::instance()->installEventFilter(this); }

    void check();

    std::vector<Fiber *> m_waiting;
    bool m_checkPosted = false;
};

void resume(Fiber *fiber)
{
    Fiber *previous = g_current;
    g_current = fiber;
    fiber->loopLevel = loopLevel();
    fiber->pumpDepth = g_pumpDepth;
    void *fakeStack = nullptr;
    startSwitch(&fakeStack, fiber->stackBottom(), StackBytes);
    swapcontext(&fiber->resumer, &fiber->context);
    finishSwitch(fakeStack, nullptr, nullptr);
    g_current = previous;
    if (fiber->finished) {
        munmap(fiber->mapping, StackBytes + getpagesize());
        delete fiber;
    }
}

void Scheduler::check()
{
    // A resumed fiber may start, suspend or end others: take them one at a time.
    for (;;) {
        const auto ready = std::find_if(m_waiting.begin(), m_waiting.end(), [](Fiber *f) {
            return f->deadline.hasExpired() || (f->done && f->done());
        });
        if (ready == m_waiting.end())
            return;
        Fiber *fiber = *ready;
        m_waiting.erase(ready);
        resume(fiber);
    }
}

// An error must not unwind past the fiber's first frame: there is no caller beneath it.
void runGuarded(const std::function<void()> &body)
{
    try {
        body();
    } catch (...) {
        EventLoopGuard::ReportCurrent();
    }
}

void entry()
{
    Fiber *fiber = g_current;
    finishSwitch(nullptr, &fiber->resumerBottom, &fiber->resumerSize);
    runGuarded(fiber->body);
    fiber->body = nullptr;
    fiber->finished = true;
    startSwitch(nullptr, fiber->resumerBottom, fiber->resumerSize);
    setcontext(&fiber->resumer);
}

} // namespace

namespace CallFiber {

void Start(std::function<void()> body)
{
    Scheduler::instance();
    const size_t page = getpagesize();
    void *mapping = mmap(nullptr, StackBytes + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (mapping == MAP_FAILED) {
        // No stack to spare: the call runs as calls always could, nesting its waits.
        runGuarded(body);
        return;
    }
    mprotect(mapping, page, PROT_NONE); // an overflow faults instead of corrupting memory
    auto *fiber = new Fiber;
    fiber->mapping = static_cast<char *>(mapping);
    fiber->body = std::move(body);
    fiber->wake.setSingleShot(true);
    fiber->wake.setTimerType(Qt::PreciseTimer);
    getcontext(&fiber->context);
    fiber->context.uc_stack.ss_sp = fiber->stackBottom();
    fiber->context.uc_stack.ss_size = StackBytes;
    fiber->context.uc_link = nullptr;
    makecontext(&fiber->context, entry, 0);
    resume(fiber);
}

bool CanSuspend()
{
    return g_current && g_current->loopLevel == loopLevel() && g_current->pumpDepth == g_pumpDepth;
}

bool SuspendUntil(int timeoutMs, const std::function<bool()> &done)
{
    Fiber *fiber = g_current;
    if (!CanSuspend())
        std::abort(); // a caller's mistake: there is nothing to suspend
    fiber->done = done;
    fiber->deadline = QDeadlineTimer(std::max(timeoutMs, 0), Qt::PreciseTimer);
    fiber->wake.start(std::max(timeoutMs, 0));
    Scheduler::instance().add(fiber);
    startSwitch(&fiber->fakeStack, fiber->resumerBottom, fiber->resumerSize);
    swapcontext(&fiber->context, &fiber->resumer);
    finishSwitch(fiber->fakeStack, &fiber->resumerBottom, &fiber->resumerSize);
    fiber->wake.stop();
    fiber->done = nullptr;
    return done ? done() : false;
}

PumpScope::PumpScope()
{
    ++g_pumpDepth;
}

PumpScope::~PumpScope()
{
    --g_pumpDepth;
}

} // namespace CallFiber
