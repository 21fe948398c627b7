#include "ToolsBench.h"
#include "link/ModuleState.h"
#include "platform/DataFolder.h"
#include "support/FakeControlWindows.h"
#include "support/WindowLook.h"
#include "tools/frmFlash.h"
#include "tools/frmGraph.h"
#include "tools/frmLog.h"
#include "tools/frmSecHeaterWizard.h"

#include <QChartView>
#include <QFile>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScatterSeries>
#include <QValueAxis>
#include <cmath>

namespace {

QValueAxis *axis(QChartView *view, Qt::Orientation o)
{
    return static_cast<QValueAxis *>(view->chart()->axes(o).value(0));
}

class WindowLook : public ToolsBench
{
protected:
    FakeMainWindow main;
};

} // namespace

TEST_F(WindowLook, WizardsShowWholeTextsAndKeepOneSizeOverTheirPages)
{
    QStringList cut;
    frmFlash flash;
    const auto ended = [&flash](int16_t error) {
        return [&flash, error] { flash.CurrentStep = frmFlash::Upload, flash.UploadErrorCode = error, flash.ChangeStep(error ? 2 : 1); };
    };
    const auto on = [&flash] { flash.ChangeStep(1); };
    const auto flashSizes = Look::sizesOverPages(&flash, QStringLiteral("firmware"),
        {{"welcome", [] {}}, {"file", on}, {"confirm", on}, {"uploading", [&] { flash.ProgBar1->show(); }},
         {"success", ended(0)}, {"error", ended(6)}}, cut);
    EXPECT_EQ(std::count(flashSizes.begin(), flashSizes.end(), flashSizes.front()), 6);

    // An hour's saved heat challenge, the secondary rising 10 degrees, analysed.
    QFile data(DataFolder::path() + QStringLiteral("/look.txt"));
    ASSERT_TRUE(data.open(QIODevice::WriteOnly));
    for (int i = 1; i <= 120; ++i)
        data.write(QStringLiteral("%1,%2,%3\r\n").arg(i / 2.0).arg(i > 4 ? 50 : 0).arg(50 + (i > 8 ? 10 * (1 - std::exp(-(i - 8) / 24.0)) : 0)).toLatin1());
    data.close();
    main.serial = sharedLink();
    frmSecHeaterWizard wizard;
    const auto next = [&wizard] { wizard.cmdNext_Click(); };
    const auto saved = [&] { wizard.optBegin[1]->setChecked(true), wizard.txtDataSet->setText(data.fileName()), next(); };
    const auto wizardSizes = Look::sizesOverPages(&wizard, QStringLiteral("heaterwizard"),
        {{"welcome", [] {}}, {"choice", next}, {"regression", saved}, {"results", next}, {"save", next}}, cut);
    EXPECT_EQ(std::count(wizardSizes.begin(), wizardSizes.end(), wizardSizes.front()), 5);
    EXPECT_EQ(cut.join(QLatin1Char('\n')).toStdString(), "");

    // The regression plot names its series, and points thirty seconds apart stay apart.
    wizard.ShowWizardStep(4);
    QChart *chart = wizard.MSChart1->chart();
    QStringList named;
    for (QLegendMarker *marker : chart->legend()->markers())
        if (marker->series()->isVisible())
            named << marker->label();
    EXPECT_EQ(named, QStringList({QStringLiteral("Model"), QStringLiteral("Measured")}));
    const auto *measured = static_cast<QScatterSeries *>(chart->series().value(1));
    EXPECT_GT(chart->plotArea().width() / axis(wizard.MSChart1, Qt::Horizontal)->max() / 2, measured->markerSize());
}

TEST_F(WindowLook, TheTemperaturePlotShowsAxesWithUnitsAndRoundTicks)
{
    EXPECT_EQ(Look::shownCut(std::make_unique<frmLog>().get(), QStringLiteral("datalog")).join(QLatin1Char('\n')).toStdString(), "");
    Module().settings.Celcius = 1;
    frmGraph graph;
    Look::shownCut(&graph, QStringLiteral("graph-empty"));
    EXPECT_EQ(axis(graph.MSChart1, Qt::Vertical)->titleText(), QStringLiteral("Temperature (\u00B0C)"));
    EXPECT_EQ(axis(graph.MSChart1, Qt::Horizontal)->titleText(), QStringLiteral("Time (min)"));
    Module().settings.Celcius = 0;
    Module().temperatures = {53.33, 54.68, 54.0, 0, 0};
    graph.cmdReset_Click();
    for (int tick = 0; tick < 6; ++tick, Module().temperatures.AmbientTemperature += 0.31)
        graph.Timer1_Timer();
    EXPECT_EQ(Look::shownCut(&graph, QStringLiteral("graph-running")).join(QLatin1Char('\n')).toStdString(), "");
    EXPECT_EQ(axis(graph.MSChart1, Qt::Vertical)->titleText(), QStringLiteral("Temperature (\u00B0F)"));
    for (const Qt::Orientation o : {Qt::Horizontal, Qt::Vertical}) {
        const QValueAxis *a = axis(graph.MSChart1, o);
        const double step = (a->max() - a->min()) / (a->tickCount() - 1);
        const double digits = step / std::pow(10.0, std::floor(std::log10(step)) - 1); // 10, 20, 25, 50 ...
        EXPECT_NEAR(digits, std::round(digits), 1e-6) << step;
        EXPECT_NEAR(std::remainder(a->min(), step), 0, 1e-6) << a->min();
    }
}
