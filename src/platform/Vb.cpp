#include "Vb.h"

#include "VbError.h"

#include <QRegularExpression>

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace vb {

namespace {

// A non-negative decimal number: 0.DIGITS x 10^point. No leading or trailing zeros in
// digits; zero has no digits.
struct Decimal
{
    std::string digits;
    int point = 0;

    bool isZero() const { return digits.empty(); }
    char digitAt(int index) const
    {
        return index >= 0 && index < int(digits.size()) ? digits[size_t(index)] : '0';
    }
};

void trimZeros(Decimal &d)
{
    const size_t first = d.digits.find_first_not_of('0');
    if (first == std::string::npos) {
        d.digits.clear();
        d.point = 0;
        return;
    }
    d.digits.erase(0, first);
    d.point -= int(first);
    d.digits.erase(d.digits.find_last_not_of('0') + 1);
}

// Keeps the first `keep` digits, rounding the rest half away from zero.
void roundAt(Decimal &d, int keep)
{
    if (keep >= int(d.digits.size()))
        return;
    if (keep < 0) {
        d = Decimal();
        return;
    }
    const bool up = d.digits[size_t(keep)] >= '5';
    d.digits.resize(size_t(keep));
    if (up) {
        int i = keep - 1;
        for (; i >= 0 && d.digits[size_t(i)] == '9'; --i)
            d.digits[size_t(i)] = '0';
        if (i >= 0) {
            ++d.digits[size_t(i)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.point;
        }
    }
    trimZeros(d);
}

// |value| as VB shows it: the exact binary value rounded to `significant` decimal digits,
// halves away from zero.
Decimal decimalOf(double value, int significant)
{
    if (!std::isfinite(value))
        throw VbError::overflow();
    // 800 digits hold the exact expansion of any double.
    char buffer[832];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::scientific, 800);
    const std::string_view text(buffer, size_t(result.ptr - buffer));
    const size_t e = text.find('e');
    Decimal d;
    d.digits = std::string(text.substr(0, 1)) + std::string(text.substr(2, e - 2));
    int exponent = 0;
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                    exponent);
    d.point = exponent + 1;
    trimZeros(d);
    roundAt(d, significant);
    return d;
}

// The digits left of the point, at least `minimum` of them.
std::string integerDigits(const Decimal &d, int minimum)
{
    std::string out;
    for (int i = 0; i < d.point; ++i)
        out += d.digitAt(i);
    if (int(out.size()) < minimum)
        out.insert(0, size_t(minimum) - out.size(), '0');
    return out;
}

QString cstr(double value, int significant)
{
    const Decimal d = decimalOf(value, significant);
    if (d.isZero())
        return QStringLiteral("0");
    std::string out = value < 0 ? "-" : "";
    const int exponent = d.point - 1;
    if (exponent >= significant || exponent < -4) {
        out += d.digits[0];
        if (d.digits.size() > 1)
            out += '.' + d.digits.substr(1);
        const std::string power = std::to_string(std::abs(exponent));
        out += std::string(exponent < 0 ? "E-" : "E+") + (power.size() < 2 ? "0" : "") + power;
    } else {
        const std::string whole = integerDigits(d, 1);
        out += whole;
        if (int(d.digits.size()) > d.point)
            out += '.' + std::string(size_t(std::max(0, -d.point)), '0')
                   + d.digits.substr(size_t(std::max(0, d.point)));
    }
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

// A digit pattern: [#0,]* [. [#0]*]. A comma between placeholders groups thousands; commas
// just left of the point (or at the end) divide by 1000 each.
struct Pattern
{
    int minInteger = 0;
    bool grouping = false;
    int thousandsScale = 0;
    bool point = false;
    int minDecimals = 0;
    int maxDecimals = 0;
};

[[noreturn]] void invalidArgument()
{
    throw VbError(5, QStringLiteral("Invalid procedure call or argument"));
}

Pattern parsePattern(const QString &text)
{
    Pattern p;
    int placeholders = 0;
    int pendingCommas = 0;
    bool seenZero = false;
    for (const QChar c : text) {
        const char16_t ch = c.unicode();
        if (p.point) {
            if (ch == u'0')
                p.minDecimals = ++p.maxDecimals;
            else if (ch == u'#')
                ++p.maxDecimals;
            else
                invalidArgument();
        } else if (ch == u'0' || ch == u'#') {
            if (pendingCommas > 0)
                p.grouping = true;
            pendingCommas = 0;
            seenZero = seenZero || ch == u'0';
            if (seenZero)
                ++p.minInteger;
            ++placeholders;
        } else if (ch == u',') {
            if (placeholders == 0)
                invalidArgument();
            ++pendingCommas;
        } else if (ch == u'.') {
            p.point = true;
        } else {
            invalidArgument();
        }
    }
    p.thousandsScale = pendingCommas;
    return p;
}

std::string grouped(const std::string &digits)
{
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

QString format(double value, int significant, const QString &pattern)
{
    if (pattern.isEmpty())
        return cstr(value, significant);
    const Pattern p = parsePattern(pattern);
    Decimal d = decimalOf(value, significant);
    if (!d.isZero())
        d.point -= 3 * p.thousandsScale;
    roundAt(d, d.point + p.maxDecimals);

    // A negative value that rounds to zero keeps its sign ("-0.00"), as VB's Format does:
    // the sign is taken from the value, not from the rounded text.
    std::string out = value < 0 ? "-" : "";
    const std::string whole = integerDigits(d, p.minInteger);
    out += p.grouping ? grouped(whole) : whole;
    if (p.point) {
        std::string decimals;
        for (int i = 0; i < p.maxDecimals; ++i)
            decimals += d.digitAt(d.point + i);
        while (int(decimals.size()) > p.minDecimals && decimals.back() == '0')
            decimals.pop_back();
        out += '.' + decimals;
    }
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string latin1(const QString &text)
{
    std::string out;
    out.reserve(size_t(text.size()));
    // Anything outside Latin-1 cannot be part of a number.
    for (const QChar c : text)
        out += c.unicode() < 0x100 ? char(c.unicode()) : '\x01';
    return out;
}

// "&H" / "&O" numbers. Up to 16 bits they are an Integer, so "&HFFFF" is -1; a trailing "&"
// or more digits make them a Long; beyond 32 bits they overflow.
struct Radix
{
    bool found = false;
    size_t end = 0;
    double value = 0;
};

Radix readRadix(const std::string &s, size_t pos)
{
    Radix r;
    if (pos + 1 >= s.size() || s[pos] != '&')
        return r;
    const char kind = char(std::toupper(static_cast<unsigned char>(s[pos + 1])));
    const int base = kind == 'H' ? 16 : kind == 'O' ? 8 : 0;
    if (base == 0)
        return r;
    r.found = true;
    size_t i = pos + 2;
    uint64_t bits = 0;
    for (; i < s.size(); ++i) {
        const int c = std::toupper(static_cast<unsigned char>(s[i]));
        const int digit = std::isdigit(c) ? c - '0' : std::isxdigit(c) ? c - 'A' + 10 : base;
        if (digit >= base)
            break;
        bits = bits * uint64_t(base) + uint64_t(digit);
        if (bits > 0xFFFFFFFFu)
            throw VbError::overflow();
    }
    const bool asLong = i > pos + 2 && i < s.size() && s[i] == '&';
    r.end = asLong ? i + 1 : i;
    r.value = (bits <= 0xFFFF && !asLong) ? double(int16_t(uint16_t(bits)))
                                           : double(int32_t(uint32_t(bits)));
    return r;
}

// A decimal number: [+-] digits [. digits] [E|D [+-] digits]. Commas in the integer part
// are skipped when allowed. Reading stops at the first character that cannot continue it.
struct Number
{
    bool found = false; // at least one mantissa digit
    size_t end = 0;
    double value = 0;
};

Number readDecimal(const std::string &s, size_t pos, bool commas)
{
    Number n;
    size_t i = pos;
    const bool negative = i < s.size() && s[i] == '-';
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        ++i;
    std::string mantissa;
    int leadExponent = 0; // decimal exponent of the first non-zero digit, before the E part
    bool nonZero = false;
    for (; i < s.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(s[i]))) {
            mantissa += s[i];
            nonZero = nonZero || s[i] != '0';
            if (nonZero)
                ++leadExponent;
        } else if (!(commas && s[i] == ',' && !mantissa.empty())) {
            break;
        }
    }
    if (i < s.size() && s[i] == '.') {
        mantissa += '.';
        for (++i; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
            mantissa += s[i];
            if (!nonZero && s[i] == '0')
                --leadExponent;
            nonZero = nonZero || s[i] != '0';
        }
    }
    if (mantissa.empty() || mantissa == ".")
        return n;
    n.found = true;
    n.end = i;

    long exponent = 0;
    if (i < s.size() && (std::toupper(static_cast<unsigned char>(s[i])) == 'E'
                         || std::toupper(static_cast<unsigned char>(s[i])) == 'D')) {
        size_t j = i + 1;
        const bool expNegative = j < s.size() && s[j] == '-';
        if (j < s.size() && (s[j] == '-' || s[j] == '+'))
            ++j;
        const size_t digitsStart = j;
        for (; j < s.size() && std::isdigit(static_cast<unsigned char>(s[j])); ++j)
            exponent = std::min(exponent * 10 + (s[j] - '0'), 100000L);
        if (j > digitsStart) {
            n.end = j;
            exponent = expNegative ? -exponent : exponent;
        } else {
            exponent = 0; // "1E" is 1: the E does not belong to the number
        }
    }

    const std::string text = mantissa + 'e' + std::to_string(exponent);
    double value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) {
        if (leadExponent + exponent > 0)
            throw VbError::overflow();
        value = 0; // too small for a Double
    }
    n.value = negative && value != 0 ? -value : value;
    return n;
}

// CDbl's reading of a whole text, or nothing. Throws Overflow for numbers beyond a Double.
std::optional<double> parseNumeric(const QString &text)
{
    const std::string s = latin1(text);
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && isBlank(s[begin]))
        ++begin;
    while (end > begin && isBlank(s[end - 1]))
        --end;
    const std::string core = s.substr(begin, end - begin);
    if (const Radix r = readRadix(core, 0); r.found)
        return r.end == core.size() && r.end > 2 ? std::optional(r.value) : std::nullopt;
    const Number n = readDecimal(core, 0, true);
    if (!n.found || n.end != core.size())
        return std::nullopt;
    return n.value;
}

