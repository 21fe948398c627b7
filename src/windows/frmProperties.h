#pragma once

#include "platform/RegistryStore.h"

#include "platform/OkCancelDialog.h"

class QComboBox;
class QLabel;
class QPushButton;

// "CommPort Properties": the serial port of the controller link. OK applies a changed port
// to the shared link at once (closing and reopening it when it was open) and stores it as
// "PORT" in the driver key.
class frmProperties : public OkCancelDialog
{
    Q_OBJECT

public:
    explicit frmProperties(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QComboBox *cboPort = nullptr;

    void cmdOK_Click() override;

    // Shows a fresh window modally and returns when it closes.
    static void showModal(QWidget *parent = nullptr);

protected:
    // Writes "PORT" into the driver key, creating the key when missing; 0 on success.
    virtual LSTATUS storePortNumber(int16_t port);

private:
    void Form_Load();
    void LoadPropertySettings();
    // Puts the shared link on `port`, reopening it when it was open. Throws the link's
    // refusal to close, which leaves it as it was.
    static void movePort(int16_t port);
};
