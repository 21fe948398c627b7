#include "link/FocuserStatus.h"

#include "link/ControllerReports.h"
#include "link/ReportTable.h"
#include "link/Serial.h"
#include "platform/Vb.h"
#include "platform/VbError.h"

namespace FocuserStatus {

const Query Status{QStringLiteral(" Q "), u":a"};
const Query Temperatures{QStringLiteral(" T "), u":t1"};

namespace {

// `code`'s report when it holds now.
const Report *held(const Serial &link, QStringView code)
{
    const ControllerReports &reports = link.Reports();
    const ControllerReports::Value *value = reports.Last(code);
    return value && reports.Holds(code) ? &value->report : nullptr;
}

// The number a command carries after its letter ("+1" -> 1), when it carries one.
std::optional<double> sentNumber(const Serial &link, QChar letter)
{
    const QString command = link.Reports().LastSent(letter);
    const QString argument = command.mid(1);
    if (argument.isEmpty() || !vb::IsNumeric(argument))
        return std::nullopt;
    return vb::CDbl(argument);
}

int16_t mode(double value)
{
    return value == 1 || value == 2 ? int16_t(value) : int16_t(0);
}

} // namespace

bool Ask(const Serial &link, const Query &query, const std::function<bool()> &decided, const Asking &how)
{
    if (decided())
        return true;
    const ControllerReports &reports = link.Reports();
    const QChar letter = query.text.trimmed().front();
    if (!how.send(query.text))
        return false;
    const uint64_t mark = reports.QueriesSent(letter);
    const uint64_t epoch = reports.Epoch();
    const auto answered = [&] {
        const ControllerReports::Value *key = reports.Last(QStringView(query.key));
        return key && key->answers >= mark;
    };
    how.wait(AnswerWaitMs, [&] { return reports.Epoch() != epoch || decided() || answered(); });
    return reports.Epoch() == epoch && (decided() || answered());
}

bool CompensationHolds(const Serial &link)
{
    return held(link, u":tc") != nullptr;
}

int16_t Compensation(const Serial &link)
{
    if (const Report *tc = held(link, u":tc"))
        return tc->text == u"1" ? 1 : tc->text == u"2" ? 2 : 0;
    return mode(sentNumber(link, u'+').value_or(0));
}

bool MotorHolds(const Serial &link)
{
    return held(link, u":mb") != nullptr;
}

bool MotorForcedOff(const Serial &link)
{
    if (const Report *mb = held(link, u":mb"))
        return ReportValue::Flag(*mb);
    return sentNumber(link, u'U').value_or(0) != 0;
}

std::optional<double> Temperature(const Serial &link)
{
    const Report *raw = held(link, u":tca");
    const Report *slope = held(link, u":sl1");
    const Report *offset = held(link, u":of1");
    if (raw && raw->numeric && slope && offset) {
        try {
            const std::optional<float> s = ReportValue::TempCompScale(*slope);
            const std::optional<float> o = ReportValue::TempCompScale(*offset);
            if (s && o)
                return double(vb::CSng(raw->v * *s + *o));
        } catch (const VbError &) { // a calibration no Single holds: the ambient reading tells
        }
    }
    const Report *ambient = held(link, u":t1");
    return ambient ? ReportValue::Temperature(*ambient) : std::nullopt;
}

} // namespace FocuserStatus