double roundHalfEven(double value)
{
    if (!std::isfinite(value))
        throw VbError::overflow();
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0))
        whole += 1;
    return whole;
}

} // namespace

QString Format(double value, const QString &pattern)
{
    return format(value, 15, pattern);
}

QString Format(float value, const QString &pattern)
{
    return format(double(value), 7, pattern);
}

QString Format(int32_t value, const QString &pattern)
{
    return format(double(value), 15, pattern);
}

int16_t CInt(double value)
{
    const double whole = roundHalfEven(value);
    if (whole < std::numeric_limits<int16_t>::min() || whole > std::numeric_limits<int16_t>::max())
        throw VbError::overflow();
    return int16_t(whole);
}

int32_t CLng(double value)
{
    const double whole = roundHalfEven(value);
    if (whole < std::numeric_limits<int32_t>::min() || whole > std::numeric_limits<int32_t>::max())
        throw VbError::overflow();
    return int32_t(whole);
}

int16_t CInt(const QString &text)
{
    return CInt(CDbl(text));
}

int32_t CLng(const QString &text)
{
    return CLng(CDbl(text));
}

double Int(double value)
{
    return std::floor(value);
}

double Val(const QString &text)
{
    std::string s;
    for (const char c : latin1(text)) {
        if (c != ' ' && c != '\t' && c != '\n')
            s += c;
    }
    if (const Radix r = readRadix(s, 0); r.found)
        return r.value;
    return readDecimal(s, 0, false).value;
}

