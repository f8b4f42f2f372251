// The link: Connect, the worker with its transmit step, Send, Disconnect.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

#include "link/hex_to_bytes.h"
#include "shell/dlg_quillet.h"

namespace quillet {
namespace {

constexpr auto kPollPeriod = std::chrono::milliseconds(100);
constexpr auto kServePeriod = std::chrono::milliseconds(5);

// "Open com fail" and two zero bytes: 15 bytes in all.
constexpr std::uint8_t kOpenComFail[15] = {'O', 'p', 'e', 'n', ' ', 'c', 'o', 'm', ' ', 'f', 'a', 'i', 'l', 0, 0};
constexpr std::uint32_t kExitOpenComFail = 4;

}  // namespace

void CDlgQuillet::OnConnect() {
  const std::uint32_t baudRate = controls_.GetUnsigned(ids::kBaud);

  // A running worker uses the port: it leaves before the port goes.
  StopWorker();
  if (m_pSerialPort) FreeSerialPort();

  m_pSerialPort.reset(new (std::nothrow) CSerialPort(*platform_.comm));
  if (!m_pSerialPort) return;

  if (!m_pSerialPort->Open(PortToOpen(), baudRate)) {
    FreeSerialPort();
    platform_.sockets->send(m_sockHost, kOpenComFail, static_cast<int>(sizeof kOpenComFail));
    platform_.system->ExitProcess(kExitOpenComFail);
    return;
  }

  m_pSerialPort->SetCommMask(kEvRxChar);

  // A fresh worker starts on an unsignalled stop event.
  if (m_hStopEvent)
    m_hStopEvent->Reset();
  else
    m_hStopEvent = std::make_unique<Event>(events_, true);
  if (!m_hSendEvent) m_hSendEvent = std::make_unique<Event>(events_, false);
  if (!m_hWorker.joinable()) StartWorker();

  if (m_hWorker.joinable() && m_hStopEvent && m_hSendEvent) {
    controls_.Enable(ids::kConnect, false);
    EnableTransmitControls(true);
  }
}

void CDlgQuillet::OnDisconnect() {
  if (m_hStopEvent) m_hStopEvent->Set();
  StopWorker();
  FreeSerialPort();
  controls_.Enable(ids::kConnect, true);
  EnableTransmitControls(false);
}

void CDlgQuillet::OnSend() {
  if (!m_hSendEvent) return;

  const std::u16string text = controls_.GetText(ids::kSendField);
  if (text.empty()) return;

  std::array<std::uint8_t, kSendBufferSize> scratch{};
  std::int32_t count = 0;
  if (controls_.GetCheck(ids::kHexCheck)) {
    count = HexToBytes(text, scratch.data(), scratch.size());
  } else {
    // Text that needs more than the buffer converts to nothing.
    count = platform_.system->WideCharToMultiByte(text.data(), static_cast<int>(text.size()),
                                                  reinterpret_cast<char*>(scratch.data()),
                                                  static_cast<int>(scratch.size()));
  }
  QueueSend(scratch.data(), count);
}

bool CDlgQuillet::QueueSend(const std::uint8_t* data, std::int32_t count) {
  if (data == nullptr || count < 1) return false;
  StoreFrame(data, count);
  return true;
}

void CDlgQuillet::StoreFrame(const std::uint8_t* frame, std::int32_t count) {
  {
    std::lock_guard<std::mutex> lock(m_csSend);
    m_nSendLen = std::min(count, static_cast<std::int32_t>(kSendBufferSize));
    std::memcpy(m_SendBuf.data(), frame, static_cast<std::size_t>(m_nSendLen));
  }
  if (m_hSendEvent) m_hSendEvent->Set();
}

void CDlgQuillet::FreeSerialPort() {
  if (!m_pSerialPort) return;
  m_pSerialPort->Close();
  m_pSerialPort.reset();
}

std::int32_t CDlgQuillet::PortToOpen() {
  if (m_nComPort != 0) return m_nComPort;
  // No Bluetooth port was found: the port chosen in the COM list.
  const int selection = controls_.ComboGetSelection(ids::kComList);
  return selection < 0 ? 1 : selection + 1;
}

void CDlgQuillet::StartWorker() {
  ggaLines_.Reset();
  workerExited_->Reset();
  m_hWorker = std::thread(&CDlgQuillet::WorkerThreadProc, this);
  m_dwWorkerId = m_hWorker.get_id();
}

void CDlgQuillet::StopWorker() {
  if (!m_hWorker.joinable()) return;
  if (m_hStopEvent) m_hStopEvent->Set();
  // The worker may be waiting for the UI thread to run one of its control updates.
  while (!workerExited_->Wait(kServePeriod)) controls_.ServePendingUpdates();
  m_hWorker.join();
  m_dwWorkerId = {};
}

std::uint32_t CDlgQuillet::WorkerThreadProc(CDlgQuillet* dialog) {
  if (dialog != nullptr) {
    dialog->WorkerLoop();
    dialog->workerExited_->Set();
  }
  return 1;
}

void CDlgQuillet::WorkerLoop() {
  for (;;) {
    const int woken = WaitForAny(events_, {m_hStopEvent.get(), m_hSendEvent.get()}, kPollPeriod);
    if (woken == 0) return;
    if (woken != 1) {
      ReceiveTick();
      continue;
    }

    if (!m_pSerialPort) continue;
    std::array<std::uint8_t, kSendBufferSize> request{};
    std::int32_t count = 0;
    {
      std::lock_guard<std::mutex> lock(m_csSend);
      count = m_nSendLen;
      std::memcpy(request.data(), m_SendBuf.data(), static_cast<std::size_t>(count));
      m_SendBuf.fill(0);
      m_nSendLen = 0;
    }
    const std::int32_t written =
        count < 1 ? 0 : m_pSerialPort->Transfer(request.data(), count, TransferDirection::Write);
    if (written != count) controls_.MessageBox(u"Send data failed");
  }
}

}  // namespace quillet
