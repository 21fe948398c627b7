#include "link/ReportTable.h"

#include "platform/Vb.h"

#include <cmath>
#include <limits>

Report::Report(QStringView codeView, QStringView value)
    : code(codeView.toString()), text(value.toString())
{
    const std::optional<double> number = vb::NumericValue(text);
    numeric = number.has_value();
    v = number.value_or(0.0);
}

namespace ReportValue {

std::optional<double> Temperature(const Report &r)
{
    const double degrees = r.v / 100;
    if (!r.numeric || !(degrees >= LowestTemperature && degrees <= HighestTemperature))
        return std::nullopt;
    return degrees;
}

std::optional<double> RotatorSteps(const Report &r)
{
    if (!r.numeric || r.v != std::trunc(r.v) || r.v < std::numeric_limits<int32_t>::min()
        || r.v > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return r.v;
}

std::optional<int32_t> Wrap(const Report &r)
{
    return r.numeric ? std::optional<int32_t>(vb::CLng(r.v)) : std::nullopt;
}

std::optional<int32_t> Power(const Report &r)
{
    if (!r.numeric || r.v < 0)
        return std::nullopt;
    return r.v > 100 ? 100 : vb::CLng(r.v);
}

bool Flag(const Report &r)
{
    return vb::Val(r.text) != 0;
}

std::optional<int16_t> RecallCode(const Report &r)
{
    if (!r.numeric)
        return std::nullopt;
    if (std::fmod(r.v, 2.0) == 0)
        return int16_t(0);
    return int16_t(r.v >= 8 ? 8 : 4);
}

std::optional<float> TempCompScale(const Report &r)
{
    return r.numeric ? std::optional<float>(vb::CSng(r.v / 100000)) : std::nullopt;
}

std::optional<float> TempCompCoefficient(const Report &r, float slope)
{
    if (!r.numeric || slope == 0)
        return std::nullopt;
    return vb::CSng(r.v / slope / 1000);
}

} // namespace ReportValue
