#include "drivers/DriverSetupDialog.h"

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

void DriverSetupDialog::storeLinkSettings(SettingsWrite &write)
{
    ModuleState::Link &link = Module().link;
    const int16_t console = Check1->isChecked() ? 1 : 0;
    if (store(write, QStringLiteral("ControlConsole"), REG_DWORD, console))
        link.ControlConsole = console;
    const int16_t port = int16_t(cmbPorts->currentIndex() + 1);
    if (store(write, QStringLiteral("PORT"), REG_DWORD, port))
        applyPort(port);
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

void DriverSetupDialog::applyPort(int16_t port)
{
    ModuleState &m = Module();
    const std::shared_ptr<Serial> link = m.link.SharedSerial;
    if (!link)
        return;
    // Failures of the link are not shown here: a failed reopen leaves it closed, and the
    // drivers open it again on their next link.
    const bool wasOpen = link->Connected();
    try {
        if (wasOpen)
            link->setConnected(false); // refused while a firmware upload owns the line
    } catch (const VbError &) {
        return;
    }
    m.link.PortNumber = port;
    try {
        link->setPort(m.link.PortNumber);
        if (wasOpen)
            link->setConnected(true);
    } catch (const VbError &) {
    }
    m.settings.Absolute = true;
}
