#pragma once

#include "platform/UpDown.h"
#include "platform/Variant.h"
#include "platform/VbTimer.h"
#include "settings/ShownOrigins.h"

#include <QString>
#include <QSet>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>
#include <cstdint>
#include <memory>
#include <optional>

class SettingsReadBack;
struct OptionRow;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class Serial;

// "Options": the controller's fan, focus-servo, heater and stepper settings read back into
// the window, edited by the operator, uploaded when marked; a few registry-only options;
// the settings file; and the temperature-sensor calibration with its coefficient file.
// While it is loaded the main window's parser writes the settings reports into its controls
// by name (ControlWindows().SettingsWindow) and the main window's poll rests.
class frmCal : public QWidget
{
    Q_OBJECT

public:
    static constexpr int FlagCount = 39;
    static constexpr int MaxCalPoints = 101;

    explicit frmCal(QWidget *parent = nullptr);
    ~frmCal() override;

    // Loads the window when it is not loaded and shows it modeless.
    void showWindow();
    bool isLoaded() const { return m_loaded; }

    // --- tab "General" ---
    QTabWidget *SSTab1 = nullptr;
    std::array<QRadioButton *, 3> optIntFan{}; // Off, On, Auto
    UpDown *udIntFanSet = nullptr;
    QLineEdit *txtIntFanSet = nullptr;
    UpDown *udIntFanHyst = nullptr;
    QLineEdit *txtintfanhyst = nullptr;
    UpDown *UpDown1 = nullptr; // fan threshold (%)
    QLineEdit *txtFanThreshold = nullptr;
    UpDown *UpDown2 = nullptr; // fan pulse power (%)
    QLineEdit *txtFanPulsePower = nullptr;
    QLineEdit *txtElectSlope = nullptr, *txtElectIntercept = nullptr;
    QLineEdit *txtAmbSlope = nullptr, *txtAmbIntercept = nullptr;
    QLineEdit *txtPrimSlope = nullptr, *txtPrimIntercept = nullptr;
    QLineEdit *txtSecSlope = nullptr, *txtSecIntercept = nullptr;

    // --- tab "Focus" ---
    QLineEdit *txtKP = nullptr, *txtKd = nullptr, *txtDeriv = nullptr, *txtki = nullptr, *txtil = nullptr;
    QLineEdit *txtVelocity = nullptr, *txtAcc = nullptr; // controller value / 65536
    QCheckBox *chkAutoCurrent = nullptr, *chkDeadband = nullptr, *chkErrorHandheld = nullptr;
    UpDown *udDeadband = nullptr;
    QLineEdit *txtDeadband = nullptr;
    UpDown *udDBSettle = nullptr; // twentieths of a second
    QLineEdit *txtDeadbandSettle = nullptr;
    QCheckBox *chkErrorComputer = nullptr;
    QLineEdit *txtStepSize = nullptr;
    QPushButton *cmdCalc = nullptr;

    // --- tab "Sec. Heater/Rotator" ---
    QLineEdit *txtSKp = nullptr, *txtSKd = nullptr, *txtSKi = nullptr; // controller value / 100
    QLineEdit *txtSDI = nullptr, *txtSecKi = nullptr;
    QCheckBox *chkEnableSlew = nullptr, *chkZELLimit = nullptr, *chkPromptTheSky = nullptr, *chkTeleEastWest = nullptr;
    QPushButton *cmdCheckTS = nullptr;
    QComboBox *Combo1 = nullptr; // TheSky's field-of-view indicators

    // --- tab "Steppers" (index k is channel k + 1) ---
    std::array<QComboBox *, 4> cmbStepperMode{};     // General, Primary Cover
    std::array<QComboBox *, 4> cmbStepperStepMode{}; // Full, 1/2, 1/4, 1/8 step
    std::array<UpDown *, 4> UpDown3{};               // current in 1/90 A
    std::array<QLabel *, 4> lblStepCurrent{};
    VbTimer Timer1; // the read-back chain

    // --- calibration ---
    QLineEdit *txtRefTemp = nullptr;
    std::array<QLabel *, 6> lblTemp{}; // raw readings at 5 ambient, 4 primary, 3 secondary
    QLabel *lblCalPoints = nullptr;
    QPushButton *cmdCalMark = nullptr, *cmdCalibrate = nullptr, *cmdCalUpload = nullptr;
    std::array<QLabel *, 3> lblSlope{}, lblInt{};                // as the controller holds them
    QPushButton *cmdRetrieveCoef = nullptr, *cmdSaveCoef = nullptr;
    std::array<QLabel *, 3> lblCalScope{}, lblCalInt{}, lblR2{}; // results of the fit
    QPushButton *cmdLoad = nullptr;

    // --- buttons ---
    QPushButton *cmdUploadVKM = nullptr, *Command1 = nullptr, *cmdSaveFile = nullptr, *cmdRetrieveFile = nullptr;
    QPushButton *cmdClose = nullptr;
    QLabel *lblNotRead = nullptr; // the rows the read-back brought nothing for

