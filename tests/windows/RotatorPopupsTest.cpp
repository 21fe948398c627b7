#include "MainWindowFixture.h"

#include "windows/frmPromptMoveTelescope.h"
#include "windows/frmUnwrap.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cmath>

namespace {

// Acts on the modal window once it is up, then closes it the way `finish` says.
void whenModal(std::function<void(QWidget *)> act)
{
    QTimer::singleShot(0, [act] {
        QWidget *modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(modal);
    });
}

void click(QWidget *window, const char *name)
{
    window->findChild<QPushButton *>(QString::fromLatin1(name))->click();
}

} // namespace

using RotatorPopups = MainWindowFixture;

TEST_F(RotatorPopups, UnwrapChoiceByButtonAndByTitleBar)
{
    struct Case { const char *option; const char *button; bool titleBar; int16_t choice; };
    const Case cases[] = {
        {nullptr, "cmdOK", false, 2},       // untouched: by 360 degrees
        {"Option1", "cmdOK", false, 1},
        {"Option1", "cmdCancel", false, 0},
        {"Option1", "cmdOK", false, 1},
        {nullptr, nullptr, true, 0},        // closed by the title bar after an earlier answer
    };
    for (const Case &c : cases) {
        whenModal([c](QWidget *w) {
            EXPECT_EQ(w->windowTitle(), QStringLiteral("Unwrap ZEL"));
            if (c.option)
                w->findChild<QRadioButton *>(QString::fromLatin1(c.option))->setChecked(true);
            if (c.titleBar)
                w->close();
            else
                click(w, c.button);
        });
        EXPECT_EQ(frmUnwrap::ask(), c.choice);
    }
}

TEST_F(RotatorPopups, SlewPromptAnswersAndTitleBarMeansCancel)
{
    whenModal([](QWidget *w) {
        EXPECT_EQ(w->windowTitle(), QStringLiteral("ORVA VKM"));
        click(w, "cmdOK");
    });
    EXPECT_TRUE(frmPromptMoveTelescope::ask());
    whenModal([](QWidget *w) { w->close(); });
    EXPECT_FALSE(frmPromptMoveTelescope::ask());
    Module().thesky.MoveTelescopeConfirmed = true;
    whenModal([](QWidget *w) { click(w, "cmdCancel"); });
    EXPECT_FALSE(frmPromptMoveTelescope::ask());
}

TEST_F(RotatorPopups, DialAngles)
{
    constexpr double Pi = 3.141592;
    struct Case { int32_t steps; double angle; };
    const Case cases[] = {{0, 0}, {18000, -Pi / 2}, {-18000, -1.5 * Pi}, {54000, -1.5 * Pi}, {72000, -2 * Pi}, {90000, -Pi / 2}};
    for (const Case &c : cases)
        EXPECT_NEAR(frmRotIndicator::dialAngle(c.steps), c.angle, 1e-9) << c.steps;

    ModuleState::Rotator &r = Module().rotator;
    r.RotatorSetPosition = 18000;
    r.RotatorPosition = 36000;
    r.RotatorDirection = -1;
    EXPECT_NEAR(frmRotIndicator::currentArc().start, -Pi, 1e-9);
    EXPECT_NEAR(frmRotIndicator::currentArc().end, -Pi / 2, 1e-9);
    r.RotatorDirection = 1;
    EXPECT_NEAR(frmRotIndicator::currentArc().start, -Pi / 2, 1e-9);
}

TEST_F(RotatorPopups, DialCancelStopsTheRotatorWithoutAMainWindow)
{
    Module().link.SharedSerial->setPort(1);
    Module().link.SharedSerial->setConnected(true);
    frmRotIndicator *dial = RotIndicatorForm();
    dial->showIndicator();
    EXPECT_TRUE(Module().rotator.RotIndicatorShown);
    EXPECT_TRUE(dial->Timer1.Enabled());
    dial->grab(); // draws once
    click(dial, "Command1");
    EXPECT_TRUE(sim.waitForReceived(QStringLiteral("q0 "), 2000));
    EXPECT_EQ(MainForm(false), nullptr);
    EXPECT_FALSE(Module().rotator.RotIndicatorShown);
}

TEST_F(RotatorPopups, WrapMessageClosesItselfAfterTwoSeconds)
{
    frmWrapMessage *message = WrapMessageForm();
    message->show();
    EXPECT_EQ(message->Label1->text(), QStringLiteral("Wrap Limit Exceeded"));
    QPointer<frmWrapMessage> watch(message);
    ASSERT_TRUE(Wait::Until(3000, [&] { return !watch || !watch->isVisible(); }));
}
