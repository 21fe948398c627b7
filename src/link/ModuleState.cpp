#include "link/ModuleState.h"


ModuleState &Module()
{
    static ModuleState state;
    return state;
}
