#pragma once

#include "link/ModuleState.h"

#include <QString>
#include <QTime>
#include <array>
#include <cstdint>

// The data log: channels in their fixed order, the header row, the records and the system
// timer that alternates a temperature request with a record.
namespace DataLog {

struct Channel
{
    const char *box;     // the set-up window's check box
    const char *caption; // its caption
    const char *header;  // the column's header text
    bool ModuleState::Tools::*flag;
};

extern const std::array<Channel, 7> Channels;

// The header row: "Time" and the chosen channels' headers, quoted, CR LF.
QString HeaderText();
// One record: the quoted time of day and the chosen channels' values, CR LF. Without
// `values` (nothing new from the controller) the value fields are empty.
QString RecordText(const QTime &time, bool values = true);

// The time of day in the desktop's long time format, without the time zone the format
// may carry; "hh:mm:ss" where that format would write anything but ASCII (the file is
// single-byte text).
QString TimeOfDay(const QTime &time);

// Starts the log timer (killing one still registered) and keeps its identifier in
// LogTimerId. Records count the controller's reports from here on.
void StartLogTimer(uint32_t periodMs);

// One tick of the timer `id`: a request tick sends " T " (unless the graph asks more often),
// a record tick writes one record; with logging stopped the timer ends itself. A record
// while the port is closed or nothing came since the last one holds no values, and the
// operator is told once. A failing write, or a file whose name no longer leads to it, shows
// the handlers' error box and the timer goes on.
void LogTimerProc(uint32_t id);

// The box that says the log has nothing new to write.
extern const char *const SilenceMessage;

} // namespace DataLog
