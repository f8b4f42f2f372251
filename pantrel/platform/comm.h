#pragma once
// Seam over the communications calls that open, set up and write the camera's port.
#include <array>
#include <cstdint>
#include <string>

#include "platform/handle.h"

namespace pantrel {

// The control block fields the controller changes. `driverBlock` carries the
// rest of the block exactly as GetCommState returned it.
struct CommState {
  std::uint32_t BaudRate = 0;
  std::uint8_t ByteSize = 0;
  std::uint8_t Parity = 0;
  std::array<unsigned char, 28> driverBlock{};
};

struct CommTimeouts {
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t ReadTotalTimeoutConstant = 0;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;
  std::uint32_t WriteTotalTimeoutConstant = 0;
};

inline constexpr std::uint32_t kPurgeTxClear = 0x0004;
inline constexpr std::uint32_t kPurgeRxClear = 0x0008;

class CommPort {
 public:
  virtual ~CommPort() = default;
  // CreateFileA(path, GENERIC_READ|GENERIC_WRITE, no sharing, OPEN_EXISTING, no flags).
  virtual Handle CreateFileA(const std::string& path) = 0;
  virtual bool SetupComm(Handle port, std::uint32_t inQueue, std::uint32_t outQueue) = 0;
  virtual bool PurgeComm(Handle port, std::uint32_t flags) = 0;
  virtual bool GetCommState(Handle port, CommState& state) = 0;
  virtual bool SetCommState(Handle port, const CommState& state) = 0;
  virtual bool SetCommTimeouts(Handle port, const CommTimeouts& timeouts) = 0;
  // Synchronous WriteFile of the whole buffer; the count written is not reported.
  virtual bool WriteFile(Handle port, const std::uint8_t* data, std::uint32_t length) = 0;
  virtual bool CloseHandle(Handle handle) = 0;
};

}  // namespace pantrel
