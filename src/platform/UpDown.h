#pragma once

#include <QPointer>
#include <QSpinBox>

class QLineEdit;

// An up-down control: a pair of arrows beside the box or label that shows its value. The
// arrows, the keyboard's arrow keys and the wheel step its value (an internal counter
// read by its handlers); the number itself is never shown. Setting the value from code
// emits valueChanged, as the Change event ran in VB.
class UpDown : public QSpinBox
{
    Q_OBJECT
public:
    explicit UpDown(QWidget *parent = nullptr);

    // A box whose number the arrows step: before each step the counter takes the box's
    // number (rounded, kept within range), so a typed value is stepped from, not overwritten.
    void setBuddy(QLineEdit *box);
    // The counter takes the box's number as a step would, without a change event; a box
    // holding no number leaves it as it is.
    void takeBuddyNumber();

    void stepBy(int steps) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    QString textFromValue(int value) const override;
    int valueFromText(const QString &text) const override;
    QValidator::State validate(QString &text, int &pos) const override;

private:
    QPointer<QLineEdit> m_buddy;
};
