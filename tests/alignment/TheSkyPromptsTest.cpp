#include "alignment/frmTheSkyDialog.h"
#include "alignment/frmTheSkyMove.h"
#include "alignment/frmZELEastWest.h"
#include "alignment/frmZELPromptFlip.h"
#include "link/ModuleState.h"
#include "support/WidgetInput.h"
#include "QStringPrinter.h"

#include <QLabel>
#include <QPushButton>
#include <functional>
#include <gtest/gtest.h>

namespace {

struct Prompt
{
    const char *caption;
    const char *text; // Label1; nullptr: none
    std::function<int()> ask;
    struct Answer { const char *button; const char *caption; int value; };
    std::vector<Answer> answers;
    int unanswered; // the value after a close by the title bar
};

std::vector<Prompt> prompts()
{
    return {
        {"VKM...Confirm Meridian Flip.",
         "The VKM has detected a probable Meridian flip.  Please select desired action.",
         [] { return frmZELPromptFlip::ask(); },
         {{"cmdFlip", "Rotate the ZEL 180 degrees.", 1},
          {"cmdRotateTS", "Rotate TheSky 180 degrees.", 2},
          {"cmdDoNothing", "Do Nothing.  NO meridian flip has occurred.", 0}},
         0},
        {"VKM...Determine telescope orientation.",
         "Your telescope is currently pointing near the Meridian.  Please select the side of the mount that the "
         "telescope is currently positioned.",
         [] { return frmZELEastWest::ask(); },
         {{"cmdEast", "The telescope is on the EAST side of the mount.", 1},
          {"cmdWest", "The telescope is on the WEST side of the mount.", -1}},
         0},
        {"TheSky Has Rotated", nullptr, [] { return frmTheSkyMove::ask() ? -1 : 0; },
         {{"Command1", "Rotate ZEL to New TheSky Rotation", -1}, {"Command2", "Cancel TheSky Rotation", 0}},
         0},
        {"VKM",
         "The Sky view has changed its North Angle rotation since the last synchronization with the VKM.  Do you "
         "want to: \r1) Set The Sky to the current ZEL angle?\r2) Rotate the ZEL to the current The Sky north "
         "angle?\r3) Synchronize manually later?",
         [] { return frmTheSkyDialog::ask(); },
         {{"cmdTStoZEL", "Set TheSky to ZEL", 1}, {"cmdZELtoTS", "Rotate ZEL to TheSky", 2},
          {"cmdSynchLater", "Synch later", 3}},
         3},
    };
}

// The prompt's answer after pressing `button`, or closing by the title bar when it is null.
int answer(const Prompt &p, const char *button)
{
    WidgetInput::whenModal([&p, button](QWidget *w) {
        EXPECT_EQ(w->windowTitle(), QString::fromLatin1(p.caption));
        EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
        auto *label = w->findChild<QLabel *>(QStringLiteral("Label1"));
        EXPECT_EQ(label ? label->text() : QString(), p.text ? QString::fromLatin1(p.text) : QString());
        for (const Prompt::Answer &a : p.answers)
            EXPECT_EQ(w->findChild<QPushButton *>(QString::fromLatin1(a.button))->text(), QString::fromLatin1(a.caption));
        if (button)
            WidgetInput::click(w, button);
        else
            w->close();
    });
    return p.ask();
}

} // namespace

TEST(TheSkyPrompts, EachButtonStoresItsAnswer)
{
    for (const Prompt &p : prompts())
        for (const Prompt::Answer &a : p.answers)
            EXPECT_EQ(answer(p, a.button), a.value) << p.caption << " " << a.button;
    const ModuleState::TheSky &t = Module().thesky;
    EXPECT_EQ(t.TheSkySyncChoice, 3); // the last button of each prompt
    EXPECT_EQ(t.EastWestChoice, -1);
    EXPECT_FALSE(t.TheSkyMoveChoice);
}

TEST(TheSkyPrompts, TitleBarCloseNeverRepeatsAnEarlierAnswer)
{
    for (const Prompt &p : prompts())
        for (const Prompt::Answer &a : p.answers) {
            ASSERT_EQ(answer(p, a.button), a.value);
            EXPECT_EQ(answer(p, nullptr), p.unanswered) << p.caption << " after " << a.button;
        }
}
