#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

// Controls of a window addressed by their names, for code that cannot see the window
// itself ("txtKP", "lblTemp_5", "UpDown3_2"). Each call throws VbError when the control
// is missing or cannot hold the value, as a failing property write does.
class ControlSink
{
public:
    virtual ~ControlSink() = default;
    // A text box's text or a label's caption.
    virtual void setText(const QString &name, const QString &text) = 0;
    // A text box showing `text`, a value converted for display from `source`; a window that
    // sends the value back can send `source` while the box still shows `text`.
    virtual void setShownValue(const QString &name, const QString &text, const QString &source)
    {
        (void)source;
        setText(name, text);
    }
    virtual void setChecked(const QString &name, bool checked) = 0;
    // Selects one option button of a group.
    virtual void selectOption(const QString &name) = 0;
    // A spinner's value; outside its range throws.
    virtual void setValue(const QString &name, int value) = 0;
    virtual void setListIndex(const QString &name, int index) = 0;
    virtual int listIndex(const QString &name) const = 0;
};

// The sink of a real window: its child widgets found by objectName.
class NamedControls final : public ControlSink
{
public:
    explicit NamedControls(QWidget *form) : m_form(form) {}

    void setText(const QString &name, const QString &text) override;
    void setChecked(const QString &name, bool checked) override;
    void selectOption(const QString &name) override;
    void setValue(const QString &name, int value) override;
    void setListIndex(const QString &name, int index) override;
    int listIndex(const QString &name) const override;

private:
    template <typename W>
    W *find(const QString &name) const;

    QPointer<QWidget> m_form;
};
