#pragma once

#include <QDialog>
#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;
class UpDown;

// "Data Logging Setup": the channels, the sampling interval and the file. Start Log writes
// the header, starts the log timer and closes the window; logging then runs on its own
// until it is stopped.
class frmLog : public QDialog
{
    Q_OBJECT

public:
    explicit frmLog(QWidget *parent = nullptr);

    QLineEdit *txtInterval = nullptr;
    UpDown *UpDown1 = nullptr;
    QLineEdit *txtFileName = nullptr;
    QPushButton *cmdBrowse = nullptr;
    std::array<QCheckBox *, 7> channelBoxes{}; // chkAmbient ... chkFocusTemp, in log order
    QPushButton *cmdStart = nullptr;
    QPushButton *cmdCancel = nullptr;

    void cmdBrowse_Click();
    void cmdStart_Click();
    void cmdCancel_Click();

    // Digits, "." and backspace pass; other keys are dropped.
    static bool txtInterval_KeyPress(QChar key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
