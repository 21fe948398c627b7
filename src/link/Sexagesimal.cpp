#include "link/Sexagesimal.h"

#include "platform/Vb.h"
#include "platform/VbError.h"

#include <cmath>

QString FormatSexagesimal(double value)
{
    const bool negative = value < 0;
    if (negative)
        value = -value;
    // Infinity, NaN and degrees beyond a 64-bit count cannot be written: overflow, as Format.
    if (!(value < 0x1p63))
        throw VbError::overflow();
    qint64 degrees = static_cast<qint64>(std::floor(value));
    const double minutesRest = (value - static_cast<double>(degrees)) * 60;
    qint64 minutes = static_cast<qint64>(std::floor(minutesRest));
    QString seconds = vb::Format((minutesRest - static_cast<double>(minutes)) * 60, QStringLiteral("00.0"));
    // Seconds are rounded in the text only; carry a rounded-up minute so that no field
    // ever reads 60 (other programs read this text from image headers).
    if (seconds == QLatin1String("60.0")) {
        seconds = QStringLiteral("00.0");
        if (++minutes == 60) {
            minutes = 0;
            ++degrees;
        }
    }
    return (negative ? QStringLiteral("-") : QString()) + vb::Format(static_cast<double>(degrees), QStringLiteral("00"))
        + QLatin1Char(':') + vb::Format(static_cast<double>(minutes), QStringLiteral("00")) + QLatin1Char(':') + seconds;
}

double ParseSexagesimal(QString &text)
{
    text = text.trimmed();
    // A blank anywhere makes blanks the separator; only a text without blanks uses ":".
    const QChar separator = text.contains(QLatin1Char(' ')) ? QLatin1Char(' ') : QLatin1Char(':');
    const qsizetype p1 = text.indexOf(separator);
    if (p1 < 0)
        return 0;
    qsizetype p2 = text.indexOf(QLatin1Char(' '), p1 + 1);
    if (p2 < 0)
        p2 = text.indexOf(QLatin1Char(':'), p1 + 1);
    if (p2 < 0)
        return 0;
    const double degrees = vb::CDbl(text.left(p1));
    const double minutes = vb::CDbl(text.mid(p1 + 1, p2 - p1 - 1));
    const double seconds = vb::CDbl(text.mid(p2 + 1));
    const double magnitude = std::fabs(degrees) + minutes / 60 + seconds / 3600;
    // The sign is the text's own: "-00 30 00" is below zero although -0 has no sign.
    return text.startsWith(QLatin1Char('-')) ? -magnitude : magnitude;
}
