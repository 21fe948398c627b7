#include "tools/DataLog.h"

#include "link/HandlerError.h"
#include "link/ReportTable.h"
#include "link/Serial.h"
#include "platform/SystemTimer.h"
#include "platform/PostedBoxes.h"
#include "platform/UserPrompts.h"
#include "platform/Vb.h"
#include "platform/VbError.h"
#include "platform/VbFiles.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <memory>

namespace DataLog {

using Tools = ModuleState::Tools;

namespace {

Variant temperature(const Report &r)
{
    const auto degrees = ReportValue::Temperature(r);
    return degrees ? Variant(*degrees) : Variant();
}

Variant power(const Report &r)
{
    const auto percent = ReportValue::Power(r);
    return percent ? Variant(int16_t(*percent)) : Variant();
}

Variant focusPosition(const Report &r)
{
    return r.numeric ? Variant(vb::CLng(r.v)) : Variant();
}

// ":tca" is the sensor's reading; the focus temperature is it scaled as the controller's
// compensation slope and offset say.
Variant focusTemperature(const Report &r)
{
    const ModuleState::Focuser &f = Module().focuser;
    return r.numeric ? Variant(vb::CSng(r.v * f.TempCompSlope + f.TempCompOffset)) : Variant();
}

} // namespace

const std::array<Channel, 7> Channels = {{
    {"chkAmbient", "Ambient Temperature", "Ambient ", &Tools::LogAmbient, ":t1", " T ", temperature},
    {"chkPrimary", "Primary Temperature", "Primary ", &Tools::LogPrimary, ":t2", " T ", temperature},
    {"chkSecondary", "Secondary Temperature", "Secondary ", &Tools::LogSecondary, ":t3", " T ", temperature},
    {"chkFanPower", "Fan Power", "Fan Power ", &Tools::LogFanPower, ":fs", " T ", power},
    {"chkSecPower", "Secondary Power", "Secondary Power", &Tools::LogSecondaryPower, ":ss", " T ", power},
    {"chkFocusPosition", "Focus Position", "Focus Position", &Tools::LogFocusPosition, ":a", " Q ", focusPosition},
    {"chkFocusTemp", "Focus Temperature", "Focus Temperature", &Tools::LogFocusTemperature, ":tca", nullptr, focusTemperature},
}};

QString HeaderText()
{
    const Tools &t = Module().tools;
    VariantArray fields{Variant("Time")};
    for (const Channel &c : Channels) {
        if (t.*c.flag)
            fields.emplace_back(QString::fromLatin1(c.header));
    }
    return VbFiles::WriteRecordText(fields);
}

QString RecordText(const QTime &time, const Values &values)
{
    const Tools &t = Module().tools;
    VariantArray fields{Variant(TimeOfDay(time))};
    for (size_t i = 0; i < Channels.size(); ++i) {
        if (t.*Channels[i].flag)
            fields.push_back(values[i]);
    }
    return VbFiles::WriteRecordText(fields);
}

Values FreshValues(const Serial *link, const ReportFreshness &since)
{
    Values values;
    for (size_t i = 0; i < Channels.size(); ++i) {
        const QString code = QString::fromLatin1(Channels[i].code);
        // A value a command changed after the query it answers is no longer the controller's.
        if (!since.Fresh(link, code) || !link->Reports().Holds(code))
            continue;
        // Taken from the link's own record, so never a copy older than the report.
        try {
            values[i] = Channels[i].value(link->Reports().Last(code)->report);
        } catch (const VbError &) { // beyond the stored type's range: malformed
        }
    }
    return values;
}

QStringList RequestedQueries()
{
    const Tools &t = Module().tools;
    const bool graphAsks = t.GraphRunning && t.LogInterval >= t.GraphPeriod;
    QStringList queries;
    for (const Channel &c : Channels) {
        if (!c.query || !(t.*c.flag))
            continue;
        const QString query = QString::fromLatin1(c.query);
        if (!queries.contains(query) && !(graphAsks && query == QLatin1String(" T ")))
            queries << query;
    }
    return queries;
}

QString TimeOfDay(const QTime &time)
{
    const QLocale locale;
    QString format = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
    format.replace(zone, QStringLiteral(" "));
    const QString text = locale.toString(time, format.trimmed());
    const bool ascii = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x20 && c.unicode() < 0x7F;
    });
    return ascii ? text : time.toString(QStringLiteral("hh:mm:ss"));
}

