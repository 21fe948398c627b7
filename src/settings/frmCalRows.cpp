// The options window's rows as its controls hold them: what each sends, saves and takes
// from a file, by the one description of OptionRows.
#include "settings/frmCal.h"

#include "link/ModuleState.h"
#include "platform/Vb.h"
#include "platform/VbError.h"
#include "settings/OptionRows.h"
#include "settings/SettingsReadBack.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <array>

using K = RowKind;

namespace {

QString command(const OptionRow &row, const QString &argument)
{
    return QLatin1String(row.letter) + argument + QLatin1Char(' ');
}

bool textKind(RowKind kind)
{
    return kind == K::ServoText || kind == K::FixedPoint || kind == K::Hundredths || kind == K::HeaterText
           || kind == K::Coefficient || kind == K::StepSize;
}

} // namespace

QLineEdit *frmCal::rowBox(const OptionRow &row) const
{
    const char *name = row.box ? row.box : textKind(row.kind) ? row.control : nullptr;
    return name ? findChild<QLineEdit *>(QString::fromLatin1(name)) : nullptr;
}

QString frmCal::rowText(const OptionRow &row) const
{
    if (const QLineEdit *box = rowBox(row))
        return box->text();
    if (row.kind == K::FanMode)
        return QString::number(fanMode());
    if (const auto *check = findChild<QCheckBox *>(QString::fromLatin1(row.control)))
        return QString::number(CheckValue(check));
    if (const auto *spin = findChild<UpDown *>(QString::fromLatin1(row.control)))
        return QString::number(spin->value());
    return QString();
}

int frmCal::fanMode() const
{
    return optIntFan[0]->isChecked() ? 0 : optIntFan[1]->isChecked() ? 1 : 2;
}

frmCal::RowCommand frmCal::rowCommand(const OptionRow &row) const
{
    RowCommand out;
    if (!row.letter)
        return out;
    const QString text = rowText(row);
    const auto refuse = [&](const QString &why) {
        out.refusal = QStringLiteral("The %1 \"%2\" %3; nothing was uploaded.").arg(QLatin1String(row.name), text, why);
        return out;
    };
    const std::optional<double> number = vb::StrictNumber(text);
    // An emptied box stays as it was sent before: the bare letter, 0, or nothing.
    const bool empty = text.isEmpty();
    if (rowBox(row) && !empty && !number && row.kind != K::FixedPoint)
        return refuse(QStringLiteral("is no number"));
    try {
        switch (row.kind) {
        case K::FanMode:
            out.text = QString::fromLatin1(std::array{"{0 ", "{255 ", "}255 "}[fanMode()]);
            break;
        case K::Spinner:
        case K::Deadband: {
            auto *spin = findChild<UpDown *>(QString::fromLatin1(row.control));
            if (row.kind == K::Deadband && empty)
                out.text = command(row, QString());
            else {
                if (!empty) {
                    // A typed number is refused beyond the spinner's range, as one from a file is.
                    if (!takesFileValue(row, text))
                        return refuse(QStringLiteral("is outside %1 to %2").arg(spin->minimum()).arg(spin->maximum()));
                    spin->takeBuddyNumber(); // the number typed or loaded, as the spinner takes it
                }
                out.text = command(row, QString::number(spin->value()));
            }
            break;
        }
        case K::ServoText:
        case K::HeaterText:
            if (!empty || row.kind == K::ServoText)
                out.text = command(row, text);
            out.servo = row.kind == K::ServoText;
            break;
        case K::FixedPoint: {
            // The controller's own value while the box shows what it reported.
            const std::optional<QString> reported = m_readBack->source(QString::fromLatin1(row.control), text);
            if (reported)
                out.text = command(row, QString::number(OptionRows::fixedPoint(vb::Val(*reported))));
            else if (empty)
                out.text = command(row, QStringLiteral("0"));
            else if (!number)
                return refuse(QStringLiteral("is no number"));
            else
                out.text = command(row, QString::number(OptionRows::fixedPoint(*number * row.scale)));
            break;
        }
        case K::Hundredths:
            if (!empty)
                out.text = command(row, QString::number(OptionRows::hundredths(*number)));
            break;
        case K::Flag:
            out.text = QStringLiteral(" %1%2 ")
                           .arg(QLatin1String(row.letter))
                           .arg(findChild<QCheckBox *>(QString::fromLatin1(row.control))->checkState() == Qt::Unchecked ? 0 : 255);
            break;
        default:
            break;
        }
    } catch (const VbError &) { // beyond a Long
        return refuse(QStringLiteral("is beyond what the controller takes"));
    }
    return out;
}

