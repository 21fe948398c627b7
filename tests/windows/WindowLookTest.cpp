#include "ConsoleFixture.h"
#include "support/WindowLook.h"
#include "windows/frmAbout.h"
#include "windows/frmPromptMoveTelescope.h"
#include "windows/frmProperties.h"
#include "windows/frmRotIndicator.h"
#include "windows/frmUnwrap.h"

#include <QTabWidget>
#include <memory>

namespace {

using Pages = std::vector<std::pair<QString, std::function<void()>>>;

Pages tabsOf(const QString &prefix, int count, const std::function<void(int)> &select)
{
    Pages pages;
    for (int i = 0; i < count; ++i)
        pages.emplace_back(prefix + QString::number(i), [select, i] { select(i); });
    return pages;
}

class WindowLook : public ConsoleFixture
{
};

} // namespace

TEST_F(WindowLook, OperatorWindowsShowWholeTextsAndKeepOneSizeOverTheirTabs)
{
    QStringList cut;
    frmConsole *console = open();
    const auto consoleSizes = Look::sizesOverPages(
        console, QStringLiteral("console"), tabsOf(QStringLiteral("tab"), 5, [console](int i) { console->TabStrip1->setCurrentIndex(i); }), cut);
    for (const QSize &s : consoleSizes)
        EXPECT_EQ(s, consoleSizes.front()) << s.width() << "x" << s.height();

    frmMain *main = MainForm();
    Module().settings.Celcius = 0;
    main->show();
    Look::sizesOverPages(main, QStringLiteral("main"),
                               tabsOf(QStringLiteral("tab"), 4, [main](int i) { main->SSTab1->setCurrentIndex(i); }), cut);
    EXPECT_EQ(cut.join(QLatin1Char('\n')).toStdString(), "");
}

TEST_F(WindowLook, SmallWindowsShowWholeTexts)
{
    Look::expectWholeTexts({
        {"about", [] { return new frmAbout; }},
        {"properties", [] { return new frmProperties; }},
        {"unwrap", [] { return new frmUnwrap; }},
        {"dial", [] { return new frmRotIndicator; }},
        {"wrapmessage", [] { return new frmWrapMessage; }},
        {"promptmove", [] { return new frmPromptMoveTelescope; }},
    });
}