void StartLogTimer(uint32_t periodMs)
{
    Tools &t = Module().tools;
    if (t.LogTimerId != 0)
        SystemTimer::KillTimer(uint32_t(t.LogTimerId));
    // The callback is told its own identifier, which is known only once the timer runs.
    auto id = std::make_shared<uint32_t>(0);
    *id = SystemTimer::SetTimer(periodMs, [id] { LogTimerProc(*id); });
    t.LogTimerId = int32_t(*id);
    // Every start asks first: a record needs its fields asked for since the start.
    t.LogPollPhase = false;
    t.LogReports.Restart(Module().link.SharedSerial.get());
    t.LogSilenceTold = false;
    t.LogLostRecords = 0;
}

const char *const SilenceMessage =
    "The controller does not answer: data log records are written without values until it does.";

QString ClosedPortMessage(const Serial &link)
{
    return QStringLiteral("The port %1 is closed: data log records are written without values until it is open again.")
        .arg(Serial::deviceNamed(link.Port()));
}

QString LostRecordsMessage(int32_t lost)
{
    return lost == 1 ? QStringLiteral("The data log lost 1 record: it could not be written.")
                     : QStringLiteral("The data log lost %1 records: they could not be written.").arg(lost);
}

namespace {

// One record; the file must still be the one the log opened. A record that cannot be
// written is counted and its box posted, so that the log goes on while the box stands.
void writeRecord(Tools &t)
{
    const Serial *link = Module().link.SharedSerial.get();
    const Values values = FreshValues(link, t.LogReports);
    t.LogReports.Advance(link);
    try {
        if (!VbFiles::NameLeadsToFile(t.LogFileNumber))
            throw VbError(75, QStringLiteral("Path/File access error"));
        VbFiles::Print(t.LogFileNumber, RecordText(QTime::currentTime(), values));
    } catch (const VbError &e) {
        ++t.LogLostRecords;
        PostedBoxes::Application().postOnce(HandlerErrorText(e), vbconst::vbExclamation, QStringLiteral("VKM"));
        return;
    }
    if (t.LogLostRecords != 0) {
        PostedBoxes::Application().post(LostRecordsMessage(t.LogLostRecords), vbconst::vbExclamation,
                                         QStringLiteral("VKM"));
        t.LogLostRecords = 0;
    }
    bool any = false;
    for (size_t i = 0; i < Channels.size(); ++i)
        any = any || (t.*Channels[i].flag && !values[i].isEmpty());
    if (any) {
        t.LogSilenceTold = false;
        return;
    }
    // Told once for each cause: a controller that does not answer, a port that is closed.
    static QString told;
    const QString silence = link && !link->Connected() ? ClosedPortMessage(*link) : QString::fromLatin1(SilenceMessage);
    if (!t.LogSilenceTold || told != silence) {
        // Posted: the log goes on recording while the box stands.
        t.LogSilenceTold = true;
        told = silence;
        PostedBoxes::Application().post(silence, vbconst::vbExclamation, QStringLiteral("VKM"));
    }
}

} // namespace

void LogTimerProc(uint32_t id)
{
    ModuleState &m = Module();
    Tools &t = m.tools;
    try {
        if (!t.LoggingActive) {
            SystemTimer::KillTimer(id);
            t.LogTimerId = 0;
            return;
        }
        const auto &link = m.link.SharedSerial;
        if (t.FlashInProgress) {
            // The line is the upload's: no request, no record and none lost; the first tick
            // after it asks, and its record counts only what came since.
            t.LogPollPhase = false;
            t.LogReports.Restart(link.get());
            return;
        }
        t.LogPollPhase = !t.LogPollPhase;
        if (t.LogPollPhase) {
            if (link && link->Connected())
                for (const QString &query : RequestedQueries())
                    link->Transmit(query);
            return;
        }
        writeRecord(t);
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
}

} // namespace DataLog
