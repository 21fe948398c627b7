#include "tools/DataLog.h"

#include "link/HandlerError.h"
#include "link/Serial.h"
#include "platform/SystemTimer.h"
#include "platform/VbFiles.h"

#include <QLocale>
#include <QRegularExpression>
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

QString RecordText(const QTime &time)
{
    const Tools &t = Module().tools;
    const auto values = currentValues();
    VariantArray fields{Variant(TimeOfDay(time))};
    for (size_t i = 0; i < Channels.size(); ++i) {
        if (t.*Channels[i].flag)
            fields.push_back(values[i]);
    }
    return VbFiles::WriteRecordText(fields);
}

QString TimeOfDay(const QTime &time)
{
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
    format.replace(zone, QStringLiteral(" "));
    return QLocale::system().toString(time, format.trimmed());
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
}

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
        VbFiles::Print(t.LogFileNumber, RecordText(QTime::currentTime()));
    } catch (const std::exception &e) {
        ShowHandlerError(e);
    }
}

} // namespace DataLog
