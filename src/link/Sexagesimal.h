#pragma once

#include <QString>

// Angles and hours as degrees:minutes:seconds text and back.

// "-" for negatives, then "00:00:00.0"; seconds that round to 60 carry into the minutes.
// Infinity, NaN and values of 2^63 degrees or more throw VbError 6 (overflow).
QString FormatSexagesimal(double value);

// Three fields separated by blanks (or, when the text has no blank, by ":"): degrees +
// minutes / 60 + seconds / 3600, negative when the text starts with "-" (so "-00 30 00"
// gives -0.5). Fewer than three fields give 0. `text` is trimmed in place. A field that is
// not a number throws VbError 13.
double ParseSexagesimal(QString &text);
