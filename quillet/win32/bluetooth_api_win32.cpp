#include "win32/bluetooth_api_win32.h"

#include <windows.h>
#include <bluetoothapis.h>

#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace quillet {
namespace {

static_assert(sizeof(BLUETOOTH_DEVICE_INFO) == kDeviceInfoSize);
static_assert(sizeof(BLUETOOTH_RADIO_INFO) == kRadioInfoSize);
#if defined(_M_IX86) || defined(__i386__)
static_assert(sizeof(BLUETOOTH_DEVICE_SEARCH_PARAMS) == 32);
static_assert(sizeof(BLUETOOTH_FIND_RADIO_PARAMS) == 4);
#endif

// Not declared by every SDK's bluetoothapis.h; the older passkey form.
using AuthenticateDeviceFn = DWORD(WINAPI*)(HWND, HANDLE, BLUETOOTH_DEVICE_INFO*, PWSTR, ULONG);

// A failing call of a function the library does not export.
constexpr DWORD kNotImplemented = ERROR_CALL_NOT_IMPLEMENTED;

template <typename T>
T Native(Handle handle) {
  return reinterpret_cast<T>(handle);
}
template <typename T>
Handle Opaque(T handle) {
  return reinterpret_cast<Handle>(handle);
}

SYSTEMTIME ToNative(const BthSystemTime& time) {
  return SYSTEMTIME{time.wYear, time.wMonth,  time.wDayOfWeek, time.wDay,
                    time.wHour, time.wMinute, time.wSecond,    time.wMilliseconds};
}

BthSystemTime FromNative(const SYSTEMTIME& time) {
  return BthSystemTime{time.wYear, time.wMonth,  time.wDayOfWeek, time.wDay,
                       time.wHour, time.wMinute, time.wSecond,    time.wMilliseconds};
}

BLUETOOTH_DEVICE_INFO ToNative(const BthDeviceInfo& info) {
  BLUETOOTH_DEVICE_INFO native{};
  native.dwSize = info.dwSize;
  native.Address.ullLong = info.Address;
  native.ulClassofDevice = info.ulClassofDevice;
  native.fConnected = info.fConnected;
  native.fRemembered = info.fRemembered;
  native.fAuthenticated = info.fAuthenticated;
  native.stLastSeen = ToNative(info.stLastSeen);
  native.stLastUsed = ToNative(info.stLastUsed);
  std::memcpy(native.szName, info.szName.data(), sizeof native.szName);
  return native;
}

void FromNative(const BLUETOOTH_DEVICE_INFO& native, BthDeviceInfo& info) {
  info.dwSize = native.dwSize;
  info.Address = native.Address.ullLong;
  info.ulClassofDevice = native.ulClassofDevice;
  info.fConnected = native.fConnected != FALSE;
  info.fRemembered = native.fRemembered != FALSE;
  info.fAuthenticated = native.fAuthenticated != FALSE;
  info.stLastSeen = FromNative(native.stLastSeen);
  info.stLastUsed = FromNative(native.stLastUsed);
  std::memcpy(info.szName.data(), native.szName, sizeof native.szName);
}

GUID ToNative(const BthGuid& guid) {
  GUID native{};
  native.Data1 = guid.Data1;
  native.Data2 = guid.Data2;
  native.Data3 = guid.Data3;
  std::memcpy(native.Data4, guid.Data4.data(), sizeof native.Data4);
  return native;
}

BthGuid FromNative(const GUID& native) {
  BthGuid guid;
  guid.Data1 = native.Data1;
  guid.Data2 = native.Data2;
  guid.Data3 = native.Data3;
  std::memcpy(guid.Data4.data(), native.Data4, sizeof native.Data4);
  return guid;
}

std::vector<wchar_t> WideBuffer(const std::u16string& text) {
  std::vector<wchar_t> buffer(text.begin(), text.end());
  buffer.push_back(L'\0');
  return buffer;
}

// What the native callback needs to reach the core's callback.
struct Registration {
  BluetoothApi* api;
  BthAuthenticationCallback callback;
  void* param;
};

// The stack calls back with the system's calling convention (stdcall on 32-bit);
// mingw's header declares the pointer type without it, so the cast below.
BOOL CALLBACK AuthenticationTrampoline(LPVOID pvParam, PBLUETOOTH_DEVICE_INFO pDevice) {
  const auto* registration = static_cast<const Registration*>(pvParam);
  if (registration == nullptr || pDevice == nullptr) return FALSE;
  BthDeviceInfo info;
  FromNative(*pDevice, info);
  const bool answered = registration->callback(*registration->api, registration->param, &info);
  *pDevice = ToNative(info);
  return answered ? TRUE : FALSE;
}

}  // namespace

