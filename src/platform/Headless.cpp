#include "platform/Headless.h"

#include "platform/UserPrompts.h"

#include <cstdio>
#include <cstring>

namespace {

bool &missing()
{
    static bool value = false;
    return value;
}

// Nobody can answer a box: it is told on standard error and taken as closed (Cancel, No,
// Abort where the box has one, else OK), which never chooses an action.
class StandardErrorPrompts : public UserPrompts
{
public:
    int messageBox(const MessageBoxRequest &request) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(request.title.isEmpty() ? QStringLiteral("VKM") : request.title),
                     qPrintable(request.prompt));
        switch (request.buttonSet()) {
        case vbconst::vbOKCancel:
        case vbconst::vbYesNoCancel:
        case vbconst::vbRetryCancel:
            return vbconst::vbCancel;
        case vbconst::vbYesNo:
            return vbconst::vbNo;
        case vbconst::vbAbortRetryIgnore:
            return vbconst::vbAbort;
        default:
            return vbconst::vbOK;
        }
    }
    std::optional<QString> openFile(const FileDialogRequest &) override { return std::nullopt; }
    std::optional<QString> saveFile(const FileDialogRequest &) override { return std::nullopt; }
};

bool platformChosen(int argc, char **argv)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    return false;
}

} // namespace

namespace Headless {

void ChooseForEnvironment(int argc, char **argv)
{
    if (platformChosen(argc, argv) || !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    missing() = true;
    static StandardErrorPrompts prompts;
    UserPrompts::install(&prompts);
}

bool Active()
{
    return missing();
}

QString Refusal()
{
    return QStringLiteral("No display to show a window on (neither DISPLAY nor WAYLAND_DISPLAY is set)");
}

} // namespace Headless
