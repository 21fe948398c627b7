#include "windows/frmProperties.h"

#include "link/DriverSettings.h"
#include "link/LinkPortChange.h"
#include "link/ModuleState.h"
#include "link/Serial.h"
#include "platform/Controls.h"
#include "platform/UserPrompts.h"
#include "platform/VbError.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <optional>

namespace {

constexpr int PortCount = 20;

} // namespace

frmProperties::frmProperties(QWidget *parent) : OkCancelDialog(parent)
{
    setObjectName(QStringLiteral("frmProperties"));
    setWindowTitle(QStringLiteral("CommPort Properties"));
    Label1 = NewControl<QLabel>(this, "Label1", QStringLiteral("Port:"));
    cboPort = NewControl<QComboBox>(this, "cboPort");
    cmdOK->setDefault(true);

    auto *port = new QHBoxLayout;
    port->addWidget(Label1);
    port->addWidget(cboPort);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(port);
    layout->addLayout(buttonRow());

    Form_Load();
}

void frmProperties::Form_Load()
{
    adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    LoadPropertySettings();
}

void frmProperties::LoadPropertySettings()
{
    for (int n = 1; n <= PortCount; ++n)
        cboPort->addItem(QStringLiteral("Com%1").arg(n));
    const int16_t port = Module().link.PortNumber;
    cboPort->setCurrentIndex(port >= 1 && port <= PortCount ? port - 1 : -1);
}

void frmProperties::cmdOK_Click()
{
    ModuleState::Link &link = Module().link;
    const int16_t chosen = int16_t(cboPort->currentIndex() + 1);
    // Nothing chosen is no change.
    if (chosen == 0 || chosen == link.PortNumber) {
        accept();
        return;
    }
    // The number is stored only once the link is on it; a refusal leaves both as they were.
    std::optional<LinkPortChange> move;
    try {
        if (const std::shared_ptr<Serial> serial = link.SharedSerial)
            move.emplace(*serial, chosen, false);
    } catch (const VbError &e) { // the port does not open, or a firmware upload owns the line
        MsgBox(e.description(), vbconst::vbOKOnly | vbconst::vbExclamation);
        return;
    }
    if (const LSTATUS rc = storePortNumber(chosen)) {
        if (move)
            move->undo();
        MsgBox(rc == ERROR_REGISTRY_IO_FAILED ? SettingsNotSaved({QStringLiteral("PORT")})
                                              : QStringLiteral("Unable to open registry key"),
               vbconst::vbOKOnly | vbconst::vbExclamation);
        return;
    }
    link.PortNumber = chosen;
    accept();
}

LSTATUS frmProperties::storePortNumber(int16_t port)
{
    HKEY key = 0;
    LSTATUS rc = RegCreateKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, QString(), REG_OPTION_NON_VOLATILE,
                                SettingsKeyAccess, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = SetRegistryValue(key, QStringLiteral("PORT"), REG_DWORD, port);
    RegCloseKey(key);
    return rc;
}

void frmProperties::showModal(QWidget *parent)
{
    frmProperties window(parent);
    window.exec();
}
