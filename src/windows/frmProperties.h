#pragma once

#include "platform/RegistryStore.h"

#include "platform/OkCancelDialog.h"

class QComboBox;
class QLabel;
class QPushButton;

// "CommPort Properties": the serial port of the controller link. OK applies a changed port
// to the shared link at once (closing and reopening it when it was open) and then stores it
// as "PORT" in the driver key; a port that does not open, or a store that fails, is named in
// a box, leaves the link and the stored port as they were and keeps the window open.
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
};