struct Win32BluetoothApi::Library {
  HMODULE module = nullptr;
  decltype(&::BluetoothFindFirstRadio) findFirstRadio = nullptr;
  decltype(&::BluetoothFindNextRadio) findNextRadio = nullptr;
  decltype(&::BluetoothFindRadioClose) findRadioClose = nullptr;
  decltype(&::BluetoothGetRadioInfo) getRadioInfo = nullptr;
  decltype(&::BluetoothEnableDiscovery) enableDiscovery = nullptr;
  decltype(&::BluetoothEnableIncomingConnections) enableIncomingConnections = nullptr;
  decltype(&::BluetoothGetDeviceInfo) getDeviceInfo = nullptr;
  decltype(&::BluetoothFindFirstDevice) findFirstDevice = nullptr;
  decltype(&::BluetoothFindNextDevice) findNextDevice = nullptr;
  decltype(&::BluetoothFindDeviceClose) findDeviceClose = nullptr;
  decltype(&::BluetoothRegisterForAuthentication) registerForAuthentication = nullptr;
  decltype(&::BluetoothUnregisterAuthentication) unregisterAuthentication = nullptr;
  decltype(&::BluetoothSetServiceState) setServiceState = nullptr;
  decltype(&::BluetoothEnumerateInstalledServices) enumerateInstalledServices = nullptr;
  decltype(&::BluetoothDisplayDeviceProperties) displayDeviceProperties = nullptr;
  decltype(&::BluetoothUpdateDeviceRecord) updateDeviceRecord = nullptr;
  decltype(&::BluetoothSendAuthenticationResponse) sendAuthenticationResponse = nullptr;
  AuthenticateDeviceFn authenticateDevice = nullptr;

  // Registrations by handle; the stack holds a pointer to each until it is removed.
  std::mutex registrationsLock;
  std::map<Handle, std::unique_ptr<Registration>> registrations;

  template <typename T>
  void Load(T& function, const char* name) {
    function = reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  }

  Library() {
    module = LoadLibraryW(L"irprops.cpl");
    if (module == nullptr) module = LoadLibraryW(L"bthprops.cpl");
    if (module == nullptr) return;
    Load(findFirstRadio, "BluetoothFindFirstRadio");
    Load(findNextRadio, "BluetoothFindNextRadio");
    Load(findRadioClose, "BluetoothFindRadioClose");
    Load(getRadioInfo, "BluetoothGetRadioInfo");
    Load(enableDiscovery, "BluetoothEnableDiscovery");
    Load(enableIncomingConnections, "BluetoothEnableIncomingConnections");
    Load(getDeviceInfo, "BluetoothGetDeviceInfo");
    Load(findFirstDevice, "BluetoothFindFirstDevice");
    Load(findNextDevice, "BluetoothFindNextDevice");
    Load(findDeviceClose, "BluetoothFindDeviceClose");
    Load(registerForAuthentication, "BluetoothRegisterForAuthentication");
    Load(unregisterAuthentication, "BluetoothUnregisterAuthentication");
    Load(setServiceState, "BluetoothSetServiceState");
    Load(enumerateInstalledServices, "BluetoothEnumerateInstalledServices");
    Load(displayDeviceProperties, "BluetoothDisplayDeviceProperties");
    Load(updateDeviceRecord, "BluetoothUpdateDeviceRecord");
    Load(sendAuthenticationResponse, "BluetoothSendAuthenticationResponse");
    Load(authenticateDevice, "BluetoothAuthenticateDevice");
  }
  ~Library() {
    if (module != nullptr) FreeLibrary(module);
  }
};

Win32BluetoothApi::Win32BluetoothApi() : m_library(std::make_unique<Library>()) {}
Win32BluetoothApi::~Win32BluetoothApi() = default;

Handle Win32BluetoothApi::BluetoothFindFirstRadio(Handle& radio) {
  if (m_library->findFirstRadio == nullptr) return 0;
  BLUETOOTH_FIND_RADIO_PARAMS params{};
  params.dwSize = sizeof params;
  HANDLE nativeRadio = nullptr;
  const HBLUETOOTH_RADIO_FIND find = m_library->findFirstRadio(&params, &nativeRadio);
  radio = Opaque(nativeRadio);
  return Opaque(find);
}

bool Win32BluetoothApi::BluetoothFindNextRadio(Handle find, Handle& radio) {
  if (m_library->findNextRadio == nullptr) return false;
  HANDLE nativeRadio = nullptr;
  const BOOL found = m_library->findNextRadio(Native<HBLUETOOTH_RADIO_FIND>(find), &nativeRadio);
  radio = Opaque(nativeRadio);
  return found != FALSE;
}

