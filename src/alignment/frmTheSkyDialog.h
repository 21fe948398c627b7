#pragma once

#include "alignment/TheSkyPrompt.h"

#include <cstdint>

// TheSky's north angle changed since the last synchronisation: set TheSky to the rotator,
// turn the rotator to TheSky, or synchronise later. The answer goes to TheSkySyncChoice:
// 1, 2 or 3 in that order.
class frmTheSkyDialog : public TheSkyPrompt
{
    Q_OBJECT

public:
    explicit frmTheSkyDialog(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QPushButton *cmdTStoZEL = nullptr;
    QPushButton *cmdZELtoTS = nullptr;
    QPushButton *cmdSynchLater = nullptr;

    void cmdTStoZEL_Click();
    void cmdZELtoTS_Click();
    void cmdSynchLater_Click();

    // Shows a fresh window modally and returns TheSkySyncChoice (3, later, when it was
    // closed unanswered).
    static int16_t ask(QWidget *parent = nullptr);
};
