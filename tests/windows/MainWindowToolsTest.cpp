#include "MainWindowFixture.h"
#include "support/WidgetInput.h"
#include "tools/frmGraph.h"
#include "tools/frmLog.h"

#include <QAction>
#include <QApplication>
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
