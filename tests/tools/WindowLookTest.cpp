#include "ToolsBench.h"
#include "link/ModuleState.h"
#include "platform/DataFolder.h"
#include "platform/VbFiles.h"
#include "support/FakeControlWindows.h"
#include "support/WindowLook.h"
#include "tools/frmFlash.h"
#include "tools/frmGraph.h"
#include "tools/frmLog.h"
#include "tools/frmSecHeaterWizard.h"

#include <QChart>
#include <QChartView>
#include <QFile>
#include <QLegend>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScatterSeries>
#include <QValueAxis>
#include <cmath>

namespace {

using Pages = std::vector<std::pair<QString, std::function<void()>>>;

std::string joined(const QStringList &lines)
{
    return lines.join(QLatin1Char('\n')).toStdString();
}

void expectOneSize(const std::vector<QSize> &sizes, const char *window)
{
    for (const QSize &s : sizes)
        EXPECT_EQ(s, sizes.front()) << window << " " << s.width() << "x" << s.height() << " against "
                                    << sizes.front().width() << "x" << sizes.front().height();
}

QValueAxis *axis(QChartView *view, Qt::Orientation o)
{
    return static_cast<QValueAxis *>(view->chart()->axes(o).value(0));
}

class WindowLook : public ToolsBench
{
protected:
    // A saved heat challenge of an hour: the secondary rising towards 10 degrees over ambient.
    static QString dataSet()
    {
        QByteArray text;
        for (int i = 1; i <= 120; ++i) {
            const double t = 0.5 * i;
            const double y = 50 + (t <= 4 ? 0.0 : 10 * (1 - std::exp(-(t - 4) / 12)));
            text += VbFiles::WriteRecordText({Variant(float(t)), Variant(t <= 2.0 ? 0.0f : 50.0f), Variant(float(y))}).toLatin1();
        }
        const QString path = DataFolder::path() + QStringLiteral("/look.txt");
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(text);
        return path;
    }

    FakeMainWindow main;
};

} // namespace

TEST_F(WindowLook, WizardsShowWholeTextsAndKeepOneSizeOverTheirPages)
{
    QStringList cut;
    {
        frmFlash flash;
        // The upload's own page as it stands while the exchange runs; its end from there.
        const auto uploading = [&flash] {
            flash.lblStep->setText(QStringLiteral("Uploading Firmware"));
            flash.lblInstructions->setText(QStringLiteral("Status:  Initializing"));
            flash.ProgBar1->show();
        };
        const auto ended = [&flash](int16_t error) {
            return [&flash, error] {
                flash.CurrentStep = frmFlash::Upload;
                flash.UploadErrorCode = error;
                flash.ChangeStep(error == 0 ? 1 : 2);
            };
        };
        const Pages pages = {{QStringLiteral("welcome"), [] {}},
                             {QStringLiteral("file"), [&flash] { flash.ChangeStep(1); }},
                             {QStringLiteral("confirm"), [&flash] { flash.ChangeStep(1); }},
                             {QStringLiteral("uploading"), uploading},
                             {QStringLiteral("success"), ended(0)},
                             {QStringLiteral("error"), ended(6)}};
        expectOneSize(Look::sizesOverPages(&flash, QStringLiteral("firmware"), pages, cut), "firmware wizard");
        flash.hide();
    }
    {
        main.serial = sharedLink();
        frmSecHeaterWizard wizard;
        const QString file = dataSet();
        const Pages pages = {{QStringLiteral("welcome"), [] {}},
                             {QStringLiteral("choice"), [&wizard] { wizard.cmdNext_Click(); }},
                             {QStringLiteral("regression"), [&wizard, file] {
                                  wizard.optBegin[1]->setChecked(true);
                                  wizard.txtDataSet->setText(file);
                                  wizard.cmdNext_Click();
                              }},
                             {QStringLiteral("results"), [&wizard] { wizard.cmdNext_Click(); }},
                             {QStringLiteral("save"), [&wizard] { wizard.cmdNext_Click(); }}};
        expectOneSize(Look::sizesOverPages(&wizard, QStringLiteral("heaterwizard"), pages, cut), "heater wizard");
        wizard.hide();
    }
    EXPECT_EQ(joined(cut), "");
}

