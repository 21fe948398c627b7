#pragma once

#include <QString>
#include <optional>

// Message boxes and the open/save file dialogs, behind one replaceable interface so that
// tests can record every box and answer it. Button and icon styles and the results carry
// the numbers the program was written against (vbYesNo = 4, vbYes = 6, ...).
namespace vbconst {
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton2 = 256,
    vbDefaultButton3 = 512,
};
enum MsgBoxResult : int { vbOK = 1, vbCancel = 2, vbAbort = 3, vbRetry = 4, vbIgnore = 5, vbYes = 6, vbNo = 7 };
} // namespace vbconst

struct MessageBoxRequest
{
    QString prompt;
    int buttons = vbconst::vbOKOnly; // button set + icon + default button, as one number
    QString title;

    int buttonSet() const { return buttons & 0x0F; }
    int icon() const { return buttons & 0x70; }
};

struct FileDialogRequest
{
    QString title;
    QString filter;     // "S19 File (*.S19; *.S2)|*.s19;*.s2" style: description|patterns|...
    int filterIndex = 1;
    QString initialDir;
    QString fileName;   // proposed name
    // Save only: whether the dialog itself asks before replacing a file (off where the
    // caller asks its own question), and the suffix added to a name typed without one.
    bool confirmOverwrite = true;
    QString defaultSuffix;
};

// The dialog filter for a "Description|patterns|..." filter: "Text (*.txt)|*.txt|All (*.*)|*.*"
// becomes "Text (*.txt *.TXT);;All (*)". Each pattern also matches its name in the other
// case, as the file names of the desktop this format comes from do.
QString DialogFilter(const QString &vbFilter);

class UserPrompts
{
public:
    virtual ~UserPrompts() = default;
    // Returns one of vbconst::MsgBoxResult.
    virtual int messageBox(const MessageBoxRequest &request) = 0;
    // The chosen file, or nothing when the user cancelled.
    virtual std::optional<QString> openFile(const FileDialogRequest &request) = 0;
    virtual std::optional<QString> saveFile(const FileDialogRequest &request) = 0;

    // The prompts in use: the desktop's dialogs unless a test installed its own.
    static UserPrompts &current();
    // Installs `prompts` (not owned) in place of the desktop's; nullptr restores them.
    static void install(UserPrompts *prompts);
};

// The message box call as the windows write it. An empty title shows the program's name.
int MsgBox(const QString &prompt, int buttons = vbconst::vbOKOnly, const QString &title = QString());
