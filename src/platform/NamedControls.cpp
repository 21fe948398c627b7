#include "platform/NamedControls.h"

#include "platform/VbError.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace {

VbError invalidValue()
{
    return VbError(380, QStringLiteral("Invalid property value"));
}

} // namespace

template <typename W>
W *NamedControls::find(const QString &name) const
{
    W *w = m_form ? m_form->findChild<W *>(name) : nullptr;
    if (!w)
        throw VbError(424, QStringLiteral("Object required"));
    return w;
}

void NamedControls::setText(const QString &name, const QString &text)
{
    QWidget *w = find<QWidget>(name);
    if (auto *label = qobject_cast<QLabel *>(w))
        label->setText(text);
    else if (auto *edit = qobject_cast<QLineEdit *>(w))
        edit->setText(text);
    else if (auto *button = qobject_cast<QAbstractButton *>(w))
        button->setText(text);
    else
        throw VbError(438, QStringLiteral("Object doesn't support this property or method"));
}

void NamedControls::setChecked(const QString &name, bool checked)
{
    find<QAbstractButton>(name)->setChecked(checked);
}

void NamedControls::selectOption(const QString &name)
{
    find<QAbstractButton>(name)->setChecked(true);
}

void NamedControls::setValue(const QString &name, int value)
{
    auto *spin = find<QSpinBox>(name);
    if (value < spin->minimum() || value > spin->maximum())
        throw invalidValue();
    spin->setValue(value);
}

void NamedControls::setListIndex(const QString &name, int index)
{
    auto *combo = find<QComboBox>(name);
    if (index < -1 || index >= combo->count())
        throw invalidValue();
    combo->setCurrentIndex(index);
}

int NamedControls::listIndex(const QString &name) const
{
    return find<QComboBox>(name)->currentIndex();
}
