#include "tools/DataLog.h"

#include "link/HandlerError.h"
#include "link/Serial.h"
#include "platform/SystemTimer.h"
#include "platform/PostedBoxes.h"
#include "platform/UserPrompts.h"
#include "platform/VbError.h"
#include "platform/VbFiles.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <memory>

namespace DataLog {

using Tools = ModuleState::Tools;

const std::array<Channel, 7> Channels = {{
    {"chkAmbient", "Ambient Temperature", "Ambient ", &Tools::LogAmbient},
    {"chkPrimary", "Primary Temperature", "Primary ", &Tools::LogPrimary},
    {"chkSecondary", "Secondary Temperature", "Secondary ", &Tools::LogSecondary},
    {"chkFanPower", "Fan Power", "Fan Power ", &Tools::LogFanPower},
    {"chkSecPower", "Secondary Power", "Secondary Power", &Tools::LogSecondaryPower},
    {"chkFocusPosition", "Focus Position", "Focus Position", &Tools::LogFocusPosition},
    {"chkFocusTemp", "Focus Temperature", "Focus Temperature", &Tools::LogFocusTemperature},
}};

namespace {

// The channels' current values, in the order of Channels, each in its stored type.
std::array<Variant, 7> currentValues()
{
    const ModuleState &m = Module();
    return {Variant(m.temperatures.AmbientTemperature), Variant(m.temperatures.PrimaryTemperature),
            Variant(m.temperatures.SecondaryTemperature), Variant(m.temperatures.FanSpeed),
            Variant(m.temperatures.SecondaryHeaterPower), Variant(m.focuser.FocuserPosition),
            Variant(m.focuser.TempCompTemperature)};
}

} // namespace

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

QString RecordText(const QTime &time, bool values)
{
    const Tools &t = Module().tools;
    const auto current = currentValues();
    VariantArray fields{Variant(TimeOfDay(time))};
    for (size_t i = 0; i < Channels.size(); ++i) {
        if (t.*Channels[i].flag)
            fields.push_back(values ? current[i] : Variant());
    }
    return VbFiles::WriteRecordText(fields);
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
    t.LogReports.Restart(Module().link.SharedSerial.get());
    t.LogSilenceTold = false;
}

const char *const SilenceMessage =
    "The controller does not answer: data log records are written without values until it does.";

namespace {

// One record; the file must still be the one the log opened.
void writeRecord(Tools &t)
{
    if (!VbFiles::NameLeadsToFile(t.LogFileNumber))
        throw VbError(75, QStringLiteral("Path/File access error"));
    const bool fresh = t.LogReports.Take(Module().link.SharedSerial.get());
    VbFiles::Print(t.LogFileNumber, RecordText(QTime::currentTime(), fresh));
    if (fresh) {
        t.LogSilenceTold = false;
    } else if (!t.LogSilenceTold) {
        // Posted: the log goes on recording while the box stands.
        t.LogSilenceTold = true;
        PostedBoxes::Application().post(QString::fromLatin1(SilenceMessage), vbconst::vbExclamation,
                                        QStringLiteral("VKM"));
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
        t.LogPollPhase = !t.LogPollPhase;
        if (t.LogPollPhase) {
            const auto &link = m.link.SharedSerial;
            if (link && link->Connected() && (!t.GraphRunning || t.LogInterval < t.GraphPeriod))
                link->Transmit(QStringLiteral(" T "));
            return;
        }
        writeRecord(t);
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
}

} // namespace DataLog
