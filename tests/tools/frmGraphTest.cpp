#include "ToolsBench.h"
#include "tools/frmGraph.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QSpinBox>

namespace {

// The three sensors' temperatures as the controller reports them: 70, 60 and 194 F.
const QByteArray Temperatures = ":t1 7000 :t2 6000 :t3 19400 ";

class TemperatureGraph : public ToolsBench
{
protected:
    // Request and point ticks, `points` times, each answered (the timer's own ticks stay out).
    void points(frmGraph &graph, int points)
    {
        graph.Timer1.setEnabled(false);
        for (int i = 0; i < points; ++i)
            report(Temperatures), graph.Timer1_Timer(), graph.Timer1_Timer();
    }
};

} // namespace

TEST_F(TemperatureGraph, StartPlotsEachChosenSensorAgainstMinutes)
{
    struct Case { QList<int> checked; int16_t celsius; QList<float> firstY; QList<QColor> colours; };
    const Case cases[] = {
        {{0, 1, 2}, 0, {70, 60, 194}, {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255)}},
        {{2}, 0, {194}, {QColor(0, 0, 255)}},
        {{0, 2}, 1, {float(38.0 * 5 / 9), 90}, {QColor(255, 0, 0), QColor(0, 0, 255)}},
    };
    for (const Case &c : cases) {
        Module().settings.Celcius = c.celsius;
        frmGraph graph;
        for (int i = 0; i < 3; ++i)
            graph.chkAmb[i]->setChecked(c.checked.contains(i));
        graph.cmdReset_Click();
        EXPECT_EQ(graph.cmdReset->text(), QStringLiteral("Reset"));
        EXPECT_EQ(graph.Timer1.Interval(), 5000);
        EXPECT_TRUE(graph.Timer1.Enabled());
        EXPECT_TRUE(Module().tools.GraphRunning);
        EXPECT_EQ(Module().tools.GraphPeriod, 10);
        EXPECT_EQ(graph.GraphData.size(), 400);
        EXPECT_EQ(graph.GraphData[0].size(), 2 * c.checked.size());
        points(graph, 2);
        ASSERT_EQ(graph.markers.size(), size_t(c.checked.size()));
        for (size_t s = 0; s < graph.markers.size(); ++s) {
            const QList<QPointF> p = graph.markers[s]->points();
            ASSERT_EQ(p.size(), 2);
            EXPECT_FLOAT_EQ(float(p[0].x()), 0.1666667f);
            EXPECT_FLOAT_EQ(float(p[1].x()), 0.3333333f);
            EXPECT_FLOAT_EQ(float(p[0].y()), c.firstY[int(s)]);
            EXPECT_EQ(graph.lines[s]->pen().color(), c.colours[int(s)]);
        }
    }

    // A point of a series only for its temperature reported since the last point on an open
    // port; the minutes follow the period, the temperatures the unit fixed at Start, whatever
    // the spinner and the Celsius setting say since.
    Module().settings.Celcius = 0;
    frmGraph graph;
    graph.cmdReset_Click(), graph.UpDown1->setValue(3600);
    struct Step { const char *reports; bool open; int16_t celsius; int ambient, primary; };
    const Step steps[] = {{Temperatures, true, 0, 1, 1}, {"", true, 0, 1, 1}, {Temperatures, false, 0, 1, 1},
                          {Temperatures, true, 0, 2, 2}, {":t2 6000 ", true, 0, 2, 3}, {Temperatures, true, 1, 3, 4}};
    for (const Step &step : steps) {
        sharedLink()->Connected() ? void() : sharedLink()->setConnected(true);
        report(step.reports), Module().settings.Celcius = step.celsius;
        step.open ? void() : sharedLink()->setConnected(false), graph.Timer1_Timer(), graph.Timer1_Timer();
        EXPECT_EQ(graph.markers[0]->points().size(), step.ambient) << step.reports;
        EXPECT_EQ(graph.markers[1]->points().size(), step.primary) << step.reports;
    }
    // Where nothing came (a silent controller, a closed port) or a series' own temperature
    // did not, its line leaves a gap: it goes on as a further piece.
    EXPECT_EQ(graph.lines[0]->points().size(), 1);
    ASSERT_EQ(graph.pieces[0].size(), 2u);
    EXPECT_EQ(graph.pieces[0][1]->points().size(), 1);
    EXPECT_EQ(graph.lines[1]->points().size(), 1);
    ASSERT_EQ(graph.pieces[1].size(), 1u);
    EXPECT_EQ(graph.pieces[1][0]->points().size(), 3);
    EXPECT_EQ(graph.pieces[1][0]->pen().color(), QColor(0, 255, 0));
    EXPECT_FLOAT_EQ(float(graph.markers[0]->points().back().x()), 6 / 6.0f);
    EXPECT_EQ(graph.markers[0]->points().back().y(), 70);
    EXPECT_EQ(graph.MSChart1->chart()->axes(Qt::Vertical).value(0)->titleText(), QStringLiteral("Temperature (\u00B0F)"));
}

