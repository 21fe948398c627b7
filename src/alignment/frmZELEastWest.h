#pragma once

#include "alignment/TheSkyPrompt.h"

#include <cstdint>

// With the telescope near the meridian: on which side of the mount is it? The answer goes
// to EastWestChoice: 1 east, -1 west.
class frmZELEastWest : public TheSkyPrompt
{
    Q_OBJECT

public:
    explicit frmZELEastWest(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QPushButton *cmdEast = nullptr;
    QPushButton *cmdWest = nullptr;

    void cmdEast_Click();
    void cmdWest_Click();

    // Shows a fresh window modally and returns EastWestChoice (0 when it was closed
    // unanswered: the side stays undetermined).
    static int16_t ask(QWidget *parent = nullptr);
};