bool IsNumeric(const QString &text)
{
    return NumericValue(text).has_value();
}

std::optional<double> NumericValue(const QString &text)
{
    try {
        return parseNumeric(text);
    } catch (const VbError &) {
        return std::nullopt;
    }
}

std::optional<double> StrictNumber(const QString &text)
{
    static const QRegularExpression strict(QStringLiteral(R"(^-?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
    if (!strict.match(text).hasMatch())
        return std::nullopt;
    try {
        return parseNumeric(text);
    } catch (const VbError &) { // beyond a Double
        return std::nullopt;
    }
}

QString CStr(float value)
{
    return cstr(double(value), 7);
}

QString CStr(double value)
{
    return cstr(value, 15);
}

QString CStr(int32_t value)
{
    return QString::number(value);
}

float CSng(double value)
{
    // Beyond FLT_MAX plus half a unit a double no longer rounds to a finite Single.
    constexpr double limit = 0x1.ffffffp+127;
    if (std::isnan(value) || std::fabs(value) >= limit)
        throw VbError::overflow();
    return float(value);
}

float CSng(const QString &text)
{
    return CSng(CDbl(text));
}

double CDbl(const QString &text)
{
    const std::optional<double> value = parseNumeric(text);
    if (!value)
        throw VbError::typeMismatch();
    return *value;
}

} // namespace vb
