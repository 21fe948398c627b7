#include "platform/RunningHandler.h"

#include <QEvent>
#include <QObject>

// A child of the window: counts its running handlers and holds back its deferred deletion.
class RunningHandler::Keeper : public QObject
{
public:
    explicit Keeper(QObject *window) : QObject(window)
    {
        setObjectName(Name);
        window->installEventFilter(this);
    }

    static Keeper *of(QObject *window)
    {
        auto *keeper = dynamic_cast<Keeper *>(window->findChild<QObject *>(Name, Qt::FindDirectChildrenOnly));
        return keeper ? keeper : new Keeper(window);
    }

    static inline const QString Name = QStringLiteral("RunningHandler::Keeper");

    int running = 0;
    bool held = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::DeferredDelete || running == 0)
            return false;
        held = true;
        return true;
    }
};

// Deletes the window from the event loop on its own deferred deletion. The window's own
// deleteLater cannot serve: once the window has had one (the one held back), Qt drops a
// second while the window has other events pending, and the window would stay closed but
// never freed.
class RunningHandler::Deleter : public QObject
{
public:
    explicit Deleter(Keeper *keeper) : m_keeper(keeper) { deleteLater(); }
    ~Deleter() override
    {
        if (!m_keeper)
            return;
        if (m_keeper->running > 0) // a handler of the window began meanwhile: it deletes
            m_keeper->held = true;
        else
            delete m_keeper->parent();
    }

private:
    QPointer<Keeper> m_keeper;
};

RunningHandler::RunningHandler(QObject *window) : m_keeper(Keeper::of(window))
{
    ++m_keeper->running;
}

RunningHandler::~RunningHandler()
{
    if (!m_keeper || --m_keeper->running > 0 || !m_keeper->held)
        return;
    m_keeper->held = false;
    // Deleted from the event loop, after the handler's caller has returned too.
    new Deleter(m_keeper);
}
