#pragma once

#include "alignment/TheSkyPrompt.h"

// TheSky's indicator was turned: turn the rotator after it, or put TheSky back. The answer
// goes to TheSkyMoveChoice: True turn the rotator.
class frmTheSkyMove : public TheSkyPrompt
{
    Q_OBJECT

public:
    explicit frmTheSkyMove(QWidget *parent = nullptr);

    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;

    void Command1_Click();
    void Command2_Click();

    // Shows a fresh window modally and returns TheSkyMoveChoice (False when it was closed
    // unanswered: the rotator is not turned).
    static bool ask(QWidget *parent = nullptr);
};
