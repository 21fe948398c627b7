#include "platform/OperatorEdits.h"

#include <QLineEdit>
#include <memory>

void OnOperatorEdit(QLineEdit *box, std::function<bool(QChar, const QString &)> keeps, std::function<void()> edited)
{
    // The text before each edit: textEdited comes before textChanged, and a filtered edit
    // replaces the text inside its own signal, so the box is read rather than the argument.
    auto before = std::make_shared<QString>(box->text());
    QObject::connect(box, &QLineEdit::textChanged, box, [box, before] { *before = box->text(); });
    QObject::connect(box, &QLineEdit::textEdited, box, [box, before, keeps, edited](const QString &now) {
        const QString old = *before;
        qsizetype head = 0;
        while (head < old.size() && head < now.size() && old[head] == now[head])
            ++head;
        qsizetype tail = 0;
        while (tail < old.size() - head && tail < now.size() - head && old[old.size() - 1 - tail] == now[now.size() - 1 - tail])
            ++tail;
        if (keeps) {
            const QString added = now.mid(head, now.size() - head - tail);
            QString kept;
            for (const QChar c : added) {
                if (keeps(c, now.left(head) + kept + now.right(tail)))
                    kept += c;
            }
            if (kept != added) {
                const QString filtered = now.left(head) + kept + now.right(tail);
                box->setText(filtered);
                box->setCursorPosition(int(head + kept.size()));
                if (filtered == old)
                    return;
            }
        }
        if (edited)
            edited();
    });
}
