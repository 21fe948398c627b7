#include "windows/frmWrapMessage.h"

#include <QLabel>
#include <QVBoxLayout>

frmWrapMessage::frmWrapMessage(QWidget *parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmWrapMessage"));
    Label1 = new QLabel(QStringLiteral("Wrap Limit Exceeded"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont big = Label1->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    Label1->setFont(big);
    (new QVBoxLayout(this))->addWidget(Label1);
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(2000);
    connect(&Timer1, &VbTimer::Tick, this, [this] {
        Timer1.setEnabled(false);
        close();
    });
}

void frmWrapMessage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    Timer1.setEnabled(true);
}
