#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// The program's numeric and text conversions (VB's rules), in one place. Nothing else
// in the program converts numbers to text or back. Locale never matters: "." is the decimal
// point and "," the thousands separator.
namespace vb {

// Format(value, pattern) for the digit patterns the program uses: "0", "00", "0.0", "0.00",
// "00.0", "#0.0", "#,##0.0", "0.0000000", "#.000000" and the like ("0" a required digit, "#"
// an optional one, "," between placeholders groups thousands, "," just left of the point
// divides by 1000; "#.##" of 5 keeps the point: "5."). An empty pattern gives CStr. Other
// pattern characters throw VbError 5.
// The value is first taken to 15 significant digits (7 for a Single), then rounded to the
// pattern with halves away from zero on that decimal text: 1.005 gives "1.01" with "0.00".
// A negative value that rounds to zero keeps its sign: Format(-0.001, "0.00") is "-0.00".
QString Format(double value, const QString &pattern);
QString Format(float value, const QString &pattern);
QString Format(int32_t value, const QString &pattern);

// CInt / CLng: round to nearest, halves to even; out of range throws VbError 6 "Overflow".
int16_t CInt(double value);
int32_t CLng(double value);
// CInt / CLng of a text: the text must be numeric (IsNumeric), else VbError 13.
int16_t CInt(const QString &text);
int32_t CLng(const QString &text);

// Int: the largest whole number not above the value (-5.5 gives -6).
double Int(double value);

// Val: the number at the start of the text; blanks, tabs and line feeds anywhere are skipped,
// reading stops at the first character that cannot continue the number ("1,5" is 1, "1e" is
// 1, "abc" is 0). "D" serves as exponent like "E". "&H"/"&O" read hex/octal: up to 16 bits
// as an Integer ("&HFFFF" is -1), a trailing "&" or more digits as a Long. A number beyond
// a Double throws VbError 6.
double Val(const QString &text);

// IsNumeric: the whole text (white space around it allowed) is a number CDbl can read:
// [+-] digits [. digits] [E|D [+-] digits], or "&H"/"&O" digits as Val reads them. Commas
// after the first digit of the integer part are thousands separators and are skipped, as
// under an English locale ("1,000" is 1000). Currency signs, trailing signs and parentheses
// are not accepted.
bool IsNumeric(const QString &text);

// The number of a text IsNumeric accepts (CDbl of it), or nothing: one reading for both.
std::optional<double> NumericValue(const QString &text);

// A settings value as the operator or a file gives it: an optional "-", digits with an
// optional decimal point and digits, an optional exponent ("e" or "E", an optional sign,
// digits), and nothing else (no blanks, "+", thousands commas, "D" exponent or "&H"); a
// number beyond a Double is none either.
std::optional<double> StrictNumber(const QString &text);

// CStr of a Single: up to 7 significant digits, of a Double: up to 15, halves away from zero;
// no trailing zeros, a zero before the point ("0.5"; VB prints ".5" only in Str, never in
// CStr). Exponent form ("1E+07", "1.5E-05") when the decimal exponent reaches the digit count
// or is below -4. A value that is no number (infinity, NaN) throws VbError 6 here and in Format.
QString CStr(float value);
QString CStr(double value);
QString CStr(int32_t value);

// CSng / CDbl of a text: must be numeric, else VbError 13; a number beyond the range
// throws VbError 6. CSng of a double out of the Single range throws VbError 6.
float CSng(double value);
float CSng(const QString &text);
double CDbl(const QString &text);

} // namespace vb
