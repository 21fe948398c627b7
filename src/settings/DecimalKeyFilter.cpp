#include "settings/DecimalKeyFilter.h"

#include "platform/ControlEvents.h"
#include "platform/OperatorEdits.h"

#include <QLineEdit>

namespace DecimalKeyFilter {

void install(QLineEdit *box)
{
    OnControlEvent(box, {QEvent::KeyPress}, [box](QEvent *event) {
        const QChar typed = TypedCharacter(event);
        return !typed.isNull() && !accepts(typed, box->text());
    });
    OnOperatorEdit(box, accepts, {}); // pasted or dropped text passes the same filter
}

bool accepts(QChar typed, const QString &text)
{
    if (typed >= u'0' && typed <= u'9')
        return true;
    if (typed == QLatin1Char('\b'))
        return true;
    // A second point is dropped even when the first is selected and would be replaced.
    return typed == QLatin1Char('.') && !text.contains(QLatin1Char('.'));
}

} // namespace DecimalKeyFilter
