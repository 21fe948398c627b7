#pragma once

#include <cstdint>

// Numbers of the drivers' refusals, the ones clients of this kind of driver already know.
namespace DriverErrors {

constexpr int32_t LinkFailed = 1;                        // handshake unanswered; no source
constexpr int32_t ValueOutOfRange = int32_t(0x80040401);
constexpr int32_t Unavailable = int32_t(0x80040402);     // "currently unavailable, try again"
constexpr int32_t NotLinked = int32_t(0x80040407);
constexpr int32_t InvalidOperation = int32_t(0x8004040B); // refused in the current state
constexpr int32_t Released = 440;                        // the client let the object go mid-call

} // namespace DriverErrors
