#pragma once

#include "platform/NamedControls.h"

#include <QHash>
#include <QScopeGuard>
#include <QString>
#include <functional>
#include <optional>

// The options window's controls as the program writes them: the main window's parser by
// name, and the window itself for a reset or a file. While a write runs, the controls' change
// signals are the program's and mark nothing. A box that shows a value converted for display
// remembers the controller's own value behind it. A report never overwrites what the operator
// changed and has not uploaded; the window's own writes (a file) do.
class SettingsReadBack final : public ControlSink
{
public:
    explicit SettingsReadBack(QWidget *form) : m_named(form) {}

    void setText(const QString &name, const QString &text) override;
    void setShownValue(const QString &name, const QString &text, const QString &source) override;
    void setChecked(const QString &name, bool checked) override;
    void selectOption(const QString &name) override;
    void setValue(const QString &name, int value) override;
    void setListIndex(const QString &name, int index) override;
    int listIndex(const QString &name) const override;

    // Runs after each spinner or list write of the program, also one that left the value as
    // it was, so that what shows the value shows the one written.
    std::function<void(const QString &name)> valueWritten;
    // Whether control `name` holds the operator's change, which a report leaves as it is.
    std::function<bool(const QString &name)> keptByOperator;
    // Runs after a report was written into control `name`.
    std::function<void(const QString &name)> reportWritten;

    // True while the program writes a control.
    bool writing() const { return m_writes > 0; }

    // Runs `write` as one of the program's writes.
    template <typename Write>
    void asProgram(Write &&write)
    {
        const Writing held(*this);
        write();
    }

    // Runs `write` as the window's own writes, which put what they hold into any control.
    template <typename Write>
    void asWindow(Write &&write)
    {
        ++m_windowWrites;
        const auto done = qScopeGuard([this] { --m_windowWrites; });
        write();
    }

    // The controller's value behind box `name` while it still shows `text`.
    std::optional<QString> source(const QString &name, const QString &text) const;
    void forgetSources() { m_sources.clear(); }

private:
    struct Writing
    {
        explicit Writing(SettingsReadBack &sink) : m_sink(sink) { ++m_sink.m_writes; }
        ~Writing() { --m_sink.m_writes; }
        SettingsReadBack &m_sink;
    };

    struct Shown
    {
        QString text;
        QString source;
    };

    // Writes through `write` unless the report is kept out of `name`.
    template <typename Write>
    void report(const QString &name, Write &&write);

    NamedControls m_named;
    QHash<QString, Shown> m_sources;
    int m_writes = 0;
    int m_windowWrites = 0;
};
