#pragma once

#include <QString>

class QLineEdit;

// The key filter of the decimal text boxes: typed characters other than the digits, Backspace
// and one "." are dropped. Control keys (Enter, Escape, Tab, shortcuts) and navigation keys
// pass; pasted or dropped text is filtered as if typed.
namespace DecimalKeyFilter {

// Filters the keys typed into `box`; the filter lives as long as the box.
void install(QLineEdit *box);

// Whether a typed character passes, given the box's current text.
bool accepts(QChar typed, const QString &text);

} // namespace DecimalKeyFilter
