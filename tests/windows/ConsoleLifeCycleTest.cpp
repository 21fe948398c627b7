#include "ConsoleFixture.h"

#include "platform/VbFiles.h"
#include "platform/DataFolder.h"


using ConsoleLifeCycle = ConsoleFixture;

TEST_F(ConsoleLifeCycle, LoadHoldsTheLinkAndTakesTheStoredChoices)
{
    ModuleState &m = Module();
    struct Case { int16_t focusStep; int16_t rotateStep; const char *option; int16_t focusIncrement; int rotateSpin; int32_t rotateIncrement; const char *rotateLabel; };
    const Case cases[] = {
        {0, 0, "0", 1, 0, 100, "0.5"},          // the spinners' own positions still set the increments
        {2, 4, "270", 25, 4, 54000, "270.0"},
        {3, 4, "0", 100, 0, 100, "0.5"},        // a custom step of 0 falls back to the first choice
        {3, 4, "-45", 100, 0, 100, "0.5"},      // as does one the step rule refuses
        {9, -1, "0", 1, 0, 100, "0.5"},         // out of range: the spinners stay where they are
    };
    for (const Case &c : cases) {
        m.settings.FocusStep = c.focusStep;
        m.settings.RotateStep = c.rotateStep;
        m.settings.RotateStepOption = QString::fromLatin1(c.option);
        open();
        EXPECT_EQ(m.link.ClientCount, 2);
        EXPECT_TRUE(m.link.ConsoleFormOpen);
        EXPECT_EQ(form->FocusIncrement, c.focusIncrement) << c.focusStep;
        EXPECT_EQ(form->lblfocusIncrement->text(), QString::number(c.focusIncrement));
        EXPECT_EQ(form->UpDown3->value(), c.rotateSpin);
        EXPECT_EQ(form->RotateIncrement, c.rotateIncrement) << c.rotateStep;
        EXPECT_EQ(form->lblRotateIncrement->text(), QString::fromLatin1(c.rotateLabel));
        EXPECT_EQ(m.settings.FocusStep, c.focusStep); // not rewritten by the load
        closeWindows();
        EXPECT_EQ(m.link.ClientCount, 1);
        EXPECT_FALSE(m.link.ConsoleFormOpen);
    }
}

TEST_F(ConsoleLifeCycle, OpensOnTheRotatorTabWhereItWasLeftAndSavesItsPlace)
{
    ModuleState &m = Module();
    m.rotator.RotatorTabShown = true;
    m.settings.MiniPosX = 40;
    m.settings.MiniPosY = 30;
    open();
    EXPECT_EQ(form->TabStrip1->currentIndex(), 1);
    EXPECT_TRUE(form->conTab[1]->isVisible());
    EXPECT_FALSE(form->conTab[0]->isVisible());
    EXPECT_TRUE(form->optFan[2]->isChecked());
    EXPECT_TRUE(form->optSet[0]->isChecked());
    EXPECT_FALSE(form->UpDown5->isEnabled());
    EXPECT_EQ(form->pos(), QPoint(40, 30));
    form->move(70, 60);
    closeWindows();
    EXPECT_EQ(DriverKey::stored(QStringLiteral("MiniPosX")).toInt(), 70);
    EXPECT_EQ(DriverKey::stored(QStringLiteral("MiniPosY")).toInt(), 60);
    EXPECT_EQ(m.settings.MiniPosX, 70);
}

TEST_F(ConsoleLifeCycle, ClosingWhileLoggingStopsWithoutAQuestionWhenOnlyTheConsoleHolds)
{
    ModuleState &m = Module();
    open();
    m.tools.LoggingActive = true;
    m.tools.LogFileNumber = VbFiles::FreeFile();
    VbFiles::Open(m.tools.LogFileNumber, DataFolder::file(QStringLiteral("console-log.csv")), VbFiles::Mode::Output);
    m.link.ClientCount = 1; // the console's own holder only
    EXPECT_TRUE(form->Form_QueryUnload());
    m.link.ClientCount = 2;
    EXPECT_TRUE(prompts.boxes.isEmpty());
    EXPECT_FALSE(m.tools.LoggingActive);
    EXPECT_FALSE(VbFiles::IsOpen(m.tools.LogFileNumber));

    // A client still holds the program: the question decides.
    struct Case { int answer; bool stays; bool loggingAfter; };
    const Case cases[] = {{vbconst::vbCancel, true, true}, {vbconst::vbYes, false, true}, {vbconst::vbNo, false, false}};
    for (const Case &c : cases) {
        open();
        m.tools.LoggingActive = true;
        prompts.boxes.clear();
        prompts.answer = [&](const MessageBoxRequest &) { return c.answer; };
        form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_EQ(prompts.boxes.size(), 1);
        EXPECT_TRUE(prompts.boxes[0].prompt.startsWith(QStringLiteral("Data logging is active and you are closing all VKM windows.")));
        EXPECT_EQ(prompts.boxes[0].buttons, vbconst::vbYesNoCancel | vbconst::vbQuestion);
        EXPECT_EQ(ConsoleForm(false) != nullptr, c.stays) << c.answer;
        EXPECT_EQ(m.tools.LoggingActive, c.loggingAfter) << c.answer;
        m.tools.LoggingActive = false;
        closeWindows();
    }
}

class ConsoleEnd : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
};

TEST_F(ConsoleEnd, TheLastHolderClosingEndsTheProcessWithoutAQuestion)
{
    EXPECT_EXIT(
        {
            Module().link.ClientCount = 0;
            open();
            Module().tools.LoggingActive = true;
            prompts.answer = [](const MessageBoxRequest &) -> int { std::_Exit(3); };
            form->close();
            std::_Exit(4);
        },
        ::testing::ExitedWithCode(0), "");
}

// Exit code 5: the main window holds the program, the console is gone, the steps are stored.
TEST_F(ConsoleEnd, ShowFullApplicationHandsOverWithoutEndingTheProcess)
{
    EXPECT_EXIT(
        {
            ModuleState &m = Module();
            m.link.ClientCount = 0;
            open();
            form->UpDown1->setValue(3);
            form->UpDown3->setValue(2);
            form->cmdShowMain->trigger();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            const bool handedOver = MainForm(false) && MainForm(false)->isVisible() && !ConsoleForm(false)
                                    && m.link.ClientCount == 1 && m.link.MainFormOpen && !m.link.ConsoleFormOpen;
            const bool stored = DriverKey::stored(QStringLiteral("FocusStep")).toInt() == 3
                                && DriverKey::stored(QStringLiteral("RotateStep")).toInt() == 2;
            std::_Exit(handedOver && stored ? 5 : 6);
        },
        ::testing::ExitedWithCode(5), "");
}

TEST_F(ConsoleEnd, ShowMiniConsoleHandsOverWithoutEndingTheProcess)
{
    EXPECT_EXIT(
        {
            ModuleState &m = Module();
            m.link.ClientCount = 0;
            frmMain *main = MainForm();
            main->show();
            main->mnuMiniConsole->trigger();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            const bool handedOver = ConsoleForm(false) && ConsoleForm(false)->isVisible() && !MainForm(false)
                                    && m.link.ClientCount == 1 && m.link.ConsoleFormOpen && !m.link.MainFormOpen;
            std::_Exit(handedOver ? 5 : 6);
        },
        ::testing::ExitedWithCode(5), "");
}
