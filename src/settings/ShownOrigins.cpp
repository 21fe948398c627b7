#include "settings/ShownOrigins.h"

#include "link/Serial.h"

std::optional<double> ShownOrigins::value(const QString &control, double shown, QStringView code,
                                          const std::shared_ptr<Serial> &link) const
{
    if (byOperator(control))
        return shown;
    if (!link || !link->Reports().Holds(code))
        return std::nullopt;
    const Report &report = link->Reports().Last(code)->report;
    if (!report.numeric)
        return std::nullopt;
    return report.v;
}
