// A stand-in for the system's Bluetooth API (irprops.cpl) for bench and
// end-to-end runs under Wine, which has no Bluetooth stack.
//
// The world comes from the text file named by FAKE_BLUETOOTH_WORLD, one entry
// per line ('#' starts a comment):
//   radio  <address, 12 hex digits> <name...>
//   device <address> <flags> <port> <name...>
// flags: "-" or a comma list of remembered, authenticated, connected, unknown;
// port: "-" or the COM port the system creates when the device's serial port
// service is switched on (it then appears as a present Ports-class device named
// "Standard Serial over Bluetooth link (COMn)").
// Every call is appended to the file named by FAKE_BLUETOOTH_LOG, when set.
#include <windows.h>
#include <bluetoothapis.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

struct Radio {
  ULONGLONG address = 0;
  std::wstring name;
};

struct Device {
  ULONGLONG address = 0;
  std::wstring name;
  bool remembered = false;
  bool authenticated = false;
  bool connected = false;
  bool unknown = false;
  std::wstring port;
  std::vector<GUID> services;
};

struct World {
  bool loaded = false;
  std::vector<Radio> radios;
  std::vector<Device> devices;
  std::map<HANDLE, std::size_t> radioHandles;
};

World& TheWorld() {
  static World world;
  return world;
}

struct RadioFind {
  std::size_t next = 0;
};

struct DeviceFind {
  std::vector<std::size_t> matches;
  std::size_t next = 0;
};

