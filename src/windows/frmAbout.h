#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The About window: the program version, the maker and controller names and the firmware
// version the controller last reported.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget *parent = nullptr);

    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblFirmware = nullptr;
    QFrame *Line1 = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;

    void cmdOK_Click();
    void cmdSysInfo_Click();

    // Shows the one About window modeless, created on first use.
    static void showWindow();

private:
    void Form_Load();
    static void StartSysInfo();
};
