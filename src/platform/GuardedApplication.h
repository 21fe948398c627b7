#pragma once

#include "platform/VbError.h"

#include <QApplication>
#include <functional>

// The application with the event loop's last guard: an error that escapes an event handler
// (a slot, a timer tick, a close, a posted call) stops at the dispatch of that event and is
// reported from the event loop afterwards; the program goes on.
class GuardedApplication : public QApplication
{
public:
    GuardedApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

namespace EventLoopGuard {

// Shows an error that reached the guard. Called from the event loop, never inside the
// handler that failed; errors that are not VbError arrive with number 0.
using Reporter = std::function<void(const VbError &)>;

// Installs the program's reporter; nullptr restores the default, which writes the error to
// standard error and ends the process (as an escaped error did before the guard: a test
// must not pass over one unseen).
void SetReporter(Reporter reporter);

// Hands the exception being handled to the reporter, from the event loop. Called only
// inside a catch block; never throws.
void ReportCurrent() noexcept;

} // namespace EventLoopGuard
