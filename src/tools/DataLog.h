#pragma once

#include "link/ModuleState.h"
#include "platform/Variant.h"

#include <QString>
#include <QStringList>
#include <QTime>
#include <array>
#include <cstdint>

class Serial;
struct Report;

// The data log: channels in their fixed order, the header row, the records and the system
// timer that alternates a temperature request with a record.
namespace DataLog {

struct Channel
{
    const char *box;     // the set-up window's check box
    const char *caption; // its caption
    const char *header;  // the column's header text
    bool ModuleState::Tools::*flag;
    const char *code; // the report that carries its value
    const char *query; // the query the controller answers with that report; null: it reports it unasked
    // That report's value as the log writes it, in the type the parsers store; Empty when
    // the report is malformed.
    Variant (*value)(const Report &report);
};

extern const std::array<Channel, 7> Channels;

// One value per channel, in the order of Channels; Empty leaves the field empty.
using Values = std::array<Variant, 7>;

// The header row: "Time" and the chosen channels' headers, quoted, CR LF.
QString HeaderText();
// One record: the quoted time of day and the chosen channels' values, CR LF.
QString RecordText(const QTime &time, const Values &values);
// The values for the next record: each channel's value as `link` last received it, when its
// report came since `since` was last advanced and since the port opened, and still holds (no
// command sent since the query it answers changed it); Empty otherwise.
Values FreshValues(const Serial *link, const ReportFreshness &since);

// The queries the chosen channels need, each once, in the order of Channels; " T " left out
// while the graph asks for the temperatures more often than the log.
QStringList RequestedQueries();

// The time of day in the desktop's long time format, without the time zone the format
// may carry; "hh:mm:ss" where that format would write anything but ASCII (the file is
// single-byte text).
QString TimeOfDay(const QTime &time);

// Starts the log timer (killing one still registered) and keeps its identifier in
// LogTimerId. Its first tick asks; records count the controller's reports from here on.
void StartLogTimer(uint32_t periodMs);

// One tick of the timer `id`: a request tick sends the RequestedQueries (a value a later
// command made stale is so asked afresh), a record tick writes one record; with logging stopped the timer ends itself. While a
// firmware upload owns the line a tick does nothing but leave the next one to ask. A field of a
// record holds a value only when the controller reported it since the last record on the
// port as it is open; a record with no value at all tells the operator once. A record that
// cannot be written (a failing write, a file whose name no longer leads to it) is lost: its
// error box is posted, one at a time, the timer goes on, and once a record is written again
// a box says how many were lost.
void LogTimerProc(uint32_t id);

// The box that says the log has nothing new to write.
extern const char *const SilenceMessage;
// The same on a closed port, naming it.
QString ClosedPortMessage(const Serial &link);
// The box that says how many records were lost.
QString LostRecordsMessage(int32_t lost);

} // namespace DataLog
