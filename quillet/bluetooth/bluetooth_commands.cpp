#include "bluetooth/bluetooth_commands.h"

#include <utility>

#include "bluetooth/bth_auth.h"

namespace quillet {

namespace {
// 14 letters and the terminating zero: the host reads a C string.
const std::string kNoBluetoothReport("None buletooth", 15);
}  // namespace

std::u16string FormatBthListLine(const char16_t* name, std::size_t capacity,
                                 BLUETOOTH_ADDRESS address) {
  std::size_t length = 0;
  while (length < capacity && name[length] != u'\0') ++length;
  return std::u16string(name, length) + u" ( " + FormatBthAddress(address) + u" )";
}

BluetoothCommands::BluetoothCommands(CBthManager& manager, Controls& controls,
                                     SystemMessages& messages,
                                     std::function<void(const std::string&)> sendToHost,
                                     std::function<void(std::uint32_t)> exitProcess)
    : m_manager(manager),
      m_controls(controls),
      m_messages(messages),
      m_sendToHost(std::move(sendToHost)),
      m_exitProcess(std::move(exitProcess)) {}

void BluetoothCommands::OnEnumerate() {
  m_controls.ListReset(ids::kRadioList);
  if (m_manager.EnumerateRadios() < 1) {
    // Without a radio there is no bridge: tell the host and end.
    m_sendToHost(kNoBluetoothReport);
    m_exitProcess(kExitNoBluetooth);
    return;
  }
  for (const _LocalRadioInfo& radio : m_manager.m_arrRadios) {
    m_controls.ListAppend(ids::kRadioList,
                          FormatBthListLine(radio.radioInfo.szName.data(),
                                            radio.radioInfo.szName.size(), radio.radioInfo.address));
  }
}

bool BluetoothCommands::GetSelectedRadio(_LocalRadioInfo& radio) {
  if (m_manager.m_arrRadios.empty()) {
    OnEnumerate();
    if (m_manager.m_arrRadios.empty()) return false;
    m_controls.ListSetSelection(ids::kRadioList, 0);
  }
  int index = m_controls.ListGetSelection(ids::kRadioList);
  if (index < 0 || index >= m_controls.ListCount(ids::kRadioList)) {
    m_controls.ListSetSelection(ids::kRadioList, 0);
    index = 0;
  }
  if (static_cast<std::size_t>(index) >= m_manager.m_arrRadios.size()) return false;
  radio = m_manager.m_arrRadios[static_cast<std::size_t>(index)];
  return true;
}

void BluetoothCommands::OnScan() {
  _LocalRadioInfo radio;
  if (!GetSelectedRadio(radio)) return;

  m_controls.ListReset(ids::kDeviceList);
  const bool returnRemembered = m_controls.GetCheck(ids::kShowRemembered);
  const bool issueInquiry = m_controls.GetCheck(ids::kIssueInquiry);
  const int found = m_manager.ScanDevices(radio.hRadio, returnRemembered, issueInquiry);
  if (found >= 1) {
    for (const _RemoteBthDevInfo& device : m_manager.m_arrDevices) {
      m_controls.ListAppend(ids::kDeviceList, FormatBthListLine(device.szName.data(),
                                                                device.szName.size(),
                                                                device.address));
    }
  } else if (found < 0) {
    m_controls.MessageBox(u"Scan nearby bluetooth device failed");
  }
}

int BluetoothCommands::SelectedDeviceLine() {
  const int index = m_controls.ListGetSelection(ids::kDeviceList);
  if (index < 0 || index >= m_controls.ListCount(ids::kDeviceList)) {
    m_controls.MessageBox(u"Please select remote bluetooth device");
    return -1;
  }
  return index;
}

void BluetoothCommands::OnDblclkDeviceList() {
  const int index = SelectedDeviceLine();
  if (index < 0) return;
  m_manager.ShowDeviceProperties(index, m_controls.WindowHandle());
}

void BluetoothCommands::OnAuthenticate() {
  _LocalRadioInfo radio;
  if (!GetSelectedRadio(radio)) return;
  const int index = SelectedDeviceLine();
  if (index < 0) return;

  std::uint32_t error = 0;
  if (m_manager.AuthenticateRemoteDevice(index, m_controls.WindowHandle(), &error)) return;
  m_controls.MessageBox(u"Authenticate failed using passkey [" + kPasskey + u"] : " +
                        GetSystemErrorText(m_messages, error));
}

}  // namespace quillet
