#include "alignment/PierSide.h"

#include "link/DriverSettings.h"
#include "link/ModuleState.h"
#include "link/ReportTable.h"
#include "link/RotatorStatus.h"
#include "link/RotatorSteps.h"
#include "platform/UserPrompts.h"
#include "platform/VbError.h"

#include <cmath>

ZELSynchRecord::ZELSynchRecord()
{
    HKEY key = 0;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, 0, SettingsKeyAccess, &key) != ERROR_SUCCESS)
        throw VbError(1, QStringLiteral("Unable to read registry"));
    m_key = key;
}

ZELSynchRecord::~ZELSynchRecord()
{
    RegCloseKey(m_key);
}

void ZELSynchRecord::record(int16_t pierSide)
{
    Module().settings.ZELSynchedToTelescope = pierSide;
    SetRegistryValue(m_key, QStringLiteral("ZELSynchedToTelescope"), REG_DWORD, int32_t(pierSide));
}

void RecordZELSynchedToTelescope(int16_t pierSide)
{
    ZELSynchRecord().record(pierSide);
}

void ReportRelabelledOnly(const QString &failure, int32_t steps)
{
    MsgBox(failure
               + QStringLiteral("  The ZEL position counter had already been relabelled by 180 degrees (p%1); nothing "
                                "was recorded, so TheSky and the ZEL are not synchronised.")
                     .arg(steps),
           vbconst::vbExclamation, QStringLiteral("VKM"));
}

std::optional<bool> RotatorPositionRecorded(Serial &link)
{
    const std::optional<Report> recall = RotatorStatus::Reported(link, u":rrp", true);
    const std::optional<int16_t> code = recall ? ReportValue::RecallCode(*recall) : std::nullopt;
    if (!code)
        return std::nullopt;
    return *code == 8;
}

int32_t OtherPierSidePosition(int32_t setPosition)
{
    return setPosition > RotatorStepsPerHalfTurn ? setPosition - RotatorStepsPerHalfTurn
                                                 : setPosition + RotatorStepsPerHalfTurn;
}

double FoldHourAngle(double hours)
{
    double h = std::fmod(hours, 24.0);
    if (h > 12)
        h -= 24;
    else if (h <= -12)
        h += 24;
    return h;
}
