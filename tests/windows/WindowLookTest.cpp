#include "ConsoleFixture.h"
#include "support/WindowLook.h"
#include "windows/frmAbout.h"
#include "windows/frmPromptMoveTelescope.h"
#include "windows/frmProperties.h"
#include "windows/frmRotIndicator.h"
#include "windows/ToolbarIcons.h"
#include "windows/frmUnwrap.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QTabWidget>
#include <QTemporaryDir>

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

TEST_F(WindowLook, ConnectDisconnectAndConsoleKeysShowTheThemesPicturesElseOurOwn)
{
    frmMain *main = MainForm();
    const std::pair<const char *, const char *> keys[] = {
        {"DialPhoneNumber", "Connect"}, {"HangUpPhone", "Disconnect"}, {"Mini", "Show mini console"}};
    for (const auto &[key, tip] : keys) {
        auto *action = main->findChild<QAction *>(QString::fromLatin1(key));
        ASSERT_NE(action, nullptr) << key;
        EXPECT_EQ(action->property("Key").toString(), QString::fromLatin1(key));
        EXPECT_EQ(action->toolTip(), QString::fromLatin1(tip));
        ASSERT_FALSE(action->icon().isNull()) << key;
    }
    EXPECT_NE(main->findChild<QAction *>(QStringLiteral("DialPhoneNumber"))->icon().pixmap(24).toImage(),
              main->findChild<QAction *>(QStringLiteral("HangUpPhone"))->icon().pixmap(24).toImage());

    // A desktop theme that has the pictures gives them.
    QTemporaryDir themes;
    QDir(themes.path()).mkpath(QStringLiteral("look/24x24/actions"));
    QFile index(themes.path() + QStringLiteral("/look/index.theme"));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=look\nDirectories=24x24/actions\n\n[24x24/actions]\nSize=24\nType=Fixed\n");
    index.close();
    for (const char *name : {"network-connect", "network-disconnect", "utilities-terminal"}) {
        QPixmap picture(24, 24);
        picture.fill(Qt::blue);
        picture.save(themes.path() + QStringLiteral("/look/24x24/actions/%1.png").arg(QLatin1String(name)));
    }
    const QStringList paths = QIcon::themeSearchPaths();
    const QString theme = QIcon::themeName();
    QIcon::setThemeSearchPaths({themes.path()});
    QIcon::setThemeName(QStringLiteral("look"));
    EXPECT_EQ(ToolbarIcons::connect().name(), QStringLiteral("network-connect"));
    EXPECT_EQ(ToolbarIcons::disconnect().name(), QStringLiteral("network-disconnect"));
    EXPECT_EQ(ToolbarIcons::console().name(), QStringLiteral("utilities-terminal"));
    QIcon::setThemeName(theme);
    QIcon::setThemeSearchPaths(paths);
}
