// Start-up bridging: find the Bluetooth serial port, take its number, connect.
#include <array>
#include <climits>

#include "shell/dlg_quillet.h"

namespace quillet {
namespace {

constexpr std::uint32_t kFriendlyNameBytes = 200;

bool IsWideSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

}  // namespace

// Reads a decimal number the way _wtoi does: leading white space, an optional
// sign, the digits up to the first other character; 0 without a digit.
std::int32_t WideToInt(const std::u16string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsWideSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > static_cast<std::int64_t>(INT_MAX) + 1) value = static_cast<std::int64_t>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<std::int32_t>(value);
}

void CDlgQuillet::AutoBridge() {
  std::optional<std::u16string> portName = FindBluetoothComPort();
  if (!portName) {
    // The scan switches on the devices' serial port service, which makes the
    // system create the port; without it start-up ends without a link.
    OnScan();
    portName = FindBluetoothComPort();
    if (!portName) return;
  }
  m_nComPort = WideToInt(portName->size() > 3 ? portName->substr(3) : std::u16string());
  OnConnect();
}

std::optional<std::u16string> CDlgQuillet::FindBluetoothComPort() {
  PortDevices& devices = *platform_.portDevices;
  const Handle set = devices.SetupDiGetClassDevsW(kDigcfPresent);
  if (IsAbsent(set)) return std::nullopt;

  std::optional<std::u16string> portName;
  DeviceInfoData device;
  std::array<std::uint8_t, kFriendlyNameBytes> buffer{};
  for (std::uint32_t index = 0; !portName && devices.SetupDiEnumDeviceInfo(set, index, device); ++index) {
    buffer.fill(0);
    if (!devices.SetupDiGetDeviceRegistryPropertyW(set, device, kSpdrpFriendlyName, buffer.data(),
                                                   kFriendlyNameBytes))
      continue;
    std::u16string name;
    for (std::size_t i = 0; i + 1 < buffer.size(); i += 2) {
      const auto unit = static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8));
      if (unit == 0) break;
      name += unit;
    }

    const auto bluetooth = name.find(u"Bluetooth");
    if (bluetooth == std::u16string::npos) continue;
    const auto com = name.find(u"COM", bluetooth);
    // "Bluetooth" without a port name after it: look on among the next devices.
    if (com == std::u16string::npos) continue;
    // The usual form ends "(COM5)": the last character goes.
    portName = name.substr(com, name.size() - com - 1);
  }
  devices.SetupDiDestroyDeviceInfoList(set);
  return portName;
}

}  // namespace quillet
