#include "windows/frmPromptMoveTelescope.h"

#include "link/ModuleState.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

frmPromptMoveTelescope::frmPromptMoveTelescope(QWidget *parent) : OkCancelDialog(parent)
{
    setObjectName(QStringLiteral("frmPromptMoveTelescope"));
    setWindowTitle(QStringLiteral("ORVA VKM"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    Label1 = new QLabel(QStringLiteral("Slew telescope to new FOV position?"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(buttonRow());
}

void frmPromptMoveTelescope::cmdOK_Click()
{
    Module().thesky.MoveTelescopeConfirmed = true;
    accept();
}

void frmPromptMoveTelescope::cmdCancel_Click()
{
    Module().thesky.MoveTelescopeConfirmed = false;
    QDialog::reject();
}

bool frmPromptMoveTelescope::ask(QWidget *parent)
{
    frmPromptMoveTelescope window(parent);
    window.exec();
    return Module().thesky.MoveTelescopeConfirmed;
}
