#include "drivers/FormLauncher.h"

FormLauncher &DriverForms()
{
    static FormLauncher launcher;
    return launcher;
}
