#pragma once

#include <QObject>

class QLineEdit;

// The key filter of the decimal text boxes: typed characters other than the digits, Backspace
// and one "." are dropped. Control keys (Enter, Escape, Tab, shortcuts) and navigation keys
// pass; pasted text is not filtered.
class DecimalKeyFilter : public QObject
{
    Q_OBJECT

public:
    // Filters the keys typed into `box`; the filter lives as long as the box.
    static void install(QLineEdit *box);

    // Whether a typed character passes, given the box's current text.
    static bool accepts(QChar typed, const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QObject::QObject;
};
