#include "settings/DecimalKeyFilter.h"

#include <QKeyEvent>
#include <QLineEdit>

void DecimalKeyFilter::install(QLineEdit *box)
{
    box->installEventFilter(new DecimalKeyFilter(box));
}

bool DecimalKeyFilter::accepts(QChar typed, const QString &text)
{
    if (typed.isDigit() && typed.unicode() < 0x80)
        return true;
    if (typed == QLatin1Char('\b'))
        return true;
    // A second point is dropped even when the first is selected and would be replaced.
    return typed == QLatin1Char('.') && !text.contains(QLatin1Char('.'));
}

bool DecimalKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const QString typed = key->text();
    if (typed.isEmpty() || key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return false;
    const QChar c = typed.front();
    const bool controlKey = (c.unicode() < 0x20 && c != QLatin1Char('\b')) || c.unicode() == 0x7F;
    if (controlKey)
        return false;
    return !accepts(c, static_cast<QLineEdit *>(watched)->text());
}
