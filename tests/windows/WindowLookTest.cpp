#include "ConsoleFixture.h"
#include "support/WindowLook.h"
#include "windows/frmAbout.h"
#include "windows/frmPromptMoveTelescope.h"
#include "windows/frmProperties.h"
#include "windows/frmRotIndicator.h"
#include "windows/frmUnwrap.h"

#include <QTabWidget>

namespace {

Look::Pages tabs(std::initializer_list<int> order, const std::function<void(int)> &select)
{
    static const char *const names[] = {"tab0", "tab1", "tab2", "tab3", "tab4"};
    Look::Pages pages;
    for (int i : order)
        pages.emplace_back(names[i], [select, i] { select(i); });
    return pages;
}

class WindowLook : public ConsoleFixture
{
};

} // namespace

TEST_F(WindowLook, OperatorWindowsShowWholeTextsAndTheConsoleKeepsOneSize)
{
    QStringList cut;
    frmConsole *console = open();
    // Every tab twice, in an order that comes back to each from another.
    const auto sizes = Look::sizesOverPages(console, QStringLiteral("console"),
                                            tabs({0, 1, 2, 3, 4, 0, 3, 1, 4, 2, 0}, [console](int i) { console->TabStrip1->setCurrentIndex(i); }), cut);
    for (const QSize &size : sizes)
        EXPECT_TRUE(std::abs(size.width() - sizes.front().width()) <= 2 && std::abs(size.height() - sizes.front().height()) <= 2)
            << size.width() << "x" << size.height() << " against " << sizes.front().width() << "x" << sizes.front().height();
    frmMain *main = MainForm();
    Look::sizesOverPages(main, QStringLiteral("main"), tabs({0, 1, 2, 3}, [main](int i) { main->SSTab1->setCurrentIndex(i); }), cut);
    EXPECT_EQ(cut.join(QLatin1Char('\n')).toStdString(), "");

    // The Connect, Disconnect and console keys keep their keys and tips, with pictures of their own.
    QList<QImage> pictures;
    for (const char *key : {"DialPhoneNumber", "HangUpPhone", "Mini"}) {
        auto *action = main->findChild<QAction *>(QString::fromLatin1(key));
        EXPECT_EQ(action->property("Key").toString(), QString::fromLatin1(key));
        pictures << action->icon().pixmap(24).toImage();
        EXPECT_FALSE(pictures.back().isNull() || pictures.count(pictures.back()) > 1) << key;
    }
    EXPECT_EQ(main->findChild<QAction *>(QStringLiteral("HangUpPhone"))->toolTip(), QStringLiteral("Disconnect"));

    Look::expectWholeTexts({{"about", [] { return new frmAbout; }},
                            {"properties", [] { return new frmProperties; }},
                            {"unwrap", [] { return new frmUnwrap; }},
                            {"dial", [] { return new frmRotIndicator; }},
                            {"wrapmessage", [] { return new frmWrapMessage; }},
                            {"promptmove", [] { return new frmPromptMoveTelescope; }}});
}
