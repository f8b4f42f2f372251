// Pantrel's port search over a fuzzed list of present ports and a fuzzed
// system version. Friendly names come as raw bytes, up to a full 100-byte
// buffer with no terminator. Checks the result against the rule: on version 5
// or 6 that version's GBK marker, else (or when it is absent) "Port"; then
// "COM" from the match on; the port name runs to the end less one character.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/serial_port.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

struct Device {
  bool readable = true;
  std::string bytes;
};

class RawPorts : public pantrel::PortDevices {
 public:
  std::uint32_t major = 10;
  bool setFails = false;
  std::vector<Device> devices;
  int destroyed = 0;

  bool GetVersionExA(std::uint32_t& majorVersion) override {
    majorVersion = major;
    return true;
  }
  pantrel::Handle SetupDiGetClassDevsA() override { return setFails ? pantrel::kInvalidHandle : 9; }
  bool SetupDiEnumDeviceInfo(pantrel::Handle, std::uint32_t index, pantrel::DeviceRecord& record) override {
    if (index >= devices.size()) return false;
    std::memcpy(record.native.data(), &index, sizeof index);
    return true;
  }
  bool SetupDiGetDeviceRegistryPropertyA(pantrel::Handle, const pantrel::DeviceRecord& record,
                                         unsigned char* buffer, std::uint32_t size) override {
    std::uint32_t index = 0;
    std::memcpy(&index, record.native.data(), sizeof index);
    const Device& device = devices.at(index);
    if (!device.readable || device.bytes.size() > size) return false;
    if (!device.bytes.empty()) std::memcpy(buffer, device.bytes.data(), device.bytes.size());
    return true;
  }
  bool SetupDiDestroyDeviceInfoList(pantrel::Handle) override {
    ++destroyed;
    return true;
  }
};

const std::string kMarker5 = "\xCD\xA8\xD1\xB6\xB6\xCB\xBF\xDA";
const std::string kMarker6 = "\xCD\xA8\xD0\xC5\xB6\xCB\xBF\xDA";

std::optional<std::string> Model(const RawPorts& world) {
  if (world.setFails) return std::nullopt;
  for (const Device& device : world.devices) {
    if (!device.readable || device.bytes.size() > 100) continue;
    const std::string name = device.bytes.substr(0, device.bytes.find('\0'));
    std::size_t match = std::string::npos;
    if (world.major == 5) match = name.find(kMarker5);
    if (world.major == 6) match = name.find(kMarker6);
    if (match == std::string::npos) match = name.find("Port");
    if (match == std::string::npos) continue;
    const std::size_t com = name.find("COM", match);
    // A marker with no port name after it (a printer port) is passed over.
    if (com == std::string::npos) continue;
    return name.substr(com, name.size() - com - 1);
  }
  return std::nullopt;
}

const char* const kWords[] = {"Port", "COM", "(", ")", " ", "3", "Comm", "\xCD\xA8\xD1\xB6\xB6\xCB\xBF\xDA",
                              "\xCD\xA8\xD0\xC5\xB6\xCB\xBF\xDA", "port"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  RawPorts ports;
  const std::uint32_t versions[] = {4, 5, 6, 10};
  ports.major = versions[provider.ConsumeIntegralInRange<std::size_t>(0, 3)];
  ports.setFails = provider.ConsumeIntegralInRange<int>(0, 31) == 0;
  const std::size_t count = provider.ConsumeIntegralInRange<std::size_t>(0, 6);
  for (std::size_t d = 0; d < count && provider.remaining_bytes() > 0; ++d) {
    Device device;
    device.readable = provider.ConsumeIntegralInRange<int>(0, 7) != 0;
    if (provider.ConsumeBool()) {
      device.bytes = provider.ConsumeBytesAsString(provider.ConsumeIntegralInRange<std::size_t>(0, 105));
    } else {
      const std::size_t pieces = provider.ConsumeIntegralInRange<std::size_t>(0, 20);
      for (std::size_t p = 0; p < pieces; ++p) {
        if (provider.ConsumeBool())
          device.bytes += kWords[provider.ConsumeIntegralInRange<std::size_t>(0, std::size(kWords) - 1)];
        else
          device.bytes += provider.ConsumeIntegral<char>();
      }
      if (provider.ConsumeBool()) device.bytes += '\0';
    }
    ports.devices.push_back(std::move(device));
  }

  const std::optional<std::string> port = pantrel::find_serial_port(ports);
  const std::optional<std::string> expected = Model(ports);
  Check(port == expected);
  Check(ports.destroyed == (ports.setFails ? 0 : 1));
  if (port) Check(port->size() >= 2 && port->compare(0, 2, "CO") == 0 && port->find('\0') == std::string::npos);
  return 0;
}
