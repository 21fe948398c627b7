#pragma once

#include <QChar>
#include <QString>
#include <functional>

class QLineEdit;

// Every change the operator makes to a text box, whatever the way in (typed keys, paste,
// drag and drop, cut, undo); texts set from code are not edits. When `keeps` is given, the
// characters an edit brings in are filtered as if they were typed one after the other:
// `keeps` says whether a character stays, given the box's text so far. `edited` then runs
// when the edit changed the box. Both live as long as the box.
void OnOperatorEdit(QLineEdit *box, std::function<bool(QChar typed, const QString &text)> keeps,
                    std::function<void()> edited);
