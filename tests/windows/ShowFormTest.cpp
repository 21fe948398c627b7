#include "drivers/Focuser.h"
#include "drivers/FormLauncher.h"
#include "platform/Wait.h"
#include "support/ControllerBench.h"
#include "windows/Forms.h"
#include "windows/frmConsole.h"
#include "windows/frmMain.h"

// The drivers' ShowForm opens the windows the program installs at start.
class ShowFormTest : public ControllerBench
{
protected:
    void SetUp() override
    {
        ControllerBench::SetUp();
        DriverForms().ShowConsole = ShowConsoleForm;
        DriverForms().ShowMainWindow = ShowMainForm;
    }
    void TearDown() override
    {
        DriverForms() = FormLauncher();
        ControllerBench::TearDown();
    }
};

TEST_F(ShowFormTest, TwoShowsTheMainWindowOnceAndNothingOpensWhileItIsLoaded)
{
    Focuser focuser;
    ASSERT_EQ(MainForm(false), nullptr);
    focuser.Call(QStringLiteral("ShowForm"), {Variant(int16_t(2))});
    frmMain *window = MainForm(false);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(Module().link.MainFormOpen);
    focuser.Call(QStringLiteral("ShowForm"), {Variant(int16_t(2))});
    EXPECT_EQ(MainForm(false), window);

    window->close();
    Wait::Until(2000, [] { return MainForm(false) == nullptr; });
    EXPECT_FALSE(Module().link.MainFormOpen);
}

TEST_F(ShowFormTest, OneShowsOneConsoleOnlyWhileTheMainWindowIsClosed)
{
    Focuser focuser;
    focuser.Call(QStringLiteral("ShowForm"), {Variant(int16_t(1))});
    frmConsole *console = ConsoleForm(false);
    ASSERT_NE(console, nullptr);
    EXPECT_TRUE(console->isVisible());
    EXPECT_TRUE(Module().link.ConsoleFormOpen);
    focuser.Call(QStringLiteral("ShowForm"), {Variant(int16_t(1))});
    EXPECT_EQ(ConsoleForm(false), console);
    console->close();
    Wait::Until(2000, [] { return ConsoleForm(false) == nullptr; });
    EXPECT_FALSE(Module().link.ConsoleFormOpen);

    Module().link.MainFormOpen = true;
    focuser.Call(QStringLiteral("ShowForm"), {Variant(int16_t(1))});
    EXPECT_EQ(ConsoleForm(false), nullptr);
    Module().link.MainFormOpen = false;
}
