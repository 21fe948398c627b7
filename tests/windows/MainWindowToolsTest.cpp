#include "MainWindowFixture.h"
#include "support/WidgetInput.h"
#include "tools/frmGraph.h"
#include "tools/frmLog.h"
#include "tools/frmSecHeaterWizard.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>

namespace {

class MainWindowTools : public MainWindowFixture
{
protected:
    static QAction *action(const char *name) { return control<QAction>(QString::fromLatin1(name)); }
};

} // namespace

TEST_F(MainWindowTools, TheLogKeyStartsLoggingAndStopLogEndsIt)
{
    frmMain *form = openQuiet();
    const QString log = DataFolder::path() + QStringLiteral("/main-window-log.csv");
    WidgetInput::whenModal([&](QWidget *modal) {
        auto *setup = qobject_cast<frmLog *>(modal);
        ASSERT_NE(setup, nullptr);
        EXPECT_EQ(setup->windowTitle(), QStringLiteral("Data Logging Setup"));
        setup->txtFileName->setText(log);
        WidgetInput::click(setup, "cmdStart");
    });
    form->tbrToolBar_ButtonClick(QStringLiteral("Log"));
    const ModuleState::Tools &t = Module().tools;
    EXPECT_TRUE(t.LoggingActive);
    EXPECT_NE(t.LogTimerId, 0);
    EXPECT_FALSE(form->mnuStartLog->isEnabled());
    EXPECT_TRUE(form->mnuStopLog->isEnabled());
    EXPECT_FALSE(action("Log")->isEnabled());
    EXPECT_TRUE(action("StopLog")->isEnabled());

    form->tbrToolBar_ButtonClick(QStringLiteral("StopLog"));
    EXPECT_FALSE(t.LoggingActive);
    EXPECT_EQ(t.LogTimerId, 0);
    EXPECT_TRUE(form->mnuStartLog->isEnabled());

    // Cancel starts nothing.
    WidgetInput::whenModal([](QWidget *modal) { WidgetInput::click(modal, "cmdCancel"); });
    form->mnuStartLog->trigger();
    EXPECT_FALSE(t.LoggingActive);
    EXPECT_TRUE(form->mnuStartLog->isEnabled());
}

TEST_F(MainWindowTools, TheGraphOpensFromMenuAndToolbarAsOneWindow)
{
    frmMain *form = openQuiet();
    form->mnuPlot->trigger();
    frmGraph *graph = frmGraph::instance(false);
    ASSERT_NE(graph, nullptr);
    EXPECT_TRUE(graph->isVisible());
    form->tbrToolBar_ButtonClick(QStringLiteral("TempPlot"));
    EXPECT_EQ(frmGraph::instance(false), graph);
    graph->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frmGraph::instance(false), nullptr);
}

TEST_F(MainWindowTools, TheHeaterWizardOpensOnceAndTakesTheCurrentCoefficients)
{
    frmMain *form = openQuiet();
    form->mnuSecHeatWiz->trigger();
    frmSecHeaterWizard *wizard = frmSecHeaterWizard::instance(false);
    ASSERT_NE(wizard, nullptr);
    EXPECT_TRUE(wizard->isVisible());
    EXPECT_TRUE(Module().tools.HeaterWizardOpen);
    form->mnuSecHeatWiz->trigger();
    EXPECT_EQ(frmSecHeaterWizard::instance(false), wizard);

    form->Handle_Received(QStringLiteral(":skp 25 :skd 148 :ski 1519 :sdi 10 :sil 350 "));
    EXPECT_EQ(wizard->lblKP[0]->text(), QStringLiteral("0.25"));
    EXPECT_EQ(wizard->lblKD[0]->text(), QStringLiteral("1.48"));
    EXPECT_EQ(wizard->lblKI[0]->text(), QStringLiteral("15.19"));
    EXPECT_EQ(wizard->lblDerT[0]->text(), QStringLiteral("10"));
    EXPECT_EQ(wizard->lblIL[0]->text(), QStringLiteral("350"));

    wizard->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frmSecHeaterWizard::instance(false), nullptr);
    EXPECT_FALSE(Module().tools.HeaterWizardOpen);
}
