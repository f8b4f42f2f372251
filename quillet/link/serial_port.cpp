#include "link/serial_port.h"

#include <algorithm>
#include <array>
#include <string>

namespace quillet {
namespace {

constexpr std::uint32_t kInputQueue = 4096;
constexpr std::uint32_t kOutputQueue = 1024;
constexpr int kTransferAttempts = 10;
constexpr std::uint32_t kDrainChunk = 1024;

constexpr CommTimeouts kTimeouts{
    100,   // ReadIntervalTimeout
    2,     // ReadTotalTimeoutMultiplier
    1000,  // ReadTotalTimeoutConstant
    2,     // WriteTotalTimeoutMultiplier
    500,   // WriteTotalTimeoutConstant
};

std::u16string ToU16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

std::u16string ComDeviceName(std::int32_t portNumber) {
  std::string name = (portNumber <= 9 ? "COM" : "\\\\.\\COM") + std::to_string(portNumber);
  // The name buffer holds 20 units with its terminator.
  if (name.size() > 19) name.resize(19);
  return ToU16(name);
}

CSerialPort::~CSerialPort() { Close(); }

bool CSerialPort::Open(std::int32_t portNumber, std::uint32_t baudRate) {
  if (!IsAbsent(m_hCom)) return true;

  Handle port = comm_.CreateFileW(ComDeviceName(portNumber));
  if (IsAbsent(port)) {
    m_hCom = 0;
    return false;
  }
  m_hCom = port;

  CommState state;
  if (comm_.GetCommState(m_hCom, state)) {
    state.fBinary = true;
    state.BaudRate = baudRate;
    state.ByteSize = 8;
    state.Parity = 0;    // NOPARITY
    state.StopBits = 0;  // ONESTOPBIT
    comm_.SetCommState(m_hCom, state);
  }

  comm_.SetupComm(m_hCom, kInputQueue, kOutputQueue);

  if (!comm_.SetCommTimeouts(m_hCom, kTimeouts)) {
    comm_.CloseHandle(m_hCom);
    m_hCom = 0;
    return false;
  }

  comm_.EscapeCommFunction(m_hCom, kSetDtr);
  Purge();
  m_bFailed = false;
  return true;
}

std::int32_t CSerialPort::Transfer(std::uint8_t* buffer, std::int32_t count, TransferDirection direction) {
  if (m_bFailed) return 0;

  bool done = false;
  std::uint32_t moved = 0;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    const auto length = static_cast<std::uint32_t>(std::max(count, 0));
    for (int attempt = 0; attempt < kTransferAttempts && !done; ++attempt) {
      moved = 0;
      done = direction == TransferDirection::Read ? comm_.ReadFile(m_hCom, buffer, length, moved)
                                                  : comm_.WriteFile(m_hCom, buffer, length, moved);
      if (!done) comm_.Sleep(1);
    }
  }

  if (!done) {
    m_bFailed = true;
    return -1;
  }
  return static_cast<std::int32_t>(moved);
}

std::uint32_t CSerialPort::InputQueueCount() {
  std::lock_guard<std::mutex> lock(m_lock);
  std::uint32_t waiting = 0;
  comm_.ClearCommError(m_hCom, waiting);
  return waiting;
}

void CSerialPort::SetCommMask(std::uint32_t mask) {
  std::lock_guard<std::mutex> lock(m_lock);
  comm_.SetCommMask(m_hCom, mask);
}

void CSerialPort::Purge() {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    comm_.PurgeComm(m_hCom, kPurgeRxAbort | kPurgeRxClear);
  }
  {
    std::lock_guard<std::mutex> lock(m_lock);
    comm_.PurgeComm(m_hCom, kPurgeTxAbort | kPurgeTxClear);
  }

  // Bytes that arrived while the queues were emptied are read and dropped.
  std::array<std::uint8_t, kDrainChunk> scratch{};
  std::uint32_t waiting = InputQueueCount();
  while (waiting > 0) {
    if (InputQueueCount() > 0) {
      const auto want = static_cast<std::int32_t>(std::min(waiting, kDrainChunk));
      if (Transfer(scratch.data(), want, TransferDirection::Read) <= 0) break;
    }
    waiting = InputQueueCount();
  }
}

void CSerialPort::Close() {
  if (!IsAbsent(m_hCom)) {
    comm_.CloseHandle(m_hCom);
    m_hCom = 0;
  }
}

}  // namespace quillet