bool Win32BluetoothApi::BluetoothFindRadioClose(Handle find) {
  if (m_library->findRadioClose == nullptr) return false;
  return m_library->findRadioClose(Native<HBLUETOOTH_RADIO_FIND>(find)) != FALSE;
}

std::uint32_t Win32BluetoothApi::BluetoothGetRadioInfo(Handle radio, BthRadioInfo& info) {
  if (m_library->getRadioInfo == nullptr) return kNotImplemented;
  BLUETOOTH_RADIO_INFO native{};
  native.dwSize = info.dwSize;
  const DWORD result = m_library->getRadioInfo(Native<HANDLE>(radio), &native);
  info.dwSize = native.dwSize;
  info.address = native.address.ullLong;
  std::memcpy(info.szName.data(), native.szName, sizeof native.szName);
  info.ulClassofDevice = native.ulClassofDevice;
  info.lmpSubversion = native.lmpSubversion;
  info.manufacturer = native.manufacturer;
  return result;
}

bool Win32BluetoothApi::BluetoothEnableDiscovery(Handle radio, bool enabled) {
  if (m_library->enableDiscovery == nullptr) return false;
  return m_library->enableDiscovery(Native<HANDLE>(radio), enabled) != FALSE;
}

bool Win32BluetoothApi::BluetoothEnableIncomingConnections(Handle radio, bool enabled) {
  if (m_library->enableIncomingConnections == nullptr) return false;
  return m_library->enableIncomingConnections(Native<HANDLE>(radio), enabled) != FALSE;
}

std::uint32_t Win32BluetoothApi::BluetoothGetDeviceInfo(Handle radio, BthDeviceInfo& info) {
  if (m_library->getDeviceInfo == nullptr) return kNotImplemented;
  BLUETOOTH_DEVICE_INFO native = ToNative(info);
  const DWORD result = m_library->getDeviceInfo(Native<HANDLE>(radio), &native);
  FromNative(native, info);
  return result;
}

Handle Win32BluetoothApi::BluetoothFindFirstDevice(const BthDeviceSearchParams& params,
                                                   BthDeviceInfo& info) {
  if (m_library->findFirstDevice == nullptr) return 0;
  BLUETOOTH_DEVICE_SEARCH_PARAMS native{};
  native.dwSize = sizeof native;
  native.fReturnAuthenticated = params.fReturnAuthenticated;
  native.fReturnRemembered = params.fReturnRemembered;
  native.fReturnUnknown = params.fReturnUnknown;
  native.fReturnConnected = params.fReturnConnected;
  native.fIssueInquiry = params.fIssueInquiry;
  native.cTimeoutMultiplier = params.cTimeoutMultiplier;
  native.hRadio = Native<HANDLE>(params.hRadio);
  BLUETOOTH_DEVICE_INFO nativeInfo = ToNative(info);
  const HBLUETOOTH_DEVICE_FIND find = m_library->findFirstDevice(&native, &nativeInfo);
  FromNative(nativeInfo, info);
  return Opaque(find);
}

bool Win32BluetoothApi::BluetoothFindNextDevice(Handle find, BthDeviceInfo& info) {
  if (m_library->findNextDevice == nullptr) return false;
  BLUETOOTH_DEVICE_INFO native = ToNative(info);
  const BOOL found = m_library->findNextDevice(Native<HBLUETOOTH_DEVICE_FIND>(find), &native);
  FromNative(native, info);
  return found != FALSE;
}

bool Win32BluetoothApi::BluetoothFindDeviceClose(Handle find) {
  if (m_library->findDeviceClose == nullptr) return false;
  return m_library->findDeviceClose(Native<HBLUETOOTH_DEVICE_FIND>(find)) != FALSE;
}

std::uint32_t Win32BluetoothApi::BluetoothRegisterForAuthentication(
    const BthDeviceInfo& info, Handle* regHandle, BthAuthenticationCallback callback,
    void* pvParam) {
  if (m_library->registerForAuthentication == nullptr) return kNotImplemented;
  auto registration = std::make_unique<Registration>(Registration{this, callback, pvParam});
  BLUETOOTH_DEVICE_INFO native = ToNative(info);
  HBLUETOOTH_AUTHENTICATION_REGISTRATION nativeHandle = nullptr;
  const DWORD result = m_library->registerForAuthentication(
      &native, &nativeHandle,
      reinterpret_cast<PFN_AUTHENTICATION_CALLBACK>(reinterpret_cast<void (*)()>(&AuthenticationTrampoline)),
      registration.get());
  if (result == ERROR_SUCCESS && nativeHandle != nullptr) {
    *regHandle = Opaque(nativeHandle);
    std::lock_guard<std::mutex> lock(m_library->registrationsLock);
    m_library->registrations[*regHandle] = std::move(registration);
  }
  return result;
}

