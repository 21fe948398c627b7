#pragma once

#include "link/ReportFreshness.h"
#include "platform/VbTimer.h"

#include <QList>
#include <QPointF>
#include <QVector>
#include <QWidget>
#include <array>
#include <optional>
#include <vector>

class QChartView;
class QCheckBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QScatterSeries;
class QSpinBox;

// "Temperature plot": the ambient, primary and secondary temperatures against minutes since
// Start. The timer alternates a temperature request with a point; the table keeps 399
// points per series and then overwrites its oldest rows. A row holds NaN for a series whose
// temperature was not reported for it.
class frmGraph : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Rows = 400;

    explicit frmGraph(QWidget *parent = nullptr);
    ~frmGraph() override;

    // The one window, created on first use; null without `create` when none stands.
    static frmGraph *instance(bool create = true);
    // Shows the window modeless (the main window's graph command).
    static void showWindow();

    std::array<QCheckBox *, 3> chkAmb{};
    QChartView *MSChart1 = nullptr;
    QPushButton *cmdReset = nullptr;
    QLabel *lblPeriod = nullptr;
    QSpinBox *UpDown1 = nullptr;
    VbTimer Timer1;

    void cmdReset_Click();
    void Timer1_Timer();

    // Per plotted series: the line through its points and its markers. A point the series
    // lacks leaves a gap: the line goes on after it as a further piece (pieces).
    std::vector<QLineSeries *> lines;
    std::vector<QScatterSeries *> markers;
    std::vector<std::vector<QLineSeries *>> pieces;

    // Rows 1 to 400 (index 0 is row 1), two columns per plotted series: minutes, temperature.
    QVector<QVector<float>> GraphData;
    int32_t GraphRow = 0;
    int32_t GraphRowCount = 0;
    float GraphMinutes = 0;
    bool GraphPollPhase = false;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void Form_Unload();
    void showRows();
    // Takes the next row of the table: the minutes and each series' value (NaN: none).
    void addRow(const std::vector<std::optional<float>> &values);
    // The line pieces of series `s`, one per run of `points` between gaps.
    void showLine(size_t s, const QList<QList<QPointF>> &runs);
    void clearSeries();
    // The temperature axis's title with the unit, Celsius or Fahrenheit.
    void showUnits(bool celsius);

    std::vector<int> m_sensors; // the sensor of each plotted series, bound at Start
    bool m_celsius = false;     // the unit, bound at Start
    ReportFreshness m_reports;  // a point only for temperatures the controller sent since the last one
};
