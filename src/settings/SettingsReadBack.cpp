#include "settings/SettingsReadBack.h"

void SettingsReadBack::setText(const QString &name, const QString &text)
{
    asProgram([&] { m_named.setText(name, text); });
}

void SettingsReadBack::setShownValue(const QString &name, const QString &text, const QString &source)
{
    setText(name, text);
    m_sources.insert(name, {text, source});
}

void SettingsReadBack::setChecked(const QString &name, bool checked)
{
    asProgram([&] { m_named.setChecked(name, checked); });
}

void SettingsReadBack::selectOption(const QString &name)
{
    asProgram([&] { m_named.selectOption(name); });
}

void SettingsReadBack::setValue(const QString &name, int value)
{
    asProgram([&] { m_named.setValue(name, value); });
    if (valueWritten)
        valueWritten(name);
}

void SettingsReadBack::setListIndex(const QString &name, int index)
{
    asProgram([&] { m_named.setListIndex(name, index); });
    if (valueWritten)
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
