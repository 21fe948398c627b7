#pragma once

#include <QPointer>
#include <QString>

#include <QComboBox>

// A list box as code outside its window uses it: entries by index (0 and up), the selected
// index (-1: none). Adding, renaming and removing entries runs no handler; setting the
// selected index runs the list's click handler as an operator's choice would.
class ListControl
{
public:
    virtual ~ListControl() = default;
    virtual int ListCount() const = 0;
    virtual QString List(int index) const = 0;
    virtual void setList(int index, const QString &text) = 0;
    // Appends when `index` is -1, else inserts before `index`.
    virtual void AddItem(const QString &text, int index = -1) = 0;
    virtual void RemoveItem(int index) = 0;
    virtual int ListIndex() const = 0;
    virtual void setListIndex(int index) = 0;
};

// The list of a combo box whose click handler is wired to `activated`.
class ComboBoxList final : public ListControl
{
public:
    explicit ComboBoxList(QComboBox *box) : m_box(box) {}

    int ListCount() const override;
    QString List(int index) const override;
    void setList(int index, const QString &text) override;
    void AddItem(const QString &text, int index = -1) override;
    void RemoveItem(int index) override;
    int ListIndex() const override;
    void setListIndex(int index) override;

private:
    QPointer<QComboBox> m_box;
};
