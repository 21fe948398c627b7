#pragma once

#include <QString>
#include <exception>

class Serial;

// The windows' general error box for a failing handler: "Error number: " & number & " " &
// description, titled "VKM". Exceptions that are not VbError show number 0.
void ShowHandlerError(const std::exception &e);
// That box's text.
QString HandlerErrorText(const std::exception &e);

// Makes the event loop's last guard show an error that escaped a handler as this box, one
// box after another, so that the program goes on.
void InstallHandlerErrorGuard();

// Whether `link` takes the values an operator uploads now; when not, a box says why: the
// port is not open, or a firmware upload owns it (its sends would be dropped unsaid).
bool LinkTakesValues(const Serial *link);

// While a firmware upload owns the line, says so in the box LinkTakesValues shows and
// answers true: the command that asked must not start (nor open a window that would hold
// up the upload's waits).
bool RefusedDuringUpload();

// Why output that `link` did not deliver (Serial::OutputDelivered) stayed: the port is not
// open, or what was written is still waiting to leave it. For the box that names the row.
QString UndeliveredCause(const Serial &link);
