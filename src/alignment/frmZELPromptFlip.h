#pragma once

#include "alignment/TheSkyPrompt.h"

#include <cstdint>

// After a probable meridian flip: turn the rotator or TheSky by half a turn, or nothing.
// The answer goes to FlipChoice: 0 nothing, 1 the rotator, 2 TheSky.
class frmZELPromptFlip : public TheSkyPrompt
{
    Q_OBJECT

public:
    explicit frmZELPromptFlip(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QPushButton *cmdFlip = nullptr;
    QPushButton *cmdRotateTS = nullptr;
    QPushButton *cmdDoNothing = nullptr;

    void cmdFlip_Click();
    void cmdRotateTS_Click();
    void cmdDoNothing_Click();

    // Shows a fresh window modally and returns FlipChoice (0 when it was closed unanswered).
    static int16_t ask(QWidget *parent = nullptr);
};
