#pragma once
// Seam over the version query and the SetupAPI calls that find a serial port.
#include <array>
#include <cstdint>

#include "platform/handle.h"

namespace pantrel {

// Opaque copy of the system's device record; only the adapter looks inside.
struct DeviceRecord {
  alignas(8) std::array<unsigned char, 32> native{};
};

class PortDevices {
 public:
  virtual ~PortDevices() = default;
  // GetVersionExA with the 156-byte version record; false when the query fails.
  virtual bool GetVersionExA(std::uint32_t& majorVersion) = 0;
  // SetupDiGetClassDevsA(Ports class, no enumerator, no window, DIGCF_PRESENT).
  virtual Handle SetupDiGetClassDevsA() = 0;
  // SetupDiEnumDeviceInfo with a 28-byte device record.
  virtual bool SetupDiEnumDeviceInfo(Handle set, std::uint32_t index, DeviceRecord& record) = 0;
  // SetupDiGetDeviceRegistryPropertyA(SPDRP_FRIENDLYNAME) into buffer, at most size bytes.
  virtual bool SetupDiGetDeviceRegistryPropertyA(Handle set, const DeviceRecord& record,
                                                 unsigned char* buffer, std::uint32_t size) = 0;
  virtual bool SetupDiDestroyDeviceInfoList(Handle set) = 0;
};

}  // namespace pantrel
