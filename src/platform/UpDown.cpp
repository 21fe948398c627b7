#include "platform/UpDown.h"

#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <algorithm>
#include <cmath>

UpDown::UpDown(QWidget *parent) : QSpinBox(parent)
{
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    // Nothing may be typed into the hidden number; the keys still reach the arrows.
    lineEdit()->setReadOnly(true);
    lineEdit()->setContextMenuPolicy(Qt::NoContextMenu);
    setContextMenuPolicy(Qt::NoContextMenu);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void UpDown::setBuddy(QLineEdit *box)
{
    m_buddy = box;
}

void UpDown::takeBuddyNumber()
{
    if (!m_buddy)
        return;
    bool ok = false;
    const double typed = m_buddy->text().trimmed().toDouble(&ok);
    if (ok && std::isfinite(typed)) { // "nan" and "inf" read as numbers too
        const QSignalBlocker quiet(this);
        setValue(qRound(std::clamp(typed, double(minimum()), double(maximum()))));
    }
}

void UpDown::stepBy(int steps)
{
    takeBuddyNumber();
    QSpinBox::stepBy(steps);
}

QSize UpDown::sizeHint() const
{
    QStyleOptionSpinBox opt;
    initStyleOption(&opt);
    opt.rect = QRect(0, 0, 200, QSpinBox::sizeHint().height());
    const QRect up = style()->subControlRect(QStyle::CC_SpinBox, &opt, QStyle::SC_SpinBoxUp, this);
    // The arrows and the frame to their right, mirrored on the left.
    const int width = up.width() + 2 * (opt.rect.right() - up.right()) + 2;
    return {width, opt.rect.height()};
}

QSize UpDown::minimumSizeHint() const
{
    return sizeHint();
}

QString UpDown::textFromValue(int) const
{
    return {};
}

int UpDown::valueFromText(const QString &) const
{
    return value();
}

QValidator::State UpDown::validate(QString &, int &) const
{
    return QValidator::Acceptable;
}
