#include "drivers/DriverSetupDialog.h"

#include "link/LinkPortChange.h"
#include "link/ModuleState.h"
#include "link/Serial.h"
#include "platform/Controls.h"
#include "platform/UserPrompts.h"
#include "platform/VbError.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>

namespace {

constexpr int PortCount = 20;

} // namespace

DriverSetupDialog::DriverSetupDialog(const QString &name, const QString &caption, const QString &title,
                                     QWidget *parent)
    : OkCancelDialog(parent)
{
    setObjectName(name);
    setWindowTitle(caption);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(true);

    Label2 = NewControl<QLabel>(this, "Label2", title);
    QFont titleFont = Label2->font();
    titleFont.setBold(true);
    Label2->setFont(titleFont);
    Label1 = NewControl<QLabel>(this, "Label1", QStringLiteral("COM Port"));
    cmbPorts = NewControl<QComboBox>(this, "cmbPorts");
    Check1 = NewControl<QCheckBox>(this, "Check1", QStringLiteral("Launch control console"));
    cmdOK->setDefault(true);

    auto *port = new QHBoxLayout;
    port->addWidget(Label1);
    port->addWidget(cmbPorts);
    port->addStretch();
    m_body = new QVBoxLayout;
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label2);
    layout->addLayout(port);
    layout->addWidget(Check1);
    layout->addLayout(m_body);
    layout->addLayout(buttonRow());

}

DriverSetupDialog::~DriverSetupDialog()
{
    if (m_keyOpen)
        RegCloseKey(m_key);
}

void DriverSetupDialog::openKeyAndReadLinkSettings()
{
    m_keyOpen = RegOpenKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, 0, SettingsKeyAccess, &m_key) == ERROR_SUCCESS;
    ModuleState::Link &link = Module().link;
    readSetting(QStringLiteral("PORT"), REG_DWORD, 1, link.PortNumber);
    readSetting(QStringLiteral("ControlConsole"), REG_DWORD, 0, link.ControlConsole);
}

bool DriverSetupDialog::readValue(const QString &name, DWORD type, const QVariant &defaultValue, QVariant &value)
{
    if (!m_keyOpen)
        return false;
    const LSTATUS rc = QueryRegistryValue(m_key, name, value);
    if (rc == ERROR_FILE_NOT_FOUND) {
        SetRegistryValue(m_key, name, int32_t(type), defaultValue);
        value = defaultValue;
        return true;
    }
    return rc == ERROR_SUCCESS;
}

void DriverSetupDialog::showLinkSettings()
{
    for (int n = 1; n <= PortCount; ++n)
        cmbPorts->addItem(QStringLiteral("COM%1").arg(n));
    const int16_t port = Module().link.PortNumber;
    cmbPorts->setCurrentIndex(port >= 1 && port <= PortCount ? port - 1 : 0);
    Check1->setChecked(Module().link.ControlConsole != 0);
}

bool DriverSetupDialog::storeLinkSettings(SettingsWrite &write)
{
    ModuleState::Link &link = Module().link;
    const int16_t port = int16_t(cmbPorts->currentIndex() + 1);
    // The link goes on the chosen port first (closed and reopened when it was open, even on
    // the same number), so that the port stored is always one the link is on.
    std::optional<LinkPortChange> move;
    try {
        if (link.SharedSerial)
            move.emplace(*link.SharedSerial, port, false);
    } catch (const VbError &e) { // the port does not open, or a firmware upload owns the line
        MsgBox(e.description(), vbconst::vbOKOnly | vbconst::vbExclamation);
        return false;
    }
    const int16_t console = Check1->isChecked() ? 1 : 0;
    if (store(write, QStringLiteral("ControlConsole"), REG_DWORD, console))
        link.ControlConsole = console;
    if (!store(write, QStringLiteral("PORT"), REG_DWORD, port)) {
        if (move)
            move->undo();
        return true;
    }
    link.PortNumber = port;
    Module().settings.Absolute = true;
    return true;
}

bool DriverSetupDialog::store(SettingsWrite &write, const QString &name, DWORD type, const QVariant &value) const
{
    return !m_keyOpen || write.put(name, int32_t(type), value);
}

bool DriverSetupDialog::allSaved(const SettingsWrite &write)
{
    if (write.failed())
        MsgBox(write.failure(), vbconst::vbOKOnly | vbconst::vbExclamation);
    return !write.failed();
}

void DriverSetupDialog::refuseDuringUpload()
{
    // Its modal loop would hold up the boot loader, and its OK could not move the link.
    if (Module().tools.FlashInProgress)
        throw Serial::UploadOwnsPort();
}
