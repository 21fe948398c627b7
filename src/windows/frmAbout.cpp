#include "windows/frmAbout.h"

#include "link/ModuleState.h"
#include "platform/Controls.h"
#include "platform/UserPrompts.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPointer<frmAbout> g_about;

} // namespace

frmAbout::frmAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Project1"));
    lblTitle = NewControl<QLabel>(this, "lblTitle", QStringLiteral("Application Title"));
    QFont titleFont = lblTitle->font();
    titleFont.setPointSize(titleFont.pointSize() * 3 / 2);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblVersion = NewControl<QLabel>(this, "lblVersion", QStringLiteral("Version"));
    lblFirmware = NewControl<QLabel>(this, "lblFirmware", QStringLiteral("App Description"));
    Line1 = NewControl<QFrame>(this, "Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    cmdOK = NewControl<QPushButton>(this, "cmdOK", QStringLiteral("OK"));
    cmdOK->setDefault(true);
    cmdSysInfo = NewControl<QPushButton>(this, "cmdSysInfo", QStringLiteral("&System Info..."));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblTitle);
    layout->addWidget(lblVersion);
    layout->addWidget(lblFirmware);
    layout->addWidget(Line1);
    layout->addLayout(ButtonRow({cmdOK, cmdSysInfo}));

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    Form_Load();
}

void frmAbout::Form_Load()
{
    lblVersion->setText(QStringLiteral("Version ") + QCoreApplication::applicationVersion());
    // The caption's lone carriage return breaks the line; a label would show it as a blank.
    lblTitle->setText(QStringLiteral("Brenwick \nKorvane"));
    lblFirmware->setText(QStringLiteral("Firmware version:  ") + Module().link.FirmwareVersion);
}

void frmAbout::cmdOK_Click()
{
    close();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::StartSysInfo()
{
    // This platform has no system-information tool.
    MsgBox(QStringLiteral("System Information Is Unavailable At This Time"), vbconst::vbOKOnly);
}

void frmAbout::showWindow()
{
    if (!g_about) {
        g_about = new frmAbout;
        g_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    g_about->show();
    g_about->raise();
}
