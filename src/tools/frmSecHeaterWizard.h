#pragma once

#include "platform/NamedControls.h"
#include "platform/VbTimer.h"
#include "tools/HeaterModel.h"

#include <QWidget>
#include <array>
#include <memory>
#include <optional>

class PostedBoxes;
class QChartView;
class QLabel;
class QLineEdit;
class QLineSeries;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScatterSeries;
class QSpinBox;
class ControllerReports;
class Serial;

// "Secondary Heater Calibration Wizard": records the secondary mirror's answer to a heater
// power step (or loads a saved data set), fits the heater model, shows the PID coefficients
// beside the controller's current ones, saves the data set and uploads the coefficients.
class frmSecHeaterWizard : public QWidget
{
    Q_OBJECT

public:
    static constexpr int PlotRows = 250;
    // A point every half minute; the recording's timer asks, then takes, each half of it.
    static constexpr int PointIntervalMs = 30000;
    static constexpr float PointMinutes = 0.5f;

    explicit frmSecHeaterWizard(QWidget *parent = nullptr);
    ~frmSecHeaterWizard() override;

    // The one window, created on first use; null without `create` when none stands.
    static frmSecHeaterWizard *instance(bool create = true);
    static void showWindow();

    void ShowWizardStep(int step);
    void cmdNext_Click();
    void cmdBack_Click();
    void cmdCancel_Click();
    void cmdFinish_Click();
    void optBegin_Click(int index);
    void cmdBrowse_Click();
    void cmdSave_Click();
    void cmdUpload_Click();
    void Timer1_Timer();
    // Reads the file named in txtDataSet; the rows read, 0 after any failure.
    int16_t LoadDataSet();

    // --- controls ---
    std::array<QWidget *, 5> conwiz{};
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr;
    std::array<QRadioButton *, 2> optBegin{};
    QSpinBox *udSampleTime = nullptr;
    QLabel *lblSampleTime = nullptr;
    QLineEdit *txtDataSet = nullptr;
    QPushButton *cmdBrowse = nullptr;
    QChartView *MSChart1 = nullptr;
    QLabel *lblFootnote = nullptr; // the chart's footnote
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *cmdSave = nullptr;
    QLabel *lblGain = nullptr, *lblPT = nullptr, *lblDT = nullptr, *lblR2 = nullptr;
    // Index 0 "Current" (filled by the main window's parser), 1 "New".
    std::array<QLabel *, 2> lblKP{}, lblKD{}, lblDerT{}, lblKI{}, lblIL{};
    QPushButton *cmdUpload = nullptr;
    QPushButton *cmdCancel = nullptr, *cmdBack = nullptr, *cmdNext = nullptr, *cmdFinish = nullptr;
    VbTimer Timer1;

    // --- state ---
    HeaterModel model;
    int16_t WizardStep = 0;
    int16_t LastStep = 0;
    int16_t SampleTime = 0;
    float ElapsedTime = 0;
    int32_t PlotRow = 0;
    int32_t PlotPointCount = 0;
    std::array<std::array<float, 4>, PlotRows> PlotData{}; // rows 1 to 250 at index 0 to 249
    bool QueryTick = false;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // A coefficient row of the results page: its caption, its labels' name, its command
    // letter and whether its value goes out in hundredths. In the order they are uploaded.
    struct CoefficientRow
    {
        const char *caption;
        const char *name;
        std::array<QLabel *, 2> frmSecHeaterWizard::*labels;
        char command;
        bool scaled;
    };
    static const std::array<CoefficientRow, 5> CoefficientRows;

    void buildLayout();
    QWidget *buildResultsPage();
    void Form_Load();
    void Form_Unload();
    void drawStep(int step);
    void analyse();
    void regressionPlot();
    void showResults();
    void showPlot(bool regression);
    void setPlotRow(int row, float x1, float y1, float x2, float y2);
    bool analyseSaved() const;
    // A point from what the controller reported since the last one; false when it has not
    // reported every value anew (no point) or when the recording was refused.
    bool takePoint(const std::shared_ptr<Serial> &link);
    // The power of a point that left the heat challenge's step, or before the challenge the
    // heater's power off.
    static QString PowerLeftText(float power, float minutes, float step, bool challenged = true);
    // Ends the recording with a posted box that says why; nothing leads on to a fit.
    void refuseRecording(const QString &why);

    QScatterSeries *m_first = nullptr;  // ambient, then the measured temperatures
    QScatterSeries *m_second = nullptr; // secondary while recording
    QLineSeries *m_model = nullptr;     // the model curve
    std::optional<HeaterModel::Coefficients> m_coefficients;
    // Ends the recording at a point that did not come half a minute after the last one.
    void refuseGap(float minutes);
    // Commands of any sender so far that changed the heater's power or mode.
    static uint64_t heaterCommands(const ControllerReports &reports);
    // Ends the recording when such a command went out since the last point (undone or not).
    bool refusedDisturbed(const ControllerReports &reports);

    // What the recording rests on: the link and its opening at the first point, the last
    // report a point has used, the heater mode before the challenge, whether it went, when
    // the first point was taken and the commands that had changed the heater at the last one.
    struct Recording
    {
        std::weak_ptr<Serial> link;
        uint64_t epoch = 0;
        uint64_t mark = 0;
        std::optional<int> mode;
        bool challenged = false;
        int64_t firstAt = 0;
        uint64_t heaterCommands = 0;
    } m_recording;
    PostedBoxes *m_boxes = nullptr;
    NamedControls m_sink{this};
    bool m_unloaded = false;
};
