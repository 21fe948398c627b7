#include "link/ModuleState.h"

ModuleState &Module()
{
    static ModuleState state;
    return state;
}

void ModuleState::Tools::FlashStatusReport(QStringView value)
{
    if (value.isEmpty())
        return;
    FlashStatus = int16_t(value.front().unicode() & 0xFF);
    if (FlashInProgress && !FlashIgnoreAck)
        FlashAckFlag = true;
}
