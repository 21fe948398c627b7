#include "settings/OptionRows.h"

#include "platform/NamedControls.h"
#include "platform/Vb.h"
#include "platform/VbError.h"

#include <cmath>

namespace OptionRows {

namespace {

using K = RowKind;

const std::vector<OptionRow> rows = {
    {12, "TAmbS", "txtAmbSlope", nullptr, K::Coefficient, nullptr, nullptr, "0.00000", 1, "ambient slope"},
    {13, "TAmbI", "txtAmbIntercept", nullptr, K::Coefficient, nullptr, nullptr, "0.00000", 1, "ambient intercept"},
    {14, "TPrimS", "txtPrimSlope", nullptr, K::Coefficient, nullptr, ":sl2", "0.00000", 1, "primary slope"},
    {15, "TPrimI", "txtPrimIntercept", nullptr, K::Coefficient, nullptr, ":of2", "0.00000", 1, "primary intercept"},
    {16, "TSecS", "txtSecSlope", nullptr, K::Coefficient, nullptr, ":sl3", "0.00000", 1, "secondary slope"},
    {17, "TSecI", "txtSecIntercept", nullptr, K::Coefficient, nullptr, ":of3", "0.00000", 1, "secondary intercept"},
    {18, "TElectS", "txtElectSlope", nullptr, K::Coefficient, nullptr, ":sl4", "0.00000", 1, "electronics slope"},
    {19, "TElectI", "txtElectIntercept", nullptr, K::Coefficient, nullptr, ":of4", "0.00000", 1, "electronics intercept"},
    {0, "IFMode", "optIntFan", nullptr, K::FanMode, "", ":ifo :ifa", nullptr, 1, "cooling-fan mode"},
    {1, "IFSet", "udIntFanSet", "txtIntFanSet", K::Spinner, "[", ":ifs", nullptr, 1, "fan set point"},
    {2, "IFHyst", "udIntFanHyst", "txtintfanhyst", K::Spinner, "]", ":ifh", nullptr, 1, "fan hysteresis"},
    {3, "CFThreshold", "UpDown1", "txtFanThreshold", K::Spinner, "@", ":fo", nullptr, 1, "fan threshold"},
    {4, "CFPulse", "UpDown2", "txtFanPulsePower", K::Spinner, "z", ":fp", nullptr, 1, "fan pulse power"},
    {5, "Kp", "txtKP", nullptr, K::ServoText, "p", ":p", nullptr, 1, "servo proportional"},
    {6, "Kd", "txtKd", nullptr, K::ServoText, "d", ":r", nullptr, 1, "servo derivative"},
    {7, "Deriv", "txtDeriv", nullptr, K::ServoText, "e", ":g", nullptr, 1, "servo derivative interval"},
    {8, "Ki", "txtki", nullptr, K::ServoText, "i", ":i", nullptr, 1, "servo integral"},
    {9, "il", "txtil", nullptr, K::ServoText, "j", ":l", nullptr, 1, "servo integral limit"},
    {10, "Velocity", "txtVelocity", nullptr, K::FixedPoint, "v", ":v", nullptr, 65536, "velocity"},
    {11, "Acc", "txtAcc", nullptr, K::FixedPoint, "a", ":c", "0.0000", 65536, "acceleration"},
    {20, "OverCurrent", "chkAutoCurrent", nullptr, K::Flag, "N", ":ac", nullptr, 1, "overcurrent shut-off"},
    {22, "StopDeadband", "chkDeadband", nullptr, K::Flag, "X", ":dbs", nullptr, 1, "motor off within deadband"},
    {23, "Deadband", "udDeadband", "txtDeadband", K::Deadband, "Y", ":db", nullptr, 1, "deadband"},
    {24, "DeadbandTime", "udDBSettle", nullptr, K::Spinner, "W", ":dbt", nullptr, 1, "deadband settling time"},
    {-1, "ErrorComputer", "chkErrorComputer", nullptr, K::CheckBox, nullptr, nullptr, nullptr, 1, "error messages on computer"},
    {21, "errorVKM", "chkErrorHandheld", nullptr, K::Flag, "K", ":eh", nullptr, 1, "error messages on hand controller"},
    {25, "sKp", "txtSKp", nullptr, K::Hundredths, "L", ":skp", nullptr, 100, "heater proportional"},
    {26, "sKd", "txtSKd", nullptr, K::Hundredths, "^", ":skd", nullptr, 100, "heater derivative"},
    {28, "sKi", "txtSKi", nullptr, K::Hundredths, "#", ":ski", nullptr, 100, "heater integral"},
    {27, "sdi", "txtSDI", nullptr, K::HeaterText, "?", ":sdi", nullptr, 1, "heater derivative interval"},
    {29, "sil", "txtSecKi", nullptr, K::HeaterText, "~", ":sil", nullptr, 1, "heater integral limit"},
    {33, "CheckTelescope", "chkTeleEastWest", nullptr, K::StoredOption, nullptr, nullptr, nullptr, 1, "check telescope East/West"},
    {34, "PromptTheSky", "chkPromptTheSky", nullptr, K::Option, nullptr, nullptr, nullptr, 1, "prompt for TheSky rotation"},
    {30, "StepSize", "txtStepSize", nullptr, K::StepSize, nullptr, nullptr, nullptr, 1, "focuser step size"},
};

bool reportsOf(const OptionRow &row, const QString &code)
{
    return row.reports && QString::fromLatin1(row.reports).split(u' ').contains(code);
}

// The number shown for the controller's value: CStr, or the row's format.
QString shown(const OptionRow &row, double value)
{
    return row.format ? vb::Format(value, QString::fromLatin1(row.format)) : vb::CStr(value);
}

} // namespace

const std::vector<OptionRow> &all()
{
    return rows;
}

const OptionRow *byEntry(int entry)
{
    for (const OptionRow &row : rows)
        if (row.entry == entry)
            return &row;
    return nullptr;
}

const OptionRow *byKey(const QString &key)
{
    for (const OptionRow &row : rows)
        if (key == QLatin1String(row.key))
            return &row;
    return nullptr;
}

const OptionRow *byControl(const QString &name)
{
    for (const OptionRow &row : rows) {
        const QLatin1String control(row.control);
        if (name == control || (row.box && name == QLatin1String(row.box))
            || (row.kind == K::FanMode && name.startsWith(control + QLatin1Char('_'))))
            return &row;
    }
    return nullptr;
}

bool readBack(const QString &code, const QString &text, ControlSink &sink)
{
    const OptionRow *found = nullptr;
    for (const OptionRow &row : rows)
        if (reportsOf(row, code))
            found = &row;
    if (!found)
        return false;
    const OptionRow &row = *found;
    const QString control = QString::fromLatin1(row.control);
    if (row.kind == K::ServoText) { // as received, whatever it is
        sink.setText(control, text);
        return true;
    }
    if (!vb::IsNumeric(text))
        return false;
    const double value = vb::Val(text);
    switch (row.kind) {
    case K::FanMode:
        if (code == QLatin1String(":ifo"))
            sink.selectOption(control + (value != 0 ? QStringLiteral("_1") : QStringLiteral("_0")));
        else if (value != 0)
            sink.selectOption(control + QStringLiteral("_2"));
        return true;
    case K::Spinner:
    case K::Deadband:
        if (value < 0)
            return false;
        sink.setValue(control, vb::CLng(value)); // beyond the spinner's range throws
        return true;
    case K::Flag:
        sink.setChecked(control, value != 0);
        return true;
    case K::FixedPoint:
        sink.setShownValue(control, shownFixedPoint(row, value), text);
        return true;
    case K::Hundredths:
    case K::Coefficient:
        sink.setText(control, shown(row, value / row.scale));
        return true;
    case K::HeaterText:
        sink.setText(control, text);
        return true;
    default:
        return false;
    }
}

QString shownFixedPoint(const OptionRow &row, double count)
{
    return shown(row, count / row.scale);
}

int32_t fixedPoint(double value)
{
    // The shown text has 15 digits: its product lands a hair off the controller's whole number.
    const int32_t nearest = vb::CLng(value);
    return std::abs(value - nearest) <= 1e-6 ? nearest : vb::CLng(vb::Int(value));
}

int32_t hundredths(double value)
{
    return vb::CLng(value * 100);
}

QString exactFixedPoint(int32_t count)
{
    // count / 65536 has at most 16 decimals, all of which 'f' writes exactly.
    QString text = QString::number(double(count) / 65536, 'f', 16);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

std::optional<float> stepSize(const QString &text)
{
    const std::optional<double> number = vb::StrictNumber(text);
    try {
        if (number && vb::CSng(*number) > 0)
            return vb::CSng(*number);
    } catch (const VbError &) { // beyond a Single
    }
    return std::nullopt;
}

} // namespace OptionRows
