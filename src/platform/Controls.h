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

// Pages shown one at a time in one place each take the size of the largest, so that their
// window keeps one size whichever page is shown.
template <typename Pages>
void SizeOfLargestPage(const Pages &pages)
{
    QSize largest;
    for (QWidget *page : pages)
        largest = largest.expandedTo(page->sizeHint());
    for (QWidget *page : pages)
        page->setMinimumSize(largest);
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
