#include "link/HandlerError.h"

#include "link/ModuleState.h"
#include "link/OperatorSend.h"
#include "link/Serial.h"

#include "platform/GuardedApplication.h"
#include "platform/PostedBoxes.h"
#include "platform/UserPrompts.h"
#include "platform/VbError.h"

namespace {

QString handlerErrorText(qint32 number, const QString &description)
{
    return QStringLiteral("Error number: %1 %2").arg(number).arg(description);
}

} // namespace

QString HandlerErrorText(const std::exception &e)
{
    const auto *vbError = dynamic_cast<const VbError *>(&e);
    return handlerErrorText(vbError ? vbError->number() : 0,
                            vbError ? vbError->description() : QString::fromUtf8(e.what()));
}

void ShowHandlerError(const std::exception &e)
{
    MsgBox(HandlerErrorText(e), vbconst::vbExclamation, QStringLiteral("VKM"));
}

void InstallHandlerErrorGuard()
{
    EventLoopGuard::SetReporter([](const VbError &error) {
        PostedBoxes::Application().post(handlerErrorText(error.number(), error.description()),
                                        vbconst::vbExclamation, QStringLiteral("VKM"));
    });
}

bool LinkTakesValues(const Serial *link)
{
    return OperatorSend::Ready(link);
}

bool RefusedDuringUpload()
{
    return Module().tools.FlashInProgress && !OperatorSend::Left(Serial::SendResult::UploadOwnsLine);
}

QString UndeliveredCause(const Serial &link)
{
    return link.Connected() ? QStringLiteral("it is still waiting to leave the port.") : QStringLiteral("the port is not open.");
}
