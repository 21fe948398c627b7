#pragma once

#include "platform/UserPrompts.h"

#include <QList>
#include <QStringList>
#include <functional>

// Installs itself in place of the desktop's dialogs for its lifetime: records every box
// and answers it (vbOK / the first button unless told otherwise).
class RecordingPrompts final : public UserPrompts
{
public:
    RecordingPrompts() { UserPrompts::install(this); }
    ~RecordingPrompts() override { UserPrompts::install(nullptr); }

    QList<MessageBoxRequest> boxes;
    QList<FileDialogRequest> fileDialogs;

    // Decides each box's answer; default: the first button of the box's set.
    std::function<int(const MessageBoxRequest &)> answer;
    // The file the open/save dialogs return; nothing means the user cancelled.
    std::optional<QString> chosenFile;

    int messageBox(const MessageBoxRequest &request) override
    {
        boxes << request;
        if (answer)
            return answer(request);
        switch (request.buttonSet()) {
        case vbconst::vbAbortRetryIgnore: return vbconst::vbAbort;
        case vbconst::vbYesNoCancel:
        case vbconst::vbYesNo: return vbconst::vbYes;
        case vbconst::vbRetryCancel: return vbconst::vbRetry;
        default: return vbconst::vbOK;
        }
    }
    // The texts of the boxes shown so far, forgetting them.
    QStringList takePrompts()
    {
        QStringList texts;
        for (const MessageBoxRequest &box : boxes)
            texts << box.prompt;
        boxes.clear();
        return texts;
    }

    std::optional<QString> openFile(const FileDialogRequest &request) override
    {
        fileDialogs << request;
        return chosenFile;
    }
    std::optional<QString> saveFile(const FileDialogRequest &request) override
    {
        fileDialogs << request;
        return chosenFile;
    }
};
