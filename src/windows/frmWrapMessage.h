#pragma once

#include "platform/VbTimer.h"

#include <QWidget>

class QLabel;

// "Wrap Limit Exceeded", closing itself 2 seconds after it opens.
class frmWrapMessage : public QWidget
{
    Q_OBJECT

public:
    explicit frmWrapMessage(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    VbTimer Timer1;

protected:
    void showEvent(QShowEvent *event) override;
};
