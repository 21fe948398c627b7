#include "platform/OkCancelDialog.h"

#include "platform/Controls.h"

#include <QPushButton>

OkCancelDialog::OkCancelDialog(QWidget *parent) : QDialog(parent)
{
    cmdOK = NewControl<QPushButton>(this, "cmdOK", QStringLiteral("OK"));
    cmdCancel = NewControl<QPushButton>(this, "cmdCancel", QStringLiteral("Cancel"));
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

QHBoxLayout *OkCancelDialog::buttonRow() const
{
    return ButtonRow({cmdOK, cmdCancel});
}