Variant frmCal::savedValue(const OptionRow &row) const
{
    const QLineEdit *box = rowBox(row);
    switch (row.kind) {
    case K::FanMode:
        return int16_t(fanMode());
    case K::Flag:
    case K::CheckBox:
    case K::Option:
        return int16_t(CheckValue(findChild<QCheckBox *>(QString::fromLatin1(row.control))));
    case K::StoredOption:
        return Module().settings.CheckTelescope ? QStringLiteral("1") : QStringLiteral("0");
    case K::Deadband:
        return vb::Val(box->text());
    case K::Spinner:
        if (!box)
            return int32_t(findChild<UpDown *>(QString::fromLatin1(row.control))->value());
        return box->text();
    case K::FixedPoint: {
        // The controller's value exactly, not the digits the box shows of it.
        const std::optional<QString> reported = m_readBack->source(QString::fromLatin1(row.control), box->text());
        return reported ? OptionRows::exactFixedPoint(OptionRows::fixedPoint(vb::Val(*reported))) : box->text();
    }
    default:
        return box->text();
    }
}

bool frmCal::takesFileValue(const OptionRow &row, const QString &value) const
{
    const std::optional<double> number = vb::StrictNumber(value);
    if (!number)
        return false;
    const double v = *number;
    try {
        switch (row.kind) {
        case K::FanMode:
            return !(v >= 0 && v < 3 && vb::CInt(v) > 2);
        case K::Spinner:
        case K::Deadband: {
            const auto *spin = findChild<UpDown *>(QString::fromLatin1(row.control));
            const int n = vb::CInt(v);
            return n >= spin->minimum() && n <= spin->maximum();
        }
        case K::Flag:
        case K::CheckBox: {
            const int n = vb::CInt(v);
            return n >= 0 && n <= 2;
        }
        case K::FixedPoint:
            OptionRows::fixedPoint(v * row.scale);
            return true;
        case K::Hundredths:
            OptionRows::hundredths(v);
            return true;
        case K::StepSize:
            return OptionRows::stepSize(value).has_value();
        default:
            return true;
        }
    } catch (const VbError &) {
        return false;
    }
}

bool frmCal::applyFileValue(const OptionRow &row, const QString &value)
{
    const double v = *vb::StrictNumber(value);
    const QString control = QString::fromLatin1(row.control);
    QLineEdit *box = rowBox(row);
    switch (row.kind) {
    case K::FanMode:
        if (!(v >= 0 && v < 3))
            return false;
        optIntFan[vb::CInt(v)]->setChecked(true);
        break;
    case K::Spinner:
    case K::Deadband:
        if (box)
            box->setText(value);
        m_readBack->setValue(control, vb::CInt(v));
        break;
    case K::Flag:
    case K::CheckBox:
        SetCheckValue(findChild<QCheckBox *>(control), vb::CInt(v));
        break;
    case K::Option:
    case K::StoredOption:
        if (row.kind == K::StoredOption)
            Module().settings.CheckTelescope = v == 1;
        if (!(v >= 0 && v <= 1))
            return false;
        SetCheckValue(findChild<QCheckBox *>(control), vb::CInt(v));
        break;
    case K::FixedPoint: {
        // Shown as the controller's value would be, which the upload and a save send exactly.
        const int32_t count = OptionRows::fixedPoint(v * row.scale);
        m_readBack->setShownValue(control, OptionRows::shownFixedPoint(row, count), QString::number(count));
        break;
    }
    default:
        box->setText(value);
        break;
    }
    return true;
}