TEST_F(TemperatureGraph, KeepsItsLast399PointsAndDropsTheLines)
{
    frmGraph graph;
    graph.cmdReset_Click();
    points(graph, 399);
    EXPECT_TRUE(graph.lines[0]->isVisible());
    points(graph, 1);
    EXPECT_EQ(graph.GraphRowCount, 399);
    EXPECT_EQ(graph.markers[0]->points().size(), 399);
    EXPECT_NEAR(graph.markers[0]->points()[0].x(), 400 * 10 / 60.0, 1e-3);
    EXPECT_FALSE(graph.lines[0]->isVisible());

    // Reset keeps the points, the next Start clears them.
    graph.cmdReset_Click();
    EXPECT_FALSE(Module().tools.GraphRunning);
    EXPECT_FALSE(graph.Timer1.Enabled());
    EXPECT_EQ(graph.markers[0]->points().size(), 399);
    graph.cmdReset_Click();
    EXPECT_TRUE(graph.markers[0]->points().isEmpty());
    EXPECT_TRUE(graph.lines[0]->isVisible());
}

TEST_F(TemperatureGraph, ASeriesKeepsItsSensorWhenABoxChangesAfterStart)
{
    frmGraph graph;
    graph.chkAmb[1]->setChecked(false);
    graph.cmdReset_Click();
    graph.chkAmb[0]->setChecked(false);
    graph.chkAmb[1]->setChecked(true);
    points(graph, 1);
    ASSERT_EQ(graph.markers.size(), 2u);
    EXPECT_EQ(graph.markers[0]->points().value(0).y(), 70);
    EXPECT_EQ(graph.markers[1]->points().value(0).y(), 194);
}

TEST_F(TemperatureGraph, AsksForTemperaturesUnlessTheLogAsksMoreOften)
{
    struct Case { bool logging; int32_t logInterval; bool asks; };
    const Case cases[] = {{false, 0, true}, {true, 9, false}, {true, 10, true}, {true, 30, true}};
    for (const Case &c : cases) {
        frmGraph graph;
        graph.cmdReset_Click();
        Module().tools.LoggingActive = c.logging;
        Module().tools.LogInterval = c.logInterval;
        graph.Timer1_Timer();
        EXPECT_EQ(sent(), c.asks ? QStringLiteral(" T ") : QString()) << c.logInterval;
        graph.Timer1_Timer();
        EXPECT_EQ(sent(), QString());
    }
    Module().tools.LoggingActive = false;

    // No box checked: the timer stays off, yet the graph counts as running.
    frmGraph graph;
    for (QCheckBox *box : graph.chkAmb)
        box->setChecked(false);
    graph.cmdReset_Click();
    EXPECT_FALSE(graph.Timer1.Enabled());
    EXPECT_TRUE(Module().tools.GraphRunning);
    EXPECT_EQ(graph.cmdReset->text(), QStringLiteral("Reset"));
    graph.close();
    EXPECT_FALSE(Module().tools.GraphRunning);
}
