#pragma once

#include "link/Serial.h"

#include <QString>

// The one way the operator's windows (and the dialogs they open) send a command: whether the
// text left an open port, and when it did not, the window's refusal box says why (the port
// is not open, a firmware upload owns the line, the port did not take the text). Polls that
// would box once per tick transmit through the link itself and stay silent.
namespace OperatorSend {

inline const QString PortClosedText = QStringLiteral("Error:  The communications port is not open.");

// What a send through `link` (null: none) would meet now: Sent when nothing stands in its way.
Serial::SendResult Prospect(const Serial *link);
// Transmits without a box; a null link counts as a closed port.
Serial::SendResult Transmit(Serial *link, const QString &command);
// True for Sent; otherwise shows the refusal box (titled "ORVA"; `portClosed` is the window's
// own text for a closed port) and answers false.
bool Left(Serial::SendResult result, const QString &portClosed = PortClosedText);
// Transmit, then Left.
bool Send(Serial *link, const QString &command, const QString &portClosed = PortClosedText);
// What an action of several steps checks before its first: Left(Prospect(link)).
bool Ready(const Serial *link, const QString &portClosed = PortClosedText);
// Why a text did not leave, for a message that goes on to say what had already taken effect:
// "the communications port is not open".
QString Cause(Serial::SendResult result);

} // namespace OperatorSend
