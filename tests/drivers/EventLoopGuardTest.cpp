#include "drivers/Focuser.h"
#include "link/HandlerError.h"
#include "platform/CallFiber.h"
#include "platform/ClockTimer.h"
#include "platform/GuardedApplication.h"
#include "platform/Held.h"
#include "platform/Wait.h"
#include "support/ControllerBench.h"
#include "support/EscapedErrors.h"
#include "support/RecordingPrompts.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPushButton>

namespace {

VbError failure()
{
    return VbError(5, QStringLiteral("Invalid procedure call or argument"));
}

// A window whose close path fails.
class FailingClose : public QWidget
{
protected:
    void closeEvent(QCloseEvent *) override { throw failure(); }
};

class EventLoopGuardTest : public ControllerBench
{
protected:
    void SetUp() override
    {
        ControllerBench::SetUp();
        InstallHandlerErrorGuard();
    }
    void TearDown() override
    {
        FailTestsOnEscapedErrors();
        ControllerBench::TearDown();
    }

    // The error boxes shown once the event loop has run.
    QList<MessageBoxRequest> boxesAfterEvents()
    {
        Wait::For(50);
        QList<MessageBoxRequest> shown = prompts.boxes;
        prompts.boxes.clear();
        return shown;
    }

    void expectOneErrorBox(const char *where)
    {
        const QList<MessageBoxRequest> shown = boxesAfterEvents();
        ASSERT_EQ(shown.size(), 1) << where;
        EXPECT_EQ(shown[0].prompt, QStringLiteral("Error number: 5 Invalid procedure call or argument")) << where;
        EXPECT_EQ(shown[0].title, QStringLiteral("VKM")) << where;
        EXPECT_EQ(shown[0].icon(), int(vbconst::vbExclamation)) << where;
    }

    RecordingPrompts prompts;
};

void postClick(QPushButton &button)
{
    const QPointF centre = QRectF(button.rect()).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(&button, new QMouseEvent(type, centre, button.mapToGlobal(centre), Qt::LeftButton,
                                                             type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                                             Qt::NoModifier));
}

} // namespace

TEST_F(EventLoopGuardTest, ErrorsEscapingHandlersBecomeTheErrorBoxAndTheServerGoesOn)
{
    Focuser focuser;
    focuser.Let(QStringLiteral("Link"), Variant(true));
    Wait::For(300);
    prompts.boxes.clear();

    QPushButton button(QStringLiteral("Fail"));
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        ++clicks;
        throw failure();
    });
    button.show();
    postClick(button);
    expectOneErrorBox("button");
    postClick(button); // the window that raised it stays usable
    expectOneErrorBox("button again");
    EXPECT_EQ(clicks, 2);

    ClockTimer tick;
    tick.setSingleShot(true);
    QObject::connect(&tick, &ClockTimer::timeout, [] { throw failure(); });
    tick.start(100);
    Wait::For(200);
    expectOneErrorBox("timer tick");

    FailingClose window;
    window.show();
    window.close();
    expectOneErrorBox("close");

    CallFiber::Start([] { throw failure(); });
    expectOneErrorBox("automation call's fiber");

    CallFiber::Start([] { Held(std::shared_ptr<Dispatch>()).Call(QStringLiteral("Refresh")); });
    const QList<MessageBoxRequest> unset = boxesAfterEvents();
    ASSERT_EQ(unset.size(), 1);
    EXPECT_EQ(unset[0].prompt, QStringLiteral("Error number: 91 Object variable or With block variable not set"));

    sim.setFocuserPosition(4321);
    EXPECT_EQ(focuser.Get(QStringLiteral("Position")).toLong(), 4321);
    EXPECT_TRUE(boxesAfterEvents().isEmpty());
}

TEST_F(EventLoopGuardTest, ErrorsEscapingTogetherOpenTheirBoxesOneAfterAnother)
{
    int open = 0;
    int most = 0;
    prompts.answer = [&](const MessageBoxRequest &) {
        most = std::max(most, ++open);
        Wait::For(20); // a box serves events while it is up
        --open;
        return int(vbconst::vbOK);
    };
    ClockTimer first;
    ClockTimer second;
    for (ClockTimer *timer : {&first, &second}) {
        timer->setSingleShot(true);
        QObject::connect(timer, &ClockTimer::timeout, [] { throw failure(); });
        timer->start(10);
    }
    Wait::For(100);
    EXPECT_EQ(prompts.boxes.size(), 2);
    EXPECT_EQ(most, 1);
}
