#include "alignment/PierSide.h"

#include "link/DriverSettings.h"
#include "link/ModuleState.h"
#include "link/RotatorSteps.h"
#include "platform/VbError.h"

#include <cmath>

void RecordZELSynchedToTelescope(int16_t pierSide)
{
    HKEY key = 0;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, DriverKeyPath, 0, SettingsKeyAccess, &key) != ERROR_SUCCESS)
        throw VbError(1, QStringLiteral("Unable to read registry"));
    Module().settings.ZELSynchedToTelescope = pierSide;
    SetRegistryValue(key, QStringLiteral("ZELSynchedToTelescope"), REG_DWORD, int32_t(pierSide));
    RegCloseKey(key);
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