    // --- form state ---
    std::array<bool, FlagCount> ChangedFlags{};
    bool IsLoading = false;
    bool SkipUploadPrompt = false;
    double CalPoints[4][MaxCalPoints] = {}; // raw ambient, primary, secondary; reference
    int16_t CalPointCount = 0;
    double CalCoefficients[2][3] = {};      // slope, intercept by sensor

    // --- handlers ---
    void RequestControllerSettings();
    void Timer1_Timer();
    void Command1_Click();
    void cmdUploadVKM_Click();
    void cmdCalc_Click();
    void cmdCheckTS_Click();
    void SSTab1_Click(int tab);
    void Combo1_Click();
    void cmdClose_Click();
    void cmdSaveFile_Click();
    void cmdRetrieveFile_Click();
    void cmdCalMark_Click();
    void cmdCalibrate_Click();
    void cmdCalUpload_Click();
    void cmdRetrieveCoef_Click();
    void cmdSaveCoef_Click();
    void cmdLoad_Click();

    // Least squares of the reference on sensor s's raw readings.
    void LinearRegression(int sensor, double &slope, double &intercept, double &r2) const;

    // Marks that an upload or the closing question would act on.
    bool hasChanges() const;

    // A check box's value: 0 cleared, 1 checked, 2 grayed; other values throw 380.
    static int CheckValue(const QCheckBox *box);
    static void SetCheckValue(QCheckBox *box, int value);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildLayout();
    void connectHandlers();
    void connectSpinner(UpDown *spin, QLineEdit *box, int entry);
    void connectCoefficient(QLineEdit *box, int entry);
    void Form_Load();
    void Form_Unload();
    bool storeErrorMessage();
    bool storeRegistryOptions(bool stepSizeMarked);
    void storeEnableSlew();
    void mark(int entry, bool enablesUpload);
    // A change that counts when the operator made it, not the program.
    void operatorChange(int entry, bool enablesUpload);
    void captureDesign();
    void showSpinnerValues();
    void cmbStepperMode_Click(int index);
    void cmbStepperStepMode_Click(int index);
    void UpDown3_Change(int index);
    void udDBSettle_Change();
    void checkTheSky(bool onVisit);
    // What a row sends as its controls stand: the command (empty when nothing), or why not.
    struct RowCommand
    {
        QString text;
        QString refusal;
        bool servo = false; // a servo row, which takes effect with "u"
    };
    RowCommand rowCommand(const OptionRow &row) const;
    QLineEdit *rowBox(const OptionRow &row) const;
    QString rowText(const OptionRow &row) const;
    int fanMode() const;
    Variant savedValue(const OptionRow &row) const;
    bool takesFileValue(const OptionRow &row, const QString &value) const;
    // Puts a value takesFileValue passed into the row's control; false when the row keeps
    // its value (a fan mode or an option outside its choices).
    bool applyFileValue(const OptionRow &row, const QString &value);
    // The stepper commands whose values are the operator's or the controller's as it holds them now.
    struct StepperBlock
    {
        QStringList commands;
        std::optional<int> coverMode; // channel 1's function, when the function command is among them
        QString refusal;              // an operator's change that cannot go out without other values
    };
    StepperBlock stepperBlock() const;
    // Whether a report into control `name` would overwrite an operator's change not uploaded.
    bool keptByOperator(const QString &name) const;
    // The row of `entry` was read back or given a value by the operator or a file.
    void rowKnown(int entry);
    // Shows the rows read back with nothing, which a file does not save.
    void showUnread();
    bool rowUnread(const OptionRow &row) const;
    bool sendMarked(const std::array<RowCommand, 31> &commands, bool servoChanged, const StepperBlock &stepper);
    // False, after the box naming `what`, when the main window's port is closed or what
    // was sent did not leave it.
    static bool delivered(const QString &what);

    // False, after the port message, when the main window's port is closed.
    static bool portOpen();
    static void transmit(const QString &command);

    // The file chosen in the open dialog of both files, opened for loading; nothing when
    // abandoned or after the box saying why it failed.
    static std::optional<int16_t> openChosenFile();
    // Writes the file chosen in the save dialog (after asking before replacing one) whole,
    // with the records `records` gives once it is chosen (nothing abandons); a failure
    // leaves the old file and says so.
    static void saveChosenFile(const std::function<std::optional<QString>()> &records);

    std::unique_ptr<SettingsReadBack> m_readBack;
    ShownOrigins m_stepperOrigins; // the stepper channels' values, as only they may go back
    QSet<int> m_knownRows;         // rows read back or given a value since the window opened
    bool m_foviErrorShown = false; // TheSky's indicator list failed once since the window opened
    std::vector<std::function<void()>> m_design; // puts each control back as it was built
    bool m_loaded = false;
};

// The one options window, created on first use; with create = false null until then.
frmCal *CalForm(bool create = true);
