#pragma once

#include "link/DriverSettings.h"

#include "platform/OkCancelDialog.h"
#include <QVariant>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

// What the focuser and rotator setup dialogs share: a modal, top-most dialog over the driver
// key, with the port list "COM1".."COM20", the console option and OK/Cancel. The key is
// opened when the dialog loads and closed when it goes; when it does not open, the dialog
// works on the module values and OK writes nothing. Otherwise OK takes a value into use only
// once it is on the disk, and a port only once the link is on it; what could not be saved or
// opened is named in a box and the dialog stays open.
class DriverSetupDialog : public OkCancelDialog
{
    Q_OBJECT

public:
    ~DriverSetupDialog() override;

    QLabel *Label2 = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *cmbPorts = nullptr;
    QCheckBox *Check1 = nullptr;


protected:
    // `name` is the window's name, `title` the text above the port list.
    DriverSetupDialog(const QString &name, const QString &caption, const QString &title, QWidget *parent);

    // Opens the driver key and reads "PORT" and "ControlConsole".
    void openKeyAndReadLinkSettings();
    // Reads one value into `variable`; a missing value is written back with its default.
    template <typename T>
    void readSetting(const QString &name, DWORD type, const QVariant &defaultValue, T &variable);
    // Selects the port and sets the console option from the module values.
    void showLinkSettings();

    // Puts the shared link on the chosen port, then writes "ControlConsole" and "PORT" and
    // takes each saved one into use (a port not saved puts the link back). False, with the
    // port's error in a box and nothing written, when the link cannot go on that port.
    bool storeLinkSettings(SettingsWrite &write);
    // Writes one value into the open key; true when it may be taken into use: saved, or no
    // key to save it in.
    bool store(SettingsWrite &write, const QString &name, DWORD type, const QVariant &value) const;
    // True when every write reached the disk; otherwise the box that names the others.
    static bool allSaved(const SettingsWrite &write);

    HKEY key() const { return m_key; }
    // Where a dialog adds its own controls: between the console option and the buttons.
    QVBoxLayout *body() const { return m_body; }

    // Shows a fresh `Dialog` modally and returns when it closes; while a firmware upload owns
    // the line it refuses at once with the upload's error, before the dialog reads anything.
    template <typename Dialog>
    static void showFresh()
    {
        refuseDuringUpload();
        Dialog dialog;
        dialog.exec();
    }

private:
    static void refuseDuringUpload();
    bool readValue(const QString &name, DWORD type, const QVariant &defaultValue, QVariant &value);

    HKEY m_key = 0;
    bool m_keyOpen = false;
    QVBoxLayout *m_body = nullptr;
};

template <typename T>
void DriverSetupDialog::readSetting(const QString &name, DWORD type, const QVariant &defaultValue, T &variable)
{
    QVariant value;
    if (readValue(name, type, defaultValue, value))
        AssignRegistryValue(variable, value);
}
