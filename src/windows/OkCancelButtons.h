#pragma once

#include <QHBoxLayout>
#include <QPushButton>

// The "OK" and "Cancel" buttons of the small prompt windows, named cmdOK and cmdCancel,
// side by side in the returned row.
inline QHBoxLayout *okCancelButtons(QWidget *window, QPushButton *&ok, QPushButton *&cancel)
{
    ok = new QPushButton(QStringLiteral("OK"), window);
    ok->setObjectName(QStringLiteral("cmdOK"));
    cancel = new QPushButton(QStringLiteral("Cancel"), window);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    auto *row = new QHBoxLayout;
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}
