#include "alignment/TheSkyPrompt.h"

#include "platform/Controls.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TheSkyPrompt::TheSkyPrompt(const char *name, const QString &caption, QWidget *parent)
    : QDialog(parent), m_layout(new QVBoxLayout(this))
{
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(caption);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(true);
}

QLabel *TheSkyPrompt::addText(const QString &text)
{
    auto *label = NewControl<QLabel>(this, "Label1", text);
    label->setWordWrap(true);
    m_layout->addWidget(label);
    return label;
}

QPushButton *TheSkyPrompt::addChoice(const char *name, const QString &caption, std::function<void()> click)
{
    auto *button = NewControl<QPushButton>(this, name, caption);
    m_layout->addWidget(button);
    connect(button, &QPushButton::clicked, this, std::move(click));
    return button;
}
