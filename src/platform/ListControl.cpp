#include "platform/ListControl.h"

#include "platform/VbError.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace {

void checkIndex(const QComboBox *box, int index)
{
    if (!box || index < 0 || index >= box->count())
        throw VbError(381, QStringLiteral("Invalid property array index"));
}

} // namespace

int ComboBoxList::ListCount() const
{
    return m_box ? m_box->count() : 0;
}

QString ComboBoxList::List(int index) const
{
    return m_box ? m_box->itemText(index) : QString();
}

void ComboBoxList::setList(int index, const QString &text)
{
    checkIndex(m_box, index);
    const QSignalBlocker quiet(m_box);
    m_box->setItemText(index, text);
}

void ComboBoxList::AddItem(const QString &text, int index)
{
    if (!m_box)
        return;
    if (index < -1 || index > m_box->count())
        throw VbError(5, QStringLiteral("Invalid procedure call or argument"));
    const QSignalBlocker quiet(m_box);
    m_box->insertItem(index < 0 ? m_box->count() : index, text);
}

void ComboBoxList::RemoveItem(int index)
{
    checkIndex(m_box, index);
    const QSignalBlocker quiet(m_box);
    m_box->removeItem(index);
}

int ComboBoxList::ListIndex() const
{
    return m_box ? m_box->currentIndex() : -1;
}

void ComboBoxList::setListIndex(int index)
{
    if (!m_box)
        return;
    if (index < -1 || index >= m_box->count())
        throw VbError(380, QStringLiteral("Invalid property value"));
    {
        const QSignalBlocker quiet(m_box);
        m_box->setCurrentIndex(index);
    }
    if (index >= 0)
        emit m_box->activated(index);
}
