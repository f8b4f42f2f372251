#pragma once
// The fixed pairing passkey, the callback that answers pairing requests, and
// the system's text for an error code.
#include <cstdint>
#include <string>

#include "platform/bluetooth_api.h"

namespace quillet {

inline const std::u16string kPasskey = u"5318";
inline constexpr std::uint32_t kPasskeyLength = 4;

// Registered per device by the scan; runs on a thread of the Bluetooth stack
// and touches only its own context (a _BthAuthContext) and the given block.
bool AuthenticationCallback(BluetoothApi& api, void* pvParam, BthDeviceInfo* pDevice);

// The system's message for code, line end included; empty when there is none.
std::u16string GetSystemErrorText(SystemMessages& messages, std::uint32_t code);

}  // namespace quillet
