#include "tools/frmGraph.h"

#include "link/HandlerError.h"
#include "link/ModuleState.h"
#include "link/ReportTable.h"
#include "link/Serial.h"
#include "platform/Controls.h"
#include "platform/UpDown.h"
#include "tools/ToolWindow.h"
#include "platform/Vb.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QSpinBox>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

const char *const Captions[] = {"Ambient", "Primary", "Secondary"};
const QColor Colours[] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255)};


const char *const SensorCodes[] = {":t1", ":t2", ":t3"};

// The sensor's temperature as `link` last received it, in the unit bound at Start; nothing
// unless the controller reported it since the last point on the port as it is open.
std::optional<float> freshTemperature(const Serial *link, const ReportFreshness &since, int sensor, bool celsius)
{
    const QString code = QString::fromLatin1(SensorCodes[sensor]);
    if (!since.Fresh(link, code))
        return std::nullopt;
    const auto degrees = ReportValue::Temperature(link->Reports().Last(code)->report);
    if (!degrees)
        return std::nullopt;
    return float(celsius ? (*degrees - 32) * 5 / 9 : *degrees);
}

// A row with no series' value: a gap.
bool emptyRow(const QVector<float> &row)
{
    for (qsizetype c = 1; c < row.size(); c += 2)
        if (!std::isnan(row[c]))
            return false;
    return true;
}

} // namespace

frmGraph::frmGraph(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmGraph"));
    setWindowTitle(QStringLiteral("Temperature plot"));

    auto *chart = new QChart;
    chart->legend()->hide();
    auto *x = new QValueAxis;
    x->setTitleText(QStringLiteral("Time (min)"));
    auto *y = new QValueAxis;
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    // Empty axes until Start.
    x->setRange(0, 10);
    y->setRange(0, 100);
    for (QValueAxis *axis : {x, y})
        axis->applyNiceNumbers();
    MSChart1 = NewControl<QChartView>(this, "MSChart1", chart);
    MSChart1->setMinimumSize(480, 320);

    auto *controls = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        chkAmb[i] = new QCheckBox(QString::fromLatin1(Captions[i]), this);
        chkAmb[i]->setObjectName(QStringLiteral("chkAmb_%1").arg(i));
        controls->addWidget(chkAmb[i]);
    }
    controls->addStretch();
    controls->addWidget(new QLabel(QStringLiteral("Period"), this));
    lblPeriod = NewControl<QLabel>(this, "lblPeriod", QStringLiteral("10"));
    UpDown1 = NewControl<UpDown>(this, "UpDown1");
    UpDown1->setRange(1, 3600);
    UpDown1->setValue(10);
    connect(UpDown1, &QSpinBox::valueChanged, this, [this](int v) { lblPeriod->setText(QString::number(v)); });
    controls->addWidget(lblPeriod);
    controls->addWidget(UpDown1);
    cmdReset = NewControl<QPushButton>(this, "cmdReset", QStringLiteral("Start"));
    controls->addWidget(cmdReset);

    // The chart takes whatever room the window gives it.
    auto *column = new QVBoxLayout(this);
    column->addWidget(MSChart1, 1);
    column->addLayout(controls);

    Timer1.setObjectName(QStringLiteral("Timer1"));
    connect(&Timer1, &VbTimer::Tick, this, &frmGraph::Timer1_Timer);
    connect(cmdReset, &QPushButton::clicked, this, &frmGraph::cmdReset_Click);
    Form_Load();
}

frmGraph::~frmGraph()
{
    if (Timer1.Enabled())
        Form_Unload();
}

frmGraph *frmGraph::instance(bool create)
{
    return ToolWindow<frmGraph>(create);
}

void frmGraph::showWindow()
{
    ShowToolWindow<frmGraph>();
}