bool Win32BluetoothApi::BluetoothUnregisterAuthentication(Handle regHandle) {
  if (m_library->unregisterAuthentication == nullptr) return false;
  const BOOL removed =
      m_library->unregisterAuthentication(Native<HBLUETOOTH_AUTHENTICATION_REGISTRATION>(regHandle));
  // The stack no longer calls back through this registration.
  std::lock_guard<std::mutex> lock(m_library->registrationsLock);
  m_library->registrations.erase(regHandle);
  return removed != FALSE;
}

std::uint32_t Win32BluetoothApi::BluetoothSetServiceState(Handle radio, const BthDeviceInfo& info,
                                                          const BthGuid& service,
                                                          std::uint32_t serviceFlags) {
  if (m_library->setServiceState == nullptr) return kNotImplemented;
  BLUETOOTH_DEVICE_INFO native = ToNative(info);
  GUID nativeService = ToNative(service);
  return m_library->setServiceState(Native<HANDLE>(radio), &native, &nativeService, serviceFlags);
}

std::uint32_t Win32BluetoothApi::BluetoothEnumerateInstalledServices(Handle radio,
                                                                     const BthDeviceInfo& info,
                                                                     std::uint32_t& count,
                                                                     BthGuid* services) {
  if (m_library->enumerateInstalledServices == nullptr) return kNotImplemented;
  BLUETOOTH_DEVICE_INFO native = ToNative(info);
  std::vector<GUID> nativeServices(count);
  DWORD nativeCount = count;
  const DWORD result = m_library->enumerateInstalledServices(
      Native<HANDLE>(radio), &native, &nativeCount, nativeServices.data());
  const std::uint32_t written = nativeCount < count ? nativeCount : count;
  for (std::uint32_t i = 0; i < written; ++i) services[i] = FromNative(nativeServices[i]);
  count = nativeCount;
  return result;
}

bool Win32BluetoothApi::BluetoothDisplayDeviceProperties(Handle parent, const BthDeviceInfo& info) {
  if (m_library->displayDeviceProperties == nullptr) return false;
  BLUETOOTH_DEVICE_INFO native = ToNative(info);
  return m_library->displayDeviceProperties(Native<HWND>(parent), &native) != FALSE;
}

std::uint32_t Win32BluetoothApi::BluetoothUpdateDeviceRecord(const BthDeviceInfo& info) {
  if (m_library->updateDeviceRecord == nullptr) return kNotImplemented;
  BLUETOOTH_DEVICE_INFO native = ToNative(info);
  return m_library->updateDeviceRecord(&native);
}

std::uint32_t Win32BluetoothApi::BluetoothSendAuthenticationResponse(
    Handle radio, const BthDeviceInfo& info, const std::u16string& passkey) {
  if (m_library->sendAuthenticationResponse == nullptr) return kNotImplemented;
  BLUETOOTH_DEVICE_INFO native = ToNative(info);
  std::vector<wchar_t> key = WideBuffer(passkey);
  return m_library->sendAuthenticationResponse(Native<HANDLE>(radio), &native, key.data());
}

std::uint32_t Win32BluetoothApi::BluetoothAuthenticateDevice(Handle parent, Handle radio,
                                                             BthDeviceInfo& info,
                                                             const std::u16string& passkey,
                                                             std::uint32_t passkeyLength) {
  if (m_library->authenticateDevice == nullptr) return kNotImplemented;
  BLUETOOTH_DEVICE_INFO native = ToNative(info);
  std::vector<wchar_t> key = WideBuffer(passkey);
  const DWORD result = m_library->authenticateDevice(Native<HWND>(parent), Native<HANDLE>(radio),
                                                     &native, key.data(), passkeyLength);
  FromNative(native, info);
  return result;
}

bool Win32BluetoothApi::CloseHandle(Handle handle) {
  return ::CloseHandle(Native<HANDLE>(handle)) != FALSE;
}

bool Win32BluetoothApi::FormatMessageW(std::uint32_t flags, std::uint32_t code,
                                       std::uint32_t languageId, std::u16string& text) {
  LPWSTR buffer = nullptr;
  ::FormatMessageW(flags, nullptr, code, languageId, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  if (buffer == nullptr) return false;
  text.assign(buffer, buffer + std::wcslen(buffer));
  LocalFree(buffer);
  return true;
}

}  // namespace quillet
