#pragma once
// The bridge's serial port: fixed line set-up, queues and time-outs, a short
// retry on every transfer, and a sticky failed state.
#include <cstdint>
#include <mutex>

#include "platform/comm.h"

namespace quillet {

enum class TransferDirection { Read, Write };

class CSerialPort {
 public:
  explicit CSerialPort(Comm& comm) : comm_(comm) {}
  ~CSerialPort();
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  bool Open(std::int32_t portNumber, std::uint32_t baudRate);
  // Bytes moved; 0 without any device call while failed; -1 after ten failed attempts.
  std::int32_t Transfer(std::uint8_t* buffer, std::int32_t count, TransferDirection direction);
  void Purge();
  void Close();

  // Bytes waiting in the driver's input queue (ClearCommError under the lock).
  std::uint32_t InputQueueCount();
  // SetCommMask under the lock.
  void SetCommMask(std::uint32_t mask);

  Handle m_hCom = 0;
  std::mutex m_lock;
  bool m_bFailed = false;

 private:
  Comm& comm_;
};

// "COM9" for ports up to 9; "\\.\COM10" from 10 on, which plain names cannot reach.
std::u16string ComDeviceName(std::int32_t portNumber);

}  // namespace quillet
