#pragma once

// Fills the drivers' setup-dialog entries of DriverForms() with frmDialog and frmRotatorSetup.
void InstallDriverDialogs();
