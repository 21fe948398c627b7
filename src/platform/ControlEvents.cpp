#include "platform/ControlEvents.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QSet>

namespace {

class ControlEventHook final : public QObject
{
public:
    ControlEventHook(QWidget *control, std::initializer_list<QEvent::Type> types, std::function<bool(QEvent *)> handler)
        : QObject(control), m_types(types), m_handler(std::move(handler))
    {
        control->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        return m_types.contains(event->type()) && m_handler(event);
    }

private:
    QSet<QEvent::Type> m_types;
    std::function<bool(QEvent *)> m_handler;
};

} // namespace

void OnControlEvent(QWidget *control, std::initializer_list<QEvent::Type> types, std::function<bool(QEvent *)> handler)
{
    new ControlEventHook(control, types, std::move(handler));
}

void OnControlEvent(QWidget *control, std::initializer_list<QEvent::Type> types, std::function<void()> handler)
{
    OnControlEvent(control, types, [handler = std::move(handler)](QEvent *) {
        handler();
        return false;
    });
}

bool IsOperatorFocusLoss(const QEvent *event)
{
    if (event->type() != QEvent::FocusOut)
        return false;
    const Qt::FocusReason reason = static_cast<const QFocusEvent *>(event)->reason();
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

QChar TypedCharacter(const QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QChar();
    const auto *key = static_cast<const QKeyEvent *>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier) || key->text().isEmpty())
        return QChar();
    const QChar c = key->text().front();
    if (c == QLatin1Char('\b'))
        return c;
    return (c.unicode() < 0x20 || c.unicode() == 0x7F) ? QChar() : c;
}
