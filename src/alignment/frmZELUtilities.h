#pragma once

#include "alignment/AlignmentRun.h"
#include "alignment/AlignmentSettings.h"

#include <QDialog>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;

// "ZEL Utilities": the alignment tools' settings, their run log and the runs themselves.
// The ten settings are loaded from the driver key when the window loads and stored when it
// unloads. A run disables the run buttons until it ends; closing the window during a run
// aborts it, and the window closes once the run has ended.
class frmZELUtilities : public QDialog, private RunLog
{
    Q_OBJECT

public:
    explicit frmZELUtilities(QWidget *parent = nullptr);
    ~frmZELUtilities() override;

    // Shows a fresh window modally and returns when it has closed.
    static void ask(QWidget *parent = nullptr);

    AlignmentSettings Settings;
    bool AbortRequested = false;
    bool IsLoading = false;
    int16_t ImageScaleRepeat = 0, PositionErrRepeat = 0, RotErrRepeat = 0;
    int16_t LastUpDown1 = 0, LastUpDown2 = 0, LastUpDown3 = 0;
    // The settle time after a slew, in milliseconds.
    int BacklashWaitMs = 3000;

    QLineEdit *txtImageScale = nullptr, *txtPositionErr = nullptr, *txtRotErr = nullptr;
    QLineEdit *txtItterations = nullptr, *txtExposureTime = nullptr, *txtCatalogPath = nullptr;
    QSpinBox *UpDown1 = nullptr, *UpDown2 = nullptr, *UpDown3 = nullptr, *UpDown4 = nullptr, *UpDown5 = nullptr;
    QComboBox *cmbImager = nullptr, *cmbCatalog = nullptr;
    QRadioButton *optAstro[2] = {};
    QCheckBox *chkSpiralSearch = nullptr, *chkSlewTele = nullptr;
    QListWidget *lstStatus = nullptr;
    QPushButton *cmdAlignCCD = nullptr, *cmdImageLink = nullptr, *cmdSavedImage = nullptr;
    QPushButton *cmdSynchronize = nullptr, *cmdAbort = nullptr;

    // --- loading and storing ---
    void Form_Load();
    void Form_Unload();

    // --- option handlers ---
    void optAstro_Click();
    void txtCatalogPath_Change();
    void txtExposureTime_Change();
    void txtItterations_Change();
    void chkSpiralSearch_Click();
    void cmbCatalog_Click();
    void cmbImager_Click();
    void UpDown1_Change();
    void UpDown2_Change();
    void UpDown3_Change();

    // --- buttons ---
    void cmdAbort_Click();
    void cmdSynchronize_Click();
    void cmdAlignCCD_Click();
    void cmdImageLink_Click();
    void cmdSavedImage_Click();

    // Runs one procedure inside the run frame: the run buttons held disabled, the start and
    // end lines, and the normal, aborted and error tails. `body` does the procedure's steps.
    struct RunKind
    {
        QString name;    // "ALIGN CAMERA"
        QString aborted; // "Align Camera Aborted"
        bool enableMaxImLink;
        QString errorPrefix = QStringLiteral("Error:  ");
        bool clearAbortAtEveryEnd = false;
    };
    void RunProcedure(const RunKind &kind, const std::function<void(AlignmentRun &)> &body);
    bool Running() const { return m_running; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void done(int result) override;

private:
    void Log(const QString &line) override;
    void AppendDot() override;
    void enableRunButtons(bool enabled);
    void buildLayout();
    void wireHandlers();
    // Spinner rule: the step grows with the repeats of one press; never below 0.
    // `steps`: for repeats 1 to 10, 11 to 20 and from 21 on.
    void stepSetting(QSpinBox *spinner, int16_t &last, int16_t &repeat, double &setting, QLineEdit *box,
                     const char *pattern, const double (&steps)[3]);

    void alignCamera(AlignmentRun &run);
    void imageLink(AlignmentRun &run);

    bool m_running = false;
    bool m_synchronizeEnabled = true; // as the running run found it
    bool m_closePending = false;
    bool m_unloaded = false;
};
