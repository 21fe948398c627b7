#include "platform/UserPrompts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>

namespace {

// Boxes and dialogs belong to the window in front, so they stay above a window that keeps
// itself on top. They live on the heap: if that window goes while one is up, it takes the
// dialog with it and exec() returns as for Cancel.
QWidget *frontWindow()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

template <typename Dialog>
struct OwnedDialog
{
    QPointer<Dialog> dialog;
    template <typename... Args>
    explicit OwnedDialog(Args &&...args) : dialog(new Dialog(frontWindow(), std::forward<Args>(args)...)) {}
    ~OwnedDialog() { delete dialog.data(); }
    Dialog *operator->() const { return dialog.data(); }
};

// The desktop's own dialogs.
class DesktopPrompts final : public UserPrompts
{
public:
    int messageBox(const MessageBoxRequest &request) override
    {
        using namespace vbconst;
        OwnedDialog<QMessageBox> box;
        box->setText(request.prompt);
        box->setWindowTitle(request.title);
        switch (request.icon()) {
        case vbCritical: box->setIcon(QMessageBox::Critical); break;
        case vbQuestion: box->setIcon(QMessageBox::Question); break;
        case vbExclamation: box->setIcon(QMessageBox::Warning); break;
        case vbInformation: box->setIcon(QMessageBox::Information); break;
        default: break;
        }
        QList<std::pair<QMessageBox::StandardButton, int>> buttons;
        switch (request.buttonSet()) {
        case vbOKCancel: buttons = {{QMessageBox::Ok, vbOK}, {QMessageBox::Cancel, vbCancel}}; break;
        case vbAbortRetryIgnore:
            buttons = {{QMessageBox::Abort, vbAbort}, {QMessageBox::Retry, vbRetry}, {QMessageBox::Ignore, vbIgnore}};
            break;
        case vbYesNoCancel:
            buttons = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}, {QMessageBox::Cancel, vbCancel}};
            break;
        case vbYesNo: buttons = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}}; break;
        case vbRetryCancel: buttons = {{QMessageBox::Retry, vbRetry}, {QMessageBox::Cancel, vbCancel}}; break;
        default: buttons = {{QMessageBox::Ok, vbOK}}; break;
        }
        for (const auto &b : buttons)
            box->addButton(b.first);
        const int defaultIndex = (request.buttons & vbDefaultButton3) ? 2 : (request.buttons & vbDefaultButton2) ? 1 : 0;
        if (defaultIndex < buttons.size())
            box->setDefaultButton(buttons[defaultIndex].first);
        const auto pressed = static_cast<QMessageBox::StandardButton>(box->exec());
        for (const auto &b : buttons)
            if (b.first == pressed)
                return b.second;
        // Closed by the window manager: the cancel answer where there is one.
        return buttons.size() > 1 && buttons.last().second == vbCancel ? vbCancel : buttons.first().second;
    }

    std::optional<QString> openFile(const FileDialogRequest &request) override
    {
        OwnedDialog<QFileDialog> dialog(request.title, startPath(request), DialogFilter(request.filter));
        dialog->setFileMode(QFileDialog::ExistingFile);
        return chosen(dialog.dialog);
    }

    std::optional<QString> saveFile(const FileDialogRequest &request) override
    {
        OwnedDialog<QFileDialog> dialog(request.title, startPath(request), DialogFilter(request.filter));
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
        dialog->setDefaultSuffix(request.defaultSuffix);
        return chosen(dialog.dialog);
    }

private:
    static std::optional<QString> chosen(const QPointer<QFileDialog> &dialog)
    {
        if (dialog->exec() != QDialog::Accepted || !dialog || dialog->selectedFiles().isEmpty())
            return std::nullopt;
        return dialog->selectedFiles().first();
    }

    static QString startPath(const FileDialogRequest &request)
    {
        if (request.initialDir.isEmpty())
            return request.fileName;
        return request.fileName.isEmpty() ? request.initialDir : request.initialDir + QLatin1Char('/') + request.fileName;
    }
};

UserPrompts *installed = nullptr;

} // namespace

QString DialogFilter(const QString &vbFilter)
{
    const QStringList parts = vbFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (QString p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            p = p.trimmed();
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
            for (const QString &variant : {p, p.toLower(), p.toUpper()})
                if (!patterns.contains(variant))
                    patterns << variant;
        }
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

UserPrompts &UserPrompts::current()
{
    static DesktopPrompts desktop;
    return installed ? *installed : desktop;
}

void UserPrompts::install(UserPrompts *prompts)
{
    installed = prompts;
}

int MsgBox(const QString &prompt, int buttons, const QString &title)
{
    MessageBoxRequest request{prompt, buttons, title.isEmpty() ? QCoreApplication::applicationName() : title};
    return UserPrompts::current().messageBox(request);
}
