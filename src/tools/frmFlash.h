#pragma once

#include "tools/FirmwareUpload.h"

#include <QDialog>
#include <cstdint>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// "Firmware Update Wizard": six pages (welcome, choose file, confirm, upload, success,
// error). Entering the upload page runs the boot-loader exchange; it ends on the success or
// the error page, from which only Finish (or closing) leads on. Modeless, one instance.
class frmFlash : public QDialog, private FirmwareUploadView
{
    Q_OBJECT

public:
    enum Page : int16_t { Welcome, ChooseFile, Confirm, Upload, Succeeded, Failed };

    explicit frmFlash(QWidget *parent = nullptr);

    // Shows the one wizard modeless, created (and loaded) on first use.
    static frmFlash *showWindow();

    QLabel *lblStep = nullptr;
    QLabel *lblInstructions = nullptr;
    QLineEdit *txtFileName = nullptr;
    QPushButton *cmdBrowse = nullptr;
    QProgressBar *ProgBar1 = nullptr;
    QPushButton *cmdBack = nullptr;
    QPushButton *cmdNext = nullptr;
    QPushButton *cmdFinish = nullptr;
    QPushButton *cmdCancel = nullptr;

    int16_t CurrentStep = Welcome;
    int16_t UploadErrorCode = 0;
    FirmwareUpload::Timings Timings; // the exchange's waits

    // Moves the wizard `step` pages on (back when negative) and lays out the new page.
    void ChangeStep(int16_t step);

    void cmdNext_Click();
    void cmdBack_Click();
    void cmdFinish_Click();
    void cmdCancel_Click();
    void cmdBrowse_Click();
    void txtFileName_Change();

    // Escape closes the window as its title bar does.
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // The error page's text for `code` 1 to 6; empty for any other.
    static QString ErrorText(int16_t code);

    void Form_Load();
    void Form_Unload();
    void layOutPage();
    void runUpload();
    void setStatus(const QString &text) override;
    void setProgress(int percent) override;
    void redraw() override;

    bool m_uploading = false; // the close of the window is ignored meanwhile
    bool m_unloaded = false;
};
