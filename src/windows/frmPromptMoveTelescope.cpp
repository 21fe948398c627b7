#include "windows/frmPromptMoveTelescope.h"

#include "link/ModuleState.h"
#include "windows/OkCancelButtons.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

frmPromptMoveTelescope::frmPromptMoveTelescope(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPromptMoveTelescope"));
    setWindowTitle(QStringLiteral("ORVA VKM"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    Label1 = new QLabel(QStringLiteral("Slew telescope to new FOV position?"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(okCancelButtons(this, cmdOK, cmdCancel));
    connect(cmdOK, &QPushButton::clicked, this, &frmPromptMoveTelescope::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmPromptMoveTelescope::cmdCancel_Click);
}

void frmPromptMoveTelescope::cmdOK_Click()
{
    Module().thesky.MoveTelescopeConfirmed = true;
    accept();
}

void frmPromptMoveTelescope::cmdCancel_Click()
{
    reject();
}

void frmPromptMoveTelescope::reject()
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