const GUID kSerialPortService = {0x00001101, 0x0000, 0x1000,
                                 {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};

std::wstring Environment(const wchar_t* name) {
  wchar_t value[1024];
  const DWORD length = GetEnvironmentVariableW(name, value, 1024);
  if (length == 0 || length >= 1024) return {};
  return std::wstring(value, length);
}

void Log(const char* format, ...) {
  const std::wstring path = Environment(L"FAKE_BLUETOOTH_LOG");
  if (path.empty()) return;
  FILE* file = _wfopen(path.c_str(), L"ab");
  if (file == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(file, format, args);
  va_end(args);
  std::fputc('\n', file);
  std::fclose(file);
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// Splits off the next blank-separated word of line.
std::string NextWord(std::string& line) {
  const std::size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos) {
    line.clear();
    return {};
  }
  const std::size_t end = line.find_first_of(" \t", start);
  std::string word = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
  line = end == std::string::npos ? std::string() : line.substr(end + 1);
  return word;
}

World& Loaded() {
  World& world = TheWorld();
  if (world.loaded) return world;
  world.loaded = true;
  const std::wstring path = Environment(L"FAKE_BLUETOOTH_WORLD");
  FILE* file = path.empty() ? nullptr : _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return world;
  char buffer[1024];
  while (std::fgets(buffer, sizeof buffer, file) != nullptr) {
    std::string line(buffer);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    const std::string kind = NextWord(line);
    if (kind.empty() || kind[0] == '#') continue;
    const ULONGLONG address = std::strtoull(NextWord(line).c_str(), nullptr, 16);
    if (kind == "radio") {
      world.radios.push_back({address, Widen(line)});
    } else if (kind == "device") {
      Device device;
      device.address = address;
      std::string flags(1, ',');
      flags += NextWord(line);
      flags += ',';
      device.remembered = flags.find(",remembered,") != std::string::npos;
      device.authenticated = flags.find(",authenticated,") != std::string::npos;
      device.connected = flags.find(",connected,") != std::string::npos;
      device.unknown = flags.find(",unknown,") != std::string::npos;
      const std::string port = NextWord(line);
      if (port != "-") device.port = Widen(port);
      device.name = Widen(line);
      world.devices.push_back(device);
    }
  }
  std::fclose(file);
  Log("world: %u radio(s), %u device(s)", static_cast<unsigned>(world.radios.size()),
      static_cast<unsigned>(world.devices.size()));
  return world;
}

Device* FindDevice(ULONGLONG address) {
  for (Device& device : Loaded().devices)
    if (device.address == address) return &device;
  return nullptr;
}

void Fill(const Device& device, BLUETOOTH_DEVICE_INFO* info) {
  const DWORD size = info->dwSize;
  std::memset(info, 0, sizeof *info);
  info->dwSize = size;
  info->Address.ullLong = device.address;
  info->ulClassofDevice = 0x1F00;
  info->fConnected = device.connected;
  info->fRemembered = device.remembered;
  info->fAuthenticated = device.authenticated;
  GetSystemTime(&info->stLastSeen);
  const std::size_t length = device.name.size() < BLUETOOTH_MAX_NAME_SIZE - 1
                                 ? device.name.size()
                                 : BLUETOOTH_MAX_NAME_SIZE - 1;
  std::wmemcpy(info->szName, device.name.c_str(), length);
}

HANDLE OpenRadio(std::size_t index) {
  HANDLE handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Loaded().radioHandles[handle] = index;
  return handle;
}

// What the system does when a device's serial port service comes on: a
// virtual COM port, present among the Ports-class devices.
void DeclareSerialPort(const Device& device) {
  wchar_t key[256];
  std::swprintf(key, 256,
                L"System\\CurrentControlSet\\Enum\\BTHENUM\\"
                L"{00001101-0000-1000-8000-00805f9b34fb}_LOCALMFG&0000\\"
                L"7&1f2e3d4c&0&%012llX_C00000000",
                device.address);
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                      nullptr) != ERROR_SUCCESS) {
    Log("declare port: cannot create key");
    return;
  }
  const std::wstring classGuid = L"{4D36E978-E325-11CE-BFC1-08002BE10318}";
  const std::wstring friendlyName = L"Standard Serial over Bluetooth link (" + device.port + L")";
  RegSetValueExW(handle, L"ClassGUID", 0, REG_SZ, reinterpret_cast<const BYTE*>(classGuid.c_str()),
                 static_cast<DWORD>((classGuid.size() + 1) * sizeof(wchar_t)));
  RegSetValueExW(handle, L"FriendlyName", 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(friendlyName.c_str()),
                 static_cast<DWORD>((friendlyName.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  Log("declare port: %ls", friendlyName.c_str());
}

}  // namespace

extern "C" {

__declspec(dllexport) HBLUETOOTH_RADIO_FIND WINAPI
BluetoothFindFirstRadio(BLUETOOTH_FIND_RADIO_PARAMS* params, HANDLE* radio) {
  Log("BluetoothFindFirstRadio size=%lu", params ? params->dwSize : 0UL);
  if (params == nullptr || params->dwSize != sizeof *params || radio == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (Loaded().radios.empty()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return nullptr;
  }
  *radio = OpenRadio(0);
  return new RadioFind{1};
}

__declspec(dllexport) BOOL WINAPI BluetoothFindNextRadio(HBLUETOOTH_RADIO_FIND find, HANDLE* radio) {
  auto* state = static_cast<RadioFind*>(find);
  Log("BluetoothFindNextRadio");
  if (state == nullptr || radio == nullptr || state->next >= Loaded().radios.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  *radio = OpenRadio(state->next++);
  return TRUE;
}

__declspec(dllexport) BOOL WINAPI BluetoothFindRadioClose(HBLUETOOTH_RADIO_FIND find) {
  Log("BluetoothFindRadioClose");
  delete static_cast<RadioFind*>(find);
  return TRUE;
}

__declspec(dllexport) DWORD WINAPI BluetoothGetRadioInfo(HANDLE radio, PBLUETOOTH_RADIO_INFO info) {
  Log("BluetoothGetRadioInfo size=%lu", info ? info->dwSize : 0UL);
  World& world = Loaded();
  const auto entry = world.radioHandles.find(radio);
  if (entry == world.radioHandles.end() || info == nullptr) return ERROR_INVALID_HANDLE;
  if (info->dwSize != sizeof *info) return ERROR_REVISION_MISMATCH;
  const Radio& source = world.radios[entry->second];
  info->address.ullLong = source.address;
  std::wmemset(info->szName, L'\0', BLUETOOTH_MAX_NAME_SIZE);
  std::wcsncpy(info->szName, source.name.c_str(), BLUETOOTH_MAX_NAME_SIZE - 1);
  info->ulClassofDevice = 0x10010C;
  info->lmpSubversion = 1;
  info->manufacturer = 0xFFFF;
  return ERROR_SUCCESS;
}

__declspec(dllexport) BOOL WINAPI BluetoothEnableDiscovery(HANDLE, BOOL enabled) {
  Log("BluetoothEnableDiscovery %d", enabled);
  return TRUE;
}

__declspec(dllexport) BOOL WINAPI BluetoothEnableIncomingConnections(HANDLE, BOOL enabled) {
  Log("BluetoothEnableIncomingConnections %d", enabled);
  return TRUE;
}

__declspec(dllexport) DWORD WINAPI BluetoothGetDeviceInfo(HANDLE, BLUETOOTH_DEVICE_INFO* info) {
  if (info == nullptr) return ERROR_INVALID_PARAMETER;
  Log("BluetoothGetDeviceInfo %012llx size=%lu", info->Address.ullLong, info->dwSize);
  if (info->dwSize != sizeof *info) return ERROR_REVISION_MISMATCH;
  const Device* device = FindDevice(info->Address.ullLong);
  if (device == nullptr) return ERROR_NOT_FOUND;
  Fill(*device, info);
  return ERROR_SUCCESS;
}

__declspec(dllexport) HBLUETOOTH_DEVICE_FIND WINAPI
BluetoothFindFirstDevice(BLUETOOTH_DEVICE_SEARCH_PARAMS* params, BLUETOOTH_DEVICE_INFO* info) {
  if (params == nullptr || info == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Log("BluetoothFindFirstDevice size=%lu authenticated=%d remembered=%d unknown=%d connected=%d "
      "inquiry=%d timeout=%u info=%lu",
      params->dwSize, params->fReturnAuthenticated, params->fReturnRemembered,
      params->fReturnUnknown, params->fReturnConnected, params->fIssueInquiry,
      params->cTimeoutMultiplier, info->dwSize);
  if (params->dwSize != sizeof *params || info->dwSize != sizeof *info) {
    SetLastError(ERROR_REVISION_MISMATCH);
    return nullptr;
  }
  auto* find = new DeviceFind;
  const World& world = Loaded();
  for (std::size_t i = 0; i < world.devices.size(); ++i) {
    const Device& device = world.devices[i];
    if ((params->fReturnRemembered && device.remembered) ||
        (params->fReturnAuthenticated && device.authenticated) ||
        (params->fReturnConnected && device.connected) ||
        (params->fIssueInquiry && params->fReturnUnknown && device.unknown)) {
      find->matches.push_back(i);
    }
  }
  if (find->matches.empty()) {
    delete find;
    SetLastError(ERROR_NO_MORE_ITEMS);
    return nullptr;
  }
  Fill(world.devices[find->matches[find->next++]], info);
  return find;
}

__declspec(dllexport) BOOL WINAPI BluetoothFindNextDevice(HBLUETOOTH_DEVICE_FIND find,
                                                          BLUETOOTH_DEVICE_INFO* info) {
  auto* state = static_cast<DeviceFind*>(find);
  Log("BluetoothFindNextDevice");
  if (state == nullptr || info == nullptr || state->next >= state->matches.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  Fill(Loaded().devices[state->matches[state->next++]], info);
  return TRUE;
}

__declspec(dllexport) BOOL WINAPI BluetoothFindDeviceClose(HBLUETOOTH_DEVICE_FIND find) {
  Log("BluetoothFindDeviceClose");
  delete static_cast<DeviceFind*>(find);
  return TRUE;
}

__declspec(dllexport) DWORD WINAPI BluetoothRegisterForAuthentication(
    BLUETOOTH_DEVICE_INFO* info, HBLUETOOTH_AUTHENTICATION_REGISTRATION* handle,
    PFN_AUTHENTICATION_CALLBACK callback, PVOID) {
  Log("BluetoothRegisterForAuthentication %012llx", info ? info->Address.ullLong : 0ULL);
  if (handle == nullptr || callback == nullptr) return ERROR_INVALID_PARAMETER;
  *handle = new int(0);
  return ERROR_SUCCESS;
}

__declspec(dllexport) BOOL WINAPI
BluetoothUnregisterAuthentication(HBLUETOOTH_AUTHENTICATION_REGISTRATION handle) {
  Log("BluetoothUnregisterAuthentication");
  delete static_cast<int*>(handle);
  return TRUE;
}

__declspec(dllexport) DWORD WINAPI BluetoothSetServiceState(HANDLE, BLUETOOTH_DEVICE_INFO* info,
                                                            GUID* service, DWORD flags) {
  if (info == nullptr || service == nullptr) return ERROR_INVALID_PARAMETER;
  Log("BluetoothSetServiceState %012llx %08lx %lu", info->Address.ullLong, service->Data1, flags);
  Device* device = FindDevice(info->Address.ullLong);
  if (device == nullptr) return ERROR_NOT_FOUND;
  if (flags & 0x01) {  // BLUETOOTH_SERVICE_ENABLE
    bool present = false;
    for (const GUID& installed : device->services) present |= IsEqualGUID(installed, *service) != 0;
    if (!present) device->services.push_back(*service);
    if (IsEqualGUID(*service, kSerialPortService) && !device->port.empty()) {
      DeclareSerialPort(*device);
    }
  }
  return ERROR_SUCCESS;
}

__declspec(dllexport) DWORD WINAPI BluetoothEnumerateInstalledServices(
    HANDLE, BLUETOOTH_DEVICE_INFO* info, DWORD* count, GUID* services) {
  if (info == nullptr || count == nullptr) return ERROR_INVALID_PARAMETER;
  Log("BluetoothEnumerateInstalledServices %012llx room=%lu", info->Address.ullLong, *count);
  const Device* device = FindDevice(info->Address.ullLong);
  if (device == nullptr) return ERROR_NOT_FOUND;
  const DWORD room = *count;
  *count = static_cast<DWORD>(device->services.size());
  if (services == nullptr || device->services.size() > room) return ERROR_MORE_DATA;
  for (std::size_t i = 0; i < device->services.size(); ++i) services[i] = device->services[i];
  return ERROR_SUCCESS;
}

__declspec(dllexport) BOOL WINAPI BluetoothDisplayDeviceProperties(HWND,
                                                                   BLUETOOTH_DEVICE_INFO* info) {
  Log("BluetoothDisplayDeviceProperties %012llx", info ? info->Address.ullLong : 0ULL);
  return info != nullptr && FindDevice(info->Address.ullLong) != nullptr;
}

__declspec(dllexport) DWORD WINAPI BluetoothUpdateDeviceRecord(BLUETOOTH_DEVICE_INFO* info) {
  if (info == nullptr) return ERROR_INVALID_PARAMETER;
  Log("BluetoothUpdateDeviceRecord %012llx authenticated=%d", info->Address.ullLong,
      info->fAuthenticated);
  return FindDevice(info->Address.ullLong) != nullptr ? ERROR_SUCCESS : ERROR_NOT_FOUND;
}

__declspec(dllexport) DWORD WINAPI BluetoothSendAuthenticationResponse(HANDLE,
                                                                       BLUETOOTH_DEVICE_INFO* info,
                                                                       LPWSTR passkey) {
  Log("BluetoothSendAuthenticationResponse %012llx %ls", info ? info->Address.ullLong : 0ULL,
      passkey ? passkey : L"");
  return ERROR_SUCCESS;
}

__declspec(dllexport) DWORD WINAPI BluetoothAuthenticateDevice(HWND, HANDLE,
                                                               BLUETOOTH_DEVICE_INFO* info,
                                                               PWSTR passkey, ULONG length) {
  if (info == nullptr) return ERROR_INVALID_PARAMETER;
  Log("BluetoothAuthenticateDevice %012llx %.*ls %lu", info->Address.ullLong,
      static_cast<int>(length), passkey ? passkey : L"", length);
  Device* device = FindDevice(info->Address.ullLong);
  if (device == nullptr) return ERROR_NOT_FOUND;
  device->authenticated = true;
  info->fAuthenticated = TRUE;
  return ERROR_SUCCESS;
}

}  // extern "C"
