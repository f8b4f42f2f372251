#pragma once
// Seam over the SetupAPI calls that list the present Ports-class devices.
#include <cstdint>

#include "platform/handle.h"

namespace quillet {

// One SP_DEVINFO_DATA reused for every device: the adapter keeps its size
// field and copies the rest through `block`.
struct DeviceInfoData {
  alignas(8) std::uint8_t block[32] = {};
};

inline constexpr std::uint32_t kDigcfPresent = 0x2;
inline constexpr std::uint32_t kSpdrpFriendlyName = 12;

class PortDevices {
 public:
  virtual ~PortDevices() = default;
  // SetupDiGetClassDevsW(GUID_DEVCLASS_PORTS, no enumerator, no window, flags).
  virtual Handle SetupDiGetClassDevsW(std::uint32_t flags) = 0;
  virtual bool SetupDiEnumDeviceInfo(Handle set, std::uint32_t index, DeviceInfoData& data) = 0;
  // SetupDiGetDeviceRegistryPropertyW with no type and no required-size output.
  virtual bool SetupDiGetDeviceRegistryPropertyW(Handle set, DeviceInfoData& data, std::uint32_t property,
                                                 std::uint8_t* buffer, std::uint32_t size) = 0;
  virtual bool SetupDiDestroyDeviceInfoList(Handle set) = 0;
};

}  // namespace quillet
