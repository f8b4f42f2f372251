#pragma once
// The main dialog: owner of all run-time state of the bridge. The window
// layer (win32/) routes the window's events here; the controls are reached
// through the Controls seam.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "bluetooth/bluetooth_commands.h"
#include "bluetooth/bth_manager.h"
#include "link/event.h"
#include "link/serial_port.h"
#include "receive/gga_lines.h"
#include "shell/platform_set.h"

namespace quillet {

inline constexpr std::uint32_t kIdmAboutBox = 16;
inline constexpr std::uint32_t kIdrMainFrame = 128;
inline constexpr std::uint32_t kIddAboutBox = 100;
inline constexpr std::uint32_t kIddQuillet = 129;
inline constexpr std::uint32_t kIdsAboutBox = 101;
inline constexpr std::uint32_t kIdsSocketsInitFailed = 103;
inline constexpr std::uintptr_t kReceiveTimerId = 1;
inline constexpr std::uint32_t kReceiveTimerPeriod = 300;
inline constexpr std::uint16_t kHostPort = 51234;
inline constexpr std::size_t kSendBufferSize = 4096;

// Control notification codes the message map routes.
inline constexpr int kBnClicked = 0;
inline constexpr int kLbnDblclk = 2;
inline constexpr int kEnSetfocus = 0x0100;

// A decimal number read the way _wtoi reads it.
std::int32_t WideToInt(const std::u16string& text);

class CDlgQuillet {
 public:
  explicit CDlgQuillet(const PlatformSet& platform);
  ~CDlgQuillet();
  CDlgQuillet(const CDlgQuillet&) = delete;
  CDlgQuillet& operator=(const CDlgQuillet&) = delete;

  // Window events, called by the window layer on the UI thread.
  bool OnInitDialog();
  void OnDestroy();
  // A WM_COMMAND; true when the message map had an entry for it.
  bool OnCommand(int id, int notification);
  // True when handled; false leaves the command to the window's default handling.
  bool OnSysCommand(std::uint32_t id);
  void OnTimer(std::uintptr_t id);
  Handle OnQueryDragIcon() const { return m_hIcon; }

  void EnableTransmitControls(bool enable);
  void OnTest() {}

  // Bluetooth bench.
  void OnEnumerate();
  bool GetSelectedRadio(_LocalRadioInfo& radio);
  void OnScan();
  void OnDblclkDeviceList();
  void OnAuthenticate();

  // Link.
  void OnConnect();
  void OnDisconnect();
  void OnSend();
  bool QueueSend(const std::uint8_t* data, std::int32_t count);
  void FreeSerialPort();
  static std::uint32_t WorkerThreadProc(CDlgQuillet* dialog);
  void WorkerLoop();

  // Receive path (link worker).
  void ReceiveTick();
  std::int32_t WriteCaptureFile(const std::uint8_t* data, std::int32_t count);
  void ForwardGgaLines(const std::uint8_t* data, std::int32_t count);
  void UpdateByteCount();

  // Receive test controls.
  void OnClearup();
  void OnSetfocusSendEdit();
  void OnReceive();
  void OnFinished();
  void OnReceivedOnTimer();

  // Start-up bridging.
  void AutoBridge();
  std::optional<std::u16string> FindBluetoothComPort();

  // One entry of the message map: a control notification and its handler.
  struct MessageMapEntry {
    int id;
    int notification;
    void (CDlgQuillet::*handler)();
  };
  static const MessageMapEntry kMessageMap[];

  // Fields, in the dialog's order.
  Handle m_hIcon = 0;
  CBthManager m_btManager;
  std::unique_ptr<CSerialPort> m_pSerialPort;
  std::unique_ptr<Event> m_hStopEvent;
  std::unique_ptr<Event> m_hSendEvent;
  std::thread::id m_dwWorkerId;
  std::thread m_hWorker;
  std::array<std::uint8_t, kSendBufferSize> m_SendBuf{};
  std::int32_t m_nSendLen = 0;
  std::mutex m_csSend;
  bool m_bRecvShown = false;
  Socket m_sockHost = kInvalidSocket;
  // 0 until the bridging found the Bluetooth port.
  std::int32_t m_nComPort = 0;

 private:
  void StartWorker();
  // Stops the worker and waits until it has left, serving its control updates meanwhile.
  void StopWorker();
  void StoreFrame(const std::uint8_t* frame, std::int32_t count);
  void AppendToPane(int id, const std::u16string& text);
  void TrimPane(int id, std::size_t incoming);
  std::int32_t PortToOpen();
  std::u16string AnsiToWide(const std::uint8_t* data, std::int32_t count);

  PlatformSet platform_;
  Controls& controls_;
  // The Bluetooth bench commands, over m_btManager.
  BluetoothCommands bluetooth_;
  EventGroup events_;
  std::unique_ptr<Event> workerExited_;
  GgaLineReader ggaLines_;
  // Bytes shown in the hex pane since it was last emptied.
  std::atomic<std::int64_t> shownBytes_{0};
};

}  // namespace quillet
