// The Bluetooth serial port lookup over a fuzzed list of present ports. The
// friendly names come as raw registry bytes: odd lengths, no terminator, a
// full 200-byte buffer. Checks the result against the rule: the first device
// whose name holds "Bluetooth" and a "COM" after it gives the text from that
// "COM" to the end, less the last character; and the port number stays an int.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "shell/dlg_quillet.h"
#include "tests/fakes.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

struct Device {
  bool readable = true;
  std::vector<std::uint8_t> bytes;  // what the property read puts into the buffer
};

class RawPortDevices : public quillet::PortDevices {
 public:
  std::vector<Device> devices;
  bool setFails = false;
  int destroyed = 0;
  std::size_t reads = 0;

  quillet::Handle SetupDiGetClassDevsW(std::uint32_t) override { return setFails ? quillet::kInvalidHandle : 0x55; }
  bool SetupDiEnumDeviceInfo(quillet::Handle, std::uint32_t index, quillet::DeviceInfoData& data) override {
    if (index >= devices.size()) return false;
    std::memcpy(data.block, &index, sizeof index);
    return true;
  }
  bool SetupDiGetDeviceRegistryPropertyW(quillet::Handle, quillet::DeviceInfoData& data, std::uint32_t,
                                         std::uint8_t* buffer, std::uint32_t size) override {
    ++reads;
    std::uint32_t index = 0;
    std::memcpy(&index, data.block, sizeof index);
    const Device& device = devices.at(index);
    if (!device.readable || device.bytes.size() > size) return false;
    if (!device.bytes.empty()) std::memcpy(buffer, device.bytes.data(), device.bytes.size());
    return true;
  }
  bool SetupDiDestroyDeviceInfoList(quillet::Handle) override {
    ++destroyed;
    return true;
  }
};

// The name as the buffer holds it: UTF-16 units up to the first zero unit, at
// most 100 units.
std::u16string NameOf(const Device& device) {
  std::vector<std::uint8_t> buffer(200, 0);
  if (!device.bytes.empty())
    std::copy_n(device.bytes.begin(), std::min<std::size_t>(device.bytes.size(), 200), buffer.begin());
  std::u16string name;
  for (std::size_t i = 0; i < 200; i += 2) {
    const auto unit = static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8));
    if (unit == 0) break;
    name += unit;
  }
  return name;
}

std::optional<std::u16string> Model(const RawPortDevices& world) {
  if (world.setFails) return std::nullopt;
  for (const Device& device : world.devices) {
    if (!device.readable || device.bytes.size() > 200) continue;
    const std::u16string name = NameOf(device);
    const auto bluetooth = name.find(u"Bluetooth");
    if (bluetooth == std::u16string::npos) continue;
    const auto com = name.find(u"COM", bluetooth);
    if (com == std::u16string::npos) continue;
    return name.substr(com, name.size() - com - 1);
  }
  return std::nullopt;
}

// _wtoi's reading, with values beyond the int range clamped.
std::int64_t NumberModel(const std::u16string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
    value = std::min<std::int64_t>(value * 10 + (text[i] - u'0'), std::int64_t{1} << 40);
  value = negative ? -value : value;
  return std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX);
}

// Name pieces that make matches likely.
const char16_t* const kWords[] = {u"Bluetooth", u"COM", u"(", u")", u" ", u"12", u"-7", u"99999999999", u"bluetooth"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  RawPortDevices ports;
  ports.setFails = provider.ConsumeIntegralInRange<int>(0, 31) == 0;
  const std::size_t count = provider.ConsumeIntegralInRange<std::size_t>(0, 6);
  for (std::size_t d = 0; d < count && provider.remaining_bytes() > 0; ++d) {
    Device device;
    device.readable = provider.ConsumeIntegralInRange<int>(0, 7) != 0;
    if (provider.ConsumeBool()) {
      // Raw bytes, any length up to a little past the buffer.
      device.bytes = provider.ConsumeBytes<std::uint8_t>(provider.ConsumeIntegralInRange<std::size_t>(0, 210));
    } else {
      // Built from words and single units, terminated or not.
      std::u16string name;
      const std::size_t pieces = provider.ConsumeIntegralInRange<std::size_t>(0, 30);
      for (std::size_t p = 0; p < pieces; ++p) {
        if (provider.ConsumeBool())
          name += kWords[provider.ConsumeIntegralInRange<std::size_t>(0, std::size(kWords) - 1)];
        else
          name += static_cast<char16_t>(provider.ConsumeIntegral<std::uint16_t>());
      }
      if (provider.ConsumeBool()) name += u'\0';
      for (char16_t unit : name) {
        device.bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        device.bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
      }
    }
    ports.devices.push_back(std::move(device));
  }

  quillet::testing::World world;
  quillet::PlatformSet platform = world.Platform();
  platform.portDevices = &ports;
  quillet::CDlgQuillet dialog(platform);
  const std::optional<std::u16string> port = dialog.FindBluetoothComPort();

  Check(port == Model(ports));
  Check(ports.destroyed == (ports.setFails ? 0 : 1));
  if (port) {
    Check(port->size() >= 2 && port->compare(0, 2, u"CO") == 0);
    const std::u16string digits = port->size() > 3 ? port->substr(3) : std::u16string();
    Check(quillet::WideToInt(digits) == NumberModel(digits));
  }
  return 0;
}
