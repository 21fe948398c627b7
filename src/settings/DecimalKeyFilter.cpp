#include "settings/DecimalKeyFilter.h"

#include "platform/ControlEvents.h"

#include <QLineEdit>

namespace DecimalKeyFilter {

void install(QLineEdit *box)
{
    OnControlEvent(box, {QEvent::KeyPress}, [box](QEvent *event) {
        const QChar typed = TypedCharacter(event);
        return !typed.isNull() && !accepts(typed, box->text());
    });
}

bool accepts(QChar typed, const QString &text)
{
    if (typed.isDigit() && typed.unicode() < 0x80)
        return true;
    if (typed == QLatin1Char('\b'))
        return true;
    // A second point is dropped even when the first is selected and would be replaced.
    return typed == QLatin1Char('.') && !text.contains(QLatin1Char('.'));
}

} // namespace DecimalKeyFilter
