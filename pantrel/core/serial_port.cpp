#include "core/serial_port.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace pantrel {
namespace {

constexpr std::uint32_t kFriendlyNameBufferSize = 100;

// Chinese for "communication port", in GBK, as two system generations word it.
constexpr std::string_view kMarkerVersion5 = "\xCD\xA8\xD1\xB6\xB6\xCB\xBF\xDA";
constexpr std::string_view kMarkerVersion6 = "\xCD\xA8\xD0\xC5\xB6\xCB\xBF\xDA";

std::optional<std::string> PortNameFrom(std::string_view friendlyName, std::uint32_t majorVersion) {
  std::string_view::size_type match = std::string_view::npos;
  if (majorVersion == 5) match = friendlyName.find(kMarkerVersion5);
  if (majorVersion == 6) match = friendlyName.find(kMarkerVersion6);
  if (match == std::string_view::npos) match = friendlyName.find("Port");
  if (match == std::string_view::npos) return std::nullopt;

  // A marker without a COM name after it (a printer port, say) names no serial port.
  auto com = friendlyName.find("COM", match);
  if (com == std::string_view::npos) return std::nullopt;

  // The name ends with the closing parenthesis of "(COM3)": cut the last character.
  std::string_view name = friendlyName.substr(com);
  name.remove_suffix(1);
  return std::string(name);
}

}  // namespace

std::optional<std::string> find_serial_port(PortDevices& devices) {
  std::array<unsigned char, kFriendlyNameBufferSize> friendlyName{};

  std::uint32_t majorVersion = 0;
  devices.GetVersionExA(majorVersion);

  Handle set = devices.SetupDiGetClassDevsA();
  if (set == kInvalidHandle) return std::nullopt;

  std::optional<std::string> portName;
  DeviceRecord record;
  for (std::uint32_t index = 0; !portName && devices.SetupDiEnumDeviceInfo(set, index, record); ++index) {
    friendlyName.fill(0);
    if (!devices.SetupDiGetDeviceRegistryPropertyA(set, record, friendlyName.data(), kFriendlyNameBufferSize))
      continue;
    auto terminator = std::find(friendlyName.begin(), friendlyName.end(), 0);
    std::string_view text(reinterpret_cast<const char*>(friendlyName.data()),
                          static_cast<std::size_t>(terminator - friendlyName.begin()));
    portName = PortNameFrom(text, majorVersion);
  }
  devices.SetupDiDestroyDeviceInfoList(set);
  return portName;
}

int open_serial_port(CommPort& comm, Handle& serial_handle, const std::string& path,
                     std::uint32_t baudRate, std::uint8_t dataBits, std::uint8_t parity,
                     std::uint32_t inQueue, std::uint32_t outQueue) {
  serial_handle = comm.CreateFileA(path);
  if (serial_handle == kInvalidHandle) return 0;

  // Reads return at once with what has arrived; a write may take 1 s a byte.
  constexpr CommTimeouts kTimeouts{0xFFFFFFFFu, 0, 0, 1000, 0};

  CommState state;
  bool ready = comm.SetupComm(serial_handle, inQueue, outQueue) &&
               comm.PurgeComm(serial_handle, kPurgeTxClear | kPurgeRxClear) &&
               comm.GetCommState(serial_handle, state);
  if (ready) {
    state.BaudRate = baudRate;
    state.ByteSize = dataBits;
    state.Parity = parity;
    ready = comm.SetCommState(serial_handle, state) && comm.SetCommTimeouts(serial_handle, kTimeouts);
  }
  if (!ready) {
    comm.CloseHandle(serial_handle);
    serial_handle = kInvalidHandle;
    return 0;
  }
  return 1;
}

}  // namespace pantrel
