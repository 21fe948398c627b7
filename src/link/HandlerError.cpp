#include "link/HandlerError.h"

#include "platform/UserPrompts.h"
#include "platform/VbError.h"

void ShowHandlerError(const std::exception &e)
{
    const auto *vbError = dynamic_cast<const VbError *>(&e);
    const QString text = QStringLiteral("Error number: %1 %2")
                             .arg(vbError ? vbError->number() : 0)
                             .arg(vbError ? vbError->description() : QString::fromUtf8(e.what()));
    MsgBox(text, vbconst::vbExclamation, QStringLiteral("VKM"));
}
