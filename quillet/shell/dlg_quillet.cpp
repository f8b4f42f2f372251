#include "shell/dlg_quillet.h"

#include <string>

#include "bluetooth/no_bluetooth_stack.h"

namespace quillet {
namespace {

std::u16string ToU16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

const CDlgQuillet::MessageMapEntry CDlgQuillet::kMessageMap[] = {
    {ids::kScan, kBnClicked, &CDlgQuillet::OnScan},
    {ids::kDeviceList, kLbnDblclk, &CDlgQuillet::OnDblclkDeviceList},
    {ids::kTest, kBnClicked, &CDlgQuillet::OnTest},
    {ids::kEnumerate, kBnClicked, &CDlgQuillet::OnEnumerate},
    {ids::kAuthenticate, kBnClicked, &CDlgQuillet::OnAuthenticate},
    {ids::kConnect, kBnClicked, &CDlgQuillet::OnConnect},
    {ids::kDisconnect, kBnClicked, &CDlgQuillet::OnDisconnect},
    {ids::kSend, kBnClicked, &CDlgQuillet::OnSend},
    {ids::kClearup, kBnClicked, &CDlgQuillet::OnClearup},
    {ids::kTest1, kBnClicked, &CDlgQuillet::OnTest},
    {ids::kSendField, kEnSetfocus, &CDlgQuillet::OnSetfocusSendEdit},
    {ids::kReceive, kBnClicked, &CDlgQuillet::OnReceive},
    {ids::kFinished, kBnClicked, &CDlgQuillet::OnFinished},
    {ids::kReceivedOnTimer, kBnClicked, &CDlgQuillet::OnReceivedOnTimer},
};

CDlgQuillet::CDlgQuillet(const PlatformSet& platform)
    : m_btManager(platform.bluetooth ? *platform.bluetooth : NoBluetoothStack::Instance(), *platform.controls),
      platform_(platform),
      controls_(*platform.controls),
      bluetooth_(
          m_btManager, controls_,
          platform.systemMessages ? *platform.systemMessages : NoBluetoothStack::Instance(),
          [this](const std::string& bytes) {
            platform_.sockets->send(m_sockHost, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                    static_cast<int>(bytes.size()));
          },
          [this](std::uint32_t status) { platform_.system->ExitProcess(status); }),
      workerExited_(std::make_unique<Event>(events_, true)) {
  m_hIcon = platform_.system->LoadIconW(kIdrMainFrame);
  // A stale capture file of an older set-up, in the root of drive D:.
  platform_.files->DeleteFileW(u"d:\\bthdebug.dat");
}

CDlgQuillet::~CDlgQuillet() {
  // The program itself never deletes the dialog; a worker must not outlive it.
  StopWorker();
}

bool CDlgQuillet::OnInitDialog() {
  std::u16string about = controls_.LoadString(kIdsAboutBox);
  if (!about.empty()) controls_.AppendSystemMenuItem(kIdmAboutBox, about);

  controls_.SetWindowIcons(m_hIcon);

  controls_.SetCheck(ids::kShowRemembered, true);

  for (int port = 1; port <= 32; ++port) controls_.ComboAppend(ids::kComList, ToU16("COM" + std::to_string(port)));
  controls_.ComboSetSelection(ids::kComList, 0);

  controls_.SetText(ids::kBaud, u"115200");
  EnableTransmitControls(false);
  controls_.SetCheck(ids::kHexCheck, true);
  controls_.SetText(ids::kByteCount, u"");
  controls_.ComboSetSelection(ids::kSegmentList, 0);
  controls_.ComboSetSelection(ids::kSectionList, 0);

  // The host listens before it starts us; without it start-up goes on all the same.
  m_sockHost = platform_.sockets->socket();
  platform_.sockets->connect(m_sockHost, "127.0.0.1", kHostPort);

  AutoBridge();
  return true;
}

void CDlgQuillet::OnDestroy() {
  platform_.sockets->closesocket(m_sockHost);

  // Link shutdown: the worker leaves before the port and the events go.
  if (m_hStopEvent) m_hStopEvent->Set();
  StopWorker();
  m_hStopEvent.reset();
  m_hSendEvent.reset();
  FreeSerialPort();
}

bool CDlgQuillet::OnCommand(int id, int notification) {
  for (const auto& entry : kMessageMap) {
    if (entry.id == id && entry.notification == notification) {
      (this->*entry.handler)();
      return true;
    }
  }
  return false;
}

bool CDlgQuillet::OnSysCommand(std::uint32_t id) {
  if ((id & 0xFFF0u) != kIdmAboutBox) return false;
  controls_.RunAboutBox();
  return true;
}

void CDlgQuillet::EnableTransmitControls(bool enable) {
  static constexpr int kTransmitControls[] = {
      ids::kDisconnect,  ids::kReceive,   ids::kReceivedOnTimer, ids::kFinished, ids::kSegmentList,
      ids::kSectionList, ids::kSendField, ids::kHexCheck,        ids::kSend,
  };
  for (int id : kTransmitControls) controls_.Enable(id, enable);
}

}  // namespace quillet
