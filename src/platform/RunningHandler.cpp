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
    m_keeper->parent()->deleteLater();
}
