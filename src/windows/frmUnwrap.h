#pragma once

#include "platform/OkCancelDialog.h"

class QPushButton;
class QRadioButton;

// "Unwrap ZEL": full unwrap or by 360 degrees. The answer goes to UnwrapChoice: 0 cancelled
// (also when closed by the title bar), 1 full unwrap, 2 by 360 degrees.
class frmUnwrap : public OkCancelDialog
{
    Q_OBJECT

public:
    explicit frmUnwrap(QWidget *parent = nullptr);

    QRadioButton *Option1 = nullptr;
    QRadioButton *Option2 = nullptr;

    void cmdOK_Click() override;
    void cmdCancel_Click() override;

    // Shows a fresh window modally and returns UnwrapChoice.
    static int16_t ask(QWidget *parent = nullptr);

};
