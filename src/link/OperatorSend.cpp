#include "link/OperatorSend.h"

#include "link/ModuleState.h"
#include "platform/UserPrompts.h"

namespace OperatorSend {

Serial::SendResult Prospect(const Serial *link)
{
    if (!link || !link->Connected())
        return Serial::SendResult::PortClosed;
    return Module().tools.FlashInProgress ? Serial::SendResult::UploadOwnsLine : Serial::SendResult::Sent;
}

Serial::SendResult Transmit(Serial *link, const QString &command)
{
    return link ? link->Transmit(command) : Serial::SendResult::PortClosed;
}

bool Left(Serial::SendResult result, const QString &portClosed)
{
    QString text;
    switch (result) {
    case Serial::SendResult::Sent:
        return true;
    case Serial::SendResult::PortClosed:
        text = portClosed;
        break;
    case Serial::SendResult::UploadOwnsLine:
        text = QStringLiteral("Error:  A firmware upload is in progress.");
        break;
    case Serial::SendResult::NotDelivered:
        text = QStringLiteral("Error:  The command could not be written to the communications port.");
        break;
    }
    MsgBox(text, vbconst::vbExclamation, QStringLiteral("ORVA"));
    return false;
}

bool Send(Serial *link, const QString &command, const QString &portClosed)
{
    return Left(Transmit(link, command), portClosed);
}

bool Ready(const Serial *link, const QString &portClosed)
{
    return Left(Prospect(link), portClosed);
}

QString Cause(Serial::SendResult result)
{
    switch (result) {
    case Serial::SendResult::Sent:
        return QString();
    case Serial::SendResult::PortClosed:
        return QStringLiteral("the communications port is not open");
    case Serial::SendResult::UploadOwnsLine:
        return QStringLiteral("a firmware upload is in progress");
    case Serial::SendResult::NotDelivered:
        break;
    }
    return QStringLiteral("the communications port did not take it");
}

} // namespace OperatorSend
