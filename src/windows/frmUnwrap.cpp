#include "windows/frmUnwrap.h"

#include "link/ModuleState.h"

#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

frmUnwrap::frmUnwrap(QWidget *parent) : OkCancelDialog(parent)
{
    setObjectName(QStringLiteral("frmUnwrap"));
    setWindowTitle(QStringLiteral("Unwrap ZEL"));
    Option1 = new QRadioButton(QStringLiteral("Full unwrap"), this);
    Option1->setObjectName(QStringLiteral("Option1"));
    Option2 = new QRadioButton(QStringLiteral("Unwrap 360 degrees"), this);
    Option2->setObjectName(QStringLiteral("Option2"));
    Option2->setChecked(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Option1);
    layout->addWidget(Option2);
    layout->addLayout(buttonRow());
}

void frmUnwrap::cmdOK_Click()
{
    Module().rotator.UnwrapChoice = Option1->isChecked() ? 1 : 2;
    accept();
}

void frmUnwrap::cmdCancel_Click()
{
    Module().rotator.UnwrapChoice = 0;
    QDialog::reject();
}

int16_t frmUnwrap::ask(QWidget *parent)
{
    frmUnwrap window(parent);
    window.exec();
    return Module().rotator.UnwrapChoice;
}
