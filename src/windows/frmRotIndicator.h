#pragma once

#include "platform/VbTimer.h"

#include <QWidget>

class QPushButton;

// The live dial of the rotator's actual and target angles, topmost, with a Cancel button
// that stops the rotator.
class frmRotIndicator : public QWidget
{
    Q_OBJECT

public:
    explicit frmRotIndicator(QWidget *parent = nullptr);

    QWidget *Picture1 = nullptr;
    QPushButton *Command1 = nullptr;
    VbTimer Timer1;

    // Shows the window modeless and starts the redraw.
    void showIndicator();
    void Command1_Click();

    // The dial angle of a position in radians: zero or negative, its size the position's
    // fraction of a turn counter-clockwise from 3 o'clock.
    static double dialAngle(int32_t steps);

    // The arc the dial draws, in radians as dialAngle gives them: from start to end
    // counter-clockwise.
    struct Arc
    {
        double start = 0;
        double end = 0;
    };
    static Arc currentArc();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paintDial();
};