TEST_F(WindowLook, TheRegressionPlotNamesMeasuredAndModelAndKeepsItsPointsApart)
{
    main.serial = sharedLink();
    frmSecHeaterWizard wizard;
    wizard.cmdNext_Click();
    wizard.optBegin[1]->setChecked(true);
    wizard.txtDataSet->setText(dataSet());
    wizard.cmdNext_Click();
    Look::show(&wizard);
    QChart *chart = wizard.MSChart1->chart();
    EXPECT_EQ(axis(wizard.MSChart1, Qt::Horizontal)->titleText(), QStringLiteral("Time"));
    EXPECT_EQ(axis(wizard.MSChart1, Qt::Vertical)->titleText(), QStringLiteral("Temperature"));
    ASSERT_TRUE(chart->legend()->isVisible());
    QStringList shown;
    for (QLegendMarker *marker : chart->legend()->markers())
        if (marker->isVisible() && marker->series()->isVisible())
            shown << marker->label();
    EXPECT_EQ(shown, QStringList({QStringLiteral("Model"), QStringLiteral("Measured")}));
    // Thirty seconds apart on the time axis are more pixels than a marker is wide.
    auto *measured = static_cast<QScatterSeries *>(chart->series().value(1));
    const double pixelsPerPoint = chart->plotArea().width() / axis(wizard.MSChart1, Qt::Horizontal)->max() * 0.5;
    EXPECT_GT(pixelsPerPoint, measured->markerSize()) << pixelsPerPoint;
    EXPECT_EQ(measured->color(), QColor(255, 0, 0));
}

TEST_F(WindowLook, TheTemperaturePlotShowsItsAxesWithUnitsAndRoundTicks)
{
    QStringList cut;
    for (const int celsius : {0, 1}) {
        Module().settings.Celcius = int16_t(celsius);
        frmGraph graph;
        Look::show(&graph);
        Look::screenshot(&graph, celsius ? QStringLiteral("graph-empty-celsius") : QStringLiteral("graph-empty"));
        cut << Look::cutTexts(&graph);
        EXPECT_EQ(axis(graph.MSChart1, Qt::Horizontal)->titleText(), QStringLiteral("Time (min)"));
        EXPECT_EQ(axis(graph.MSChart1, Qt::Vertical)->titleText(),
                  celsius ? QStringLiteral("Temperature (\u00B0C)") : QStringLiteral("Temperature (\u00B0F)"));
        EXPECT_TRUE(axis(graph.MSChart1, Qt::Vertical)->isVisible());

        Module().temperatures = {53.33, 54.68, 54.0, 0, 0};
        graph.cmdReset_Click();
        for (int tick = 0; tick < 6; ++tick) {
            Module().temperatures.AmbientTemperature += 0.31f;
            graph.Timer1_Timer();
        }
        Look::show(&graph);
        Look::screenshot(&graph, celsius ? QStringLiteral("graph-running-celsius") : QStringLiteral("graph-running"));
        for (const Qt::Orientation o : {Qt::Horizontal, Qt::Vertical}) {
            QValueAxis *a = axis(graph.MSChart1, o);
            const double interval = (a->max() - a->min()) / (a->tickCount() - 1);
            const double magnitude = std::pow(10.0, std::floor(std::log10(interval)));
            const double mantissa = interval / magnitude;
            EXPECT_TRUE(std::abs(mantissa - std::round(mantissa)) < 1e-6 || std::abs(mantissa - 2.5) < 1e-6) << interval;
            EXPECT_NEAR(std::remainder(a->min(), interval), 0, 1e-6) << a->min() << " " << interval;
        }
        graph.close();
    }
    EXPECT_EQ(joined(cut), "");
}

TEST_F(WindowLook, TheDataLogWindowShowsWholeTexts)
{
    frmLog log;
    Look::show(&log);
    Look::screenshot(&log, QStringLiteral("datalog"));
    EXPECT_EQ(joined(Look::cutTexts(&log)), "");
}
