#pragma once

#include <QHash>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <utility>

// One completed report as the parsers read it: its code, its value's text and, when that
// text is a number (vb::IsNumeric), the number (vb::CDbl; 0 otherwise).
struct Report
{
    Report(QStringView code, QStringView value);

    QString code;
    QString text;
    bool numeric = false;
    double v = 0;
};

// A parser's dispatch table, built once per class: report code -> the owner's handler for
// that code or family (a member function or a lambda taking the owner). Codes not in the
// table are left alone.
template <typename Owner>
class ReportTable
{
public:
    using Handler = std::function<void(Owner &, const Report &)>;

    ReportTable(std::initializer_list<std::pair<const char *, Handler>> entries)
    {
        for (const auto &[code, handler] : entries)
            m_handlers.insert(QString::fromLatin1(code), handler);
    }

    // The handler of `report`'s code, if any, run on `owner`.
    void dispatch(Owner &owner, const Report &report) const
    {
        if (const auto it = m_handlers.constFind(report.code); it != m_handlers.cend())
            it.value()(owner, report);
    }

    // The same for a report not yet read: only a code with a handler has its value read.
    void dispatch(Owner &owner, QStringView code, QStringView value) const
    {
        if (const auto it = m_handlers.constFind(code.toString()); it != m_handlers.cend())
            it.value()(owner, Report(code, value));
    }

private:
    QHash<QString, Handler> m_handlers;
};

// Values several parsers read, decoded one way for all of them. Each gives nothing when the
// value is not a number, or not one the controller can report: such a report is malformed
// and left alone like any other.
namespace ReportValue {

// The temperatures a sensor can report, in degrees F.
constexpr double LowestTemperature = -100;
constexpr double HighestTemperature = 200;

// ":t1" to ":t3", ":t7": hundredths of a degree, as degrees; nothing outside what a sensor
// reports.
std::optional<double> Temperature(const Report &r);

// ":rs", ":rt": the rotator's target or actual position in steps: a whole number within the
// Long range.
std::optional<double> RotatorSteps(const Report &r);

// ":wr": the cable wrap in whole steps. Throws VbError 6 beyond the Long range.
std::optional<int32_t> Wrap(const Report &r);

// A fan, heater or dew-heater power (":fs", ":ss", ":d1", ":d2"): 0 to 100 as a whole
// number, above 100 as 100; nothing for a negative value.
std::optional<int32_t> Power(const Report &r);

// A switch (":mb", ":ac", ...): on when the text's Val is not 0, whatever the text.
bool Flag(const Report &r);

// ":sl1", ":of1": the compensation slope or offset, sent x 100000. Throws VbError 6 beyond
// the Single range.
std::optional<float> TempCompScale(const Report &r);

// ":frp", ":rrp": the position recall at power-up as the controller reports it: 0 off (the
// value an even whole number), 4 on, 8 on with a position recorded (on and 8 or more). Any
// number the controller sends, fractions and numbers beyond an Integer included.
std::optional<int16_t> RecallCode(const Report &r);

// ":tcc": the compensation coefficient for `slope`; nothing while the slope is 0.
std::optional<float> TempCompCoefficient(const Report &r, float slope);

} // namespace ReportValue
