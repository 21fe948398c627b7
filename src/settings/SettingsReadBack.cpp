#include "settings/SettingsReadBack.h"

template <typename Write>
void SettingsReadBack::report(const QString &name, Write &&write)
{
    const bool fromReport = m_windowWrites == 0;
    if (fromReport && keptByOperator && keptByOperator(name))
        return;
    asProgram(write);
    if (fromReport && reportWritten)
        reportWritten(name);
}

void SettingsReadBack::setText(const QString &name, const QString &text)
{
    report(name, [&] { m_named.setText(name, text); });
}

void SettingsReadBack::setShownValue(const QString &name, const QString &text, const QString &source)
{
    if (m_windowWrites == 0 && keptByOperator && keptByOperator(name))
        return;
    setText(name, text);
    m_sources.insert(name, {text, source});
}

void SettingsReadBack::setChecked(const QString &name, bool checked)
{
    report(name, [&] { m_named.setChecked(name, checked); });
}

void SettingsReadBack::selectOption(const QString &name)
{
    report(name, [&] { m_named.selectOption(name); });
}

void SettingsReadBack::setValue(const QString &name, int value)
{
    bool written = false;
    report(name, [&] { m_named.setValue(name, value), written = true; });
    if (written && valueWritten)
        valueWritten(name);
}

void SettingsReadBack::setListIndex(const QString &name, int index)
{
    bool written = false;
    report(name, [&] { m_named.setListIndex(name, index), written = true; });
    if (written && valueWritten)
        valueWritten(name);
}

int SettingsReadBack::listIndex(const QString &name) const
{
    return m_named.listIndex(name);
}

std::optional<QString> SettingsReadBack::source(const QString &name, const QString &text) const
{
    const auto found = m_sources.constFind(name);
    if (found == m_sources.constEnd() || found->text != text)
        return std::nullopt;
    return found->source;
}