void frmGraph::Form_Load()
{
    showUnits(Module().settings.Celcius == 1);
    for (int i = 0; i < 3; ++i) {
        chkAmb[i]->setChecked(true);
        QPalette palette = chkAmb[i]->palette();
        palette.setColor(QPalette::WindowText, Colours[i]);
        chkAmb[i]->setPalette(palette);
    }
}

void frmGraph::showUnits(bool celsius)
{
    MSChart1->chart()->axes(Qt::Vertical).value(0)->setTitleText(celsius ? QStringLiteral("Temperature (\u00B0C)")
                                                                         : QStringLiteral("Temperature (\u00B0F)"));
}

void frmGraph::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void frmGraph::Form_Unload()
{
    Timer1.setEnabled(false);
    Module().tools.GraphRunning = false;
}

void frmGraph::clearSeries()
{
    QChart *chart = MSChart1->chart();
    for (QAbstractSeries *s : chart->series()) {
        chart->removeSeries(s);
        delete s;
    }
    lines.clear();
    markers.clear();
    pieces.clear();
}

void frmGraph::cmdReset_Click()
{
    ModuleState::Tools &t = Module().tools;
    try {
        if (cmdReset->text() == QLatin1String("Reset")) {
            cmdReset->setText(QStringLiteral("Start"));
            Timer1.setEnabled(false);
            t.GraphRunning = false;
            return;
        }
        GraphMinutes = 0;
        t.GraphRunning = true;
        GraphRowCount = 0;
        const QString period = lblPeriod->text();
        Timer1.setInterval(vb::CLng(vb::Val(period) * 500));
        t.GraphPeriod = vb::CLng(vb::Val(period));
        GraphRow = 0;
        m_reports.Restart(Module().link.SharedSerial.get());
        m_celsius = Module().settings.Celcius == 1;

        clearSeries();
        showUnits(m_celsius);
        m_sensors.clear();
        QChart *chart = MSChart1->chart();
        for (int i = 0; i < 3; ++i) {
            if (!chkAmb[i]->isChecked())
                continue;
            m_sensors.push_back(i);
            auto *line = new QLineSeries;
            line->setName(QString::fromLatin1(Captions[i]));
            line->setPen(QPen(Colours[i], 1, Qt::SolidLine));
            auto *marker = new QScatterSeries;
            marker->setName(QString::fromLatin1(Captions[i]));
            marker->setMarkerShape(QScatterSeries::MarkerShapeCircle);
            marker->setMarkerSize(6);
            marker->setColor(Colours[i]);
            marker->setBorderColor(Colours[i]);
            for (QXYSeries *s : {static_cast<QXYSeries *>(line), static_cast<QXYSeries *>(marker)}) {
                chart->addSeries(s);
                for (QAbstractAxis *axis : chart->axes())
                    s->attachAxis(axis);
            }
            lines.push_back(line);
            markers.push_back(marker);
            pieces.emplace_back();
        }
        if (!m_sensors.empty()) {
            GraphData = QVector<QVector<float>>(Rows, QVector<float>(int(2 * m_sensors.size()), 0.0f));
            Timer1.setEnabled(true);
        } else {
            Timer1.setEnabled(false);
        }
        cmdReset->setText(QStringLiteral("Reset"));
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
}

void frmGraph::Timer1_Timer()
{
    ModuleState &m = Module();
    try {
        GraphPollPhase = !GraphPollPhase;
        if (GraphPollPhase) {
            const auto &link = m.link.SharedSerial;
            const bool logAsks = m.tools.LoggingActive && m.tools.LogInterval < m.tools.GraphPeriod;
            if (link && link->Connected() && !logAsks)
                link->Transmit(QStringLiteral(" T "));
            return;
        }
        // The time axis follows the timer, whose period was fixed at Start.
        GraphMinutes = float(GraphMinutes + m.tools.GraphPeriod / 60.0);
        // A point only for a temperature reported since the last one: none passes an old
        // value off as new.
        const Serial *link = m.link.SharedSerial.get();
        std::vector<std::optional<float>> values;
        for (int sensor : m_sensors)
            values.push_back(freshTemperature(link, m_reports, sensor, m_celsius));
        m_reports.Advance(link);
        if (std::none_of(values.begin(), values.end(), [](const auto &v) { return v.has_value(); })) {
            // Nothing came (a silent controller, a closed port): one empty row breaks the
            // lines, so the points after it do not pass for a continuous record.
            if (GraphRowCount > 0 && !emptyRow(GraphData[GraphRow - 1]))
                addRow(values);
            return;
        }
        addRow(values);
    } catch (const std::exception &) {
    }
}

void frmGraph::addRow(const std::vector<std::optional<float>> &values)
{
    ++GraphRow;
    ++GraphRowCount;
    if (GraphRow == Rows) {
        // From here on the oldest points are overwritten: markers only, no lines.
        GraphRow = 1;
        for (QLineSeries *line : lines)
            line->setVisible(false);
    }
    if (GraphRowCount == Rows)
        GraphRowCount = Rows - 1;
    QVector<float> &row = GraphData[GraphRow - 1];
    for (size_t s = 0; s < m_sensors.size(); ++s) {
        row[int(2 * s)] = GraphMinutes;
        row[int(2 * s + 1)] = values[s].value_or(std::numeric_limits<float>::quiet_NaN());
    }
    showRows();
}

// The chart shows rows 1 to GraphRowCount of the table.
void frmGraph::showRows()
{
    double xMin = 0, xMax = 1, yMin = 0, yMax = 1;
    bool first = true;
    for (size_t s = 0; s < m_sensors.size(); ++s) {
        QList<QPointF> points;
        QList<QList<QPointF>> runs{{}};
        for (int r = 0; r < GraphRowCount; ++r) {
            const QPointF p(GraphData[r][int(2 * s)], GraphData[r][int(2 * s + 1)]);
            if (std::isnan(p.y())) { // not reported for that point: a gap
                if (!runs.back().isEmpty())
                    runs.append(QList<QPointF>());
                continue;
            }
            points << p;
            runs.back() << p;
            xMin = first ? p.x() : std::min(xMin, p.x());
            xMax = first ? p.x() : std::max(xMax, p.x());
            yMin = first ? p.y() : std::min(yMin, p.y());
            yMax = first ? p.y() : std::max(yMax, p.y());
            first = false;
        }
        showLine(s, runs);
        markers[s]->replace(points);
    }
    QChart *chart = MSChart1->chart();
    const double yPad = std::max(0.5, (yMax - yMin) * 0.05);
    const auto axis = [chart](Qt::Orientation o) { return static_cast<QValueAxis *>(chart->axes(o).value(0)); };
    axis(Qt::Horizontal)->setRange(xMin, std::max(xMax, xMin + 1.0 / 6));
    axis(Qt::Vertical)->setRange(yMin - yPad, yMax + yPad);
    // Ticks on round numbers: the range widens to the next ones.
    axis(Qt::Horizontal)->applyNiceNumbers();
    axis(Qt::Vertical)->applyNiceNumbers();
}

void frmGraph::showLine(size_t s, const QList<QList<QPointF>> &runs)
{
    QChart *chart = MSChart1->chart();
    lines[s]->replace(runs.value(0));
    std::vector<QLineSeries *> &more = pieces[s];
    while (more.size() + 1 < size_t(runs.size())) {
        auto *piece = new QLineSeries;
        piece->setName(lines[s]->name());
        piece->setPen(lines[s]->pen());
        chart->addSeries(piece);
        for (QAbstractAxis *axis : chart->axes())
            piece->attachAxis(axis);
        more.push_back(piece);
    }
    for (size_t i = 0; i < more.size(); ++i) {
        more[i]->replace(runs.value(int(i) + 1));
        more[i]->setVisible(lines[s]->isVisible());
    }
}
