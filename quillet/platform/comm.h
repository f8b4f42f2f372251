#pragma once
// Seam over the communications calls of the serial port object.
#include <array>
#include <cstdint>
#include <string>

#include "platform/handle.h"

namespace quillet {

// The control block fields the port changes; `driverBlock` carries the whole
// block as GetCommState returned it, so everything else stays the driver's.
struct CommState {
  bool fBinary = false;
  std::uint32_t BaudRate = 0;
  std::uint8_t ByteSize = 0;
  std::uint8_t Parity = 0;
  std::uint8_t StopBits = 0;
  std::array<unsigned char, 28> driverBlock{};
};

struct CommTimeouts {
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t ReadTotalTimeoutConstant = 0;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;
  std::uint32_t WriteTotalTimeoutConstant = 0;
};

inline constexpr std::uint32_t kPurgeTxAbort = 0x0001;
inline constexpr std::uint32_t kPurgeRxAbort = 0x0002;
inline constexpr std::uint32_t kPurgeTxClear = 0x0004;
inline constexpr std::uint32_t kPurgeRxClear = 0x0008;
inline constexpr std::uint32_t kSetDtr = 5;
inline constexpr std::uint32_t kEvRxChar = 0x0001;

class Comm {
 public:
  virtual ~Comm() = default;
  // CreateFileW(name, GENERIC_READ|GENERIC_WRITE, no sharing, OPEN_EXISTING, no flags).
  virtual Handle CreateFileW(const std::u16string& name) = 0;
  virtual bool GetCommState(Handle port, CommState& state) = 0;
  virtual bool SetCommState(Handle port, const CommState& state) = 0;
  virtual bool SetupComm(Handle port, std::uint32_t inQueue, std::uint32_t outQueue) = 0;
  virtual bool SetCommTimeouts(Handle port, const CommTimeouts& timeouts) = 0;
  virtual bool EscapeCommFunction(Handle port, std::uint32_t function) = 0;
  virtual bool PurgeComm(Handle port, std::uint32_t flags) = 0;
  // ClearCommError; `inQueue` receives cbInQue of the returned COMSTAT.
  virtual bool ClearCommError(Handle port, std::uint32_t& inQueue) = 0;
  virtual bool SetCommMask(Handle port, std::uint32_t mask) = 0;
  // Synchronous ReadFile / WriteFile without overlapped structure.
  virtual bool ReadFile(Handle port, std::uint8_t* buffer, std::uint32_t count, std::uint32_t& moved) = 0;
  virtual bool WriteFile(Handle port, const std::uint8_t* data, std::uint32_t count,
                         std::uint32_t& moved) = 0;
  virtual bool CloseHandle(Handle handle) = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

}  // namespace quillet
