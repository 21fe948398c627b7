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
// One record: the quoted time of day and the chosen channels' values, CR LF.
QString RecordText(const QTime &time);

// The time of day in the desktop's long time format, without the time zone the format
// may carry.
QString TimeOfDay(const QTime &time);

// Starts the log timer (killing one still registered) and keeps its identifier in
// LogTimerId.
void StartLogTimer(uint32_t periodMs);

// One tick of the timer `id`: a request tick sends " T " (unless the graph asks more often),
// a record tick writes one record; with logging stopped the timer ends itself. A failing
// write shows the handlers' error box and the timer goes on.
void LogTimerProc(uint32_t id);

} // namespace DataLog
