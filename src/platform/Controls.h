#pragma once

#include <QHBoxLayout>
#include <QString>
#include <QWidget>
#include <initializer_list>
#include <utility>

// A control of the window `form`, created under its name (its objectName); `args` go to the
// control's constructor before the parent: NewControl<QLabel>(this, "Label1", caption).
template <typename W, typename... Args>
W *NewControl(QWidget *form, const char *name, Args &&...args)
{
    auto *control = new W(std::forward<Args>(args)..., form);
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

// The row of a dialog's buttons, at its right edge.
inline QHBoxLayout *ButtonRow(std::initializer_list<QWidget *> buttons)
{
    auto *row = new QHBoxLayout;
    row->addStretch();
    for (QWidget *button : buttons)
        row->addWidget(button);
    return row;
}
