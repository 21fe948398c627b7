#pragma once

#include <QDialog>

class QHBoxLayout;
class QPushButton;

// A dialog with "OK" and "Cancel" buttons, named cmdOK and cmdCancel and wired to
// cmdOK_Click and cmdCancel_Click. Closing it by the title bar or Escape runs
// cmdCancel_Click, so the Cancel answer is the only way out besides OK.
class OkCancelDialog : public QDialog
{
    Q_OBJECT

public:
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

    virtual void cmdOK_Click() = 0;
    // Closes the dialog with nothing done.
    virtual void cmdCancel_Click() { QDialog::reject(); }

    void reject() override { cmdCancel_Click(); }

protected:
    explicit OkCancelDialog(QWidget *parent = nullptr);

    // The two buttons in a row at the dialog's right edge, for the subclass's layout.
    QHBoxLayout *buttonRow() const;
};
