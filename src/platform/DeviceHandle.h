#pragma once

#include <QtGlobal>

// What the operating system says of an open device handle, without reading or writing it.
namespace DeviceHandle {

// False when the device behind `handle` has hung up or failed (an adapter pulled).
bool StillThere(qintptr handle);

} // namespace DeviceHandle
