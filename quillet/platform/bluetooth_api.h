#pragma once
// Seam over the Bluetooth API (loaded at run time from irprops.cpl) and the
// system's error texts: one method per call, portable types.
#include <array>
#include <cstdint>
#include <string>

#include "platform/handle.h"

namespace quillet {

// BLUETOOTH_ADDRESS: the 48-bit address in the low six bytes, least significant first.
using BLUETOOTH_ADDRESS = std::uint64_t;

struct BthGuid {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::array<std::uint8_t, 8> Data4{};
  friend bool operator==(const BthGuid&, const BthGuid&) = default;
};

struct BthSystemTime {
  std::uint16_t wYear = 0, wMonth = 0, wDayOfWeek = 0, wDay = 0;
  std::uint16_t wHour = 0, wMinute = 0, wSecond = 0, wMilliseconds = 0;
  friend bool operator==(const BthSystemTime&, const BthSystemTime&) = default;
};

inline constexpr std::size_t kBthMaxNameSize = 248;

// BLUETOOTH_DEVICE_INFO, every field, so a block read from the system goes back unchanged.
struct BthDeviceInfo {
  std::uint32_t dwSize = 0;
  BLUETOOTH_ADDRESS Address = 0;
  std::uint32_t ulClassofDevice = 0;
  bool fConnected = false;
  bool fRemembered = false;
  bool fAuthenticated = false;
  BthSystemTime stLastSeen;
  BthSystemTime stLastUsed;
  std::array<char16_t, kBthMaxNameSize> szName{};
  friend bool operator==(const BthDeviceInfo&, const BthDeviceInfo&) = default;
};

// BLUETOOTH_RADIO_INFO.
struct BthRadioInfo {
  std::uint32_t dwSize = 0;
  BLUETOOTH_ADDRESS address = 0;
  std::array<char16_t, kBthMaxNameSize> szName{};
  std::uint32_t ulClassofDevice = 0;
  std::uint16_t lmpSubversion = 0;
  std::uint16_t manufacturer = 0;
};

// BLUETOOTH_DEVICE_SEARCH_PARAMS without dwSize: the adapter builds the
// platform structure and sets its size.
struct BthDeviceSearchParams {
  bool fReturnAuthenticated = false;
  bool fReturnRemembered = false;
  bool fReturnUnknown = false;
  bool fReturnConnected = false;
  bool fIssueInquiry = false;
  std::uint8_t cTimeoutMultiplier = 0;
  Handle hRadio = 0;
};

// The sizes the platform gives its information blocks (the same on every target).
inline constexpr std::uint32_t kDeviceInfoSize = 560;
inline constexpr std::uint32_t kRadioInfoSize = 520;

inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t BLUETOOTH_SERVICE_ENABLE = 0x01;

class BluetoothApi;

// PFN_AUTHENTICATION_CALLBACK, with the API the callback answers through.
using BthAuthenticationCallback = bool (*)(BluetoothApi& api, void* pvParam,
                                           BthDeviceInfo* pDevice);

class BluetoothApi {
 public:
  virtual ~BluetoothApi() = default;

  // BluetoothFindFirstRadio with a BLUETOOTH_FIND_RADIO_PARAMS of its own size;
  // returns the search handle (absent when none), the first radio in radio.
  virtual Handle BluetoothFindFirstRadio(Handle& radio) = 0;
  virtual bool BluetoothFindNextRadio(Handle find, Handle& radio) = 0;
  virtual bool BluetoothFindRadioClose(Handle find) = 0;
  virtual std::uint32_t BluetoothGetRadioInfo(Handle radio, BthRadioInfo& info) = 0;
  virtual bool BluetoothEnableDiscovery(Handle radio, bool enabled) = 0;
  virtual bool BluetoothEnableIncomingConnections(Handle radio, bool enabled) = 0;
  virtual std::uint32_t BluetoothGetDeviceInfo(Handle radio, BthDeviceInfo& info) = 0;

  virtual Handle BluetoothFindFirstDevice(const BthDeviceSearchParams& params,
                                             BthDeviceInfo& info) = 0;
  virtual bool BluetoothFindNextDevice(Handle find, BthDeviceInfo& info) = 0;
  virtual bool BluetoothFindDeviceClose(Handle find) = 0;

  virtual std::uint32_t BluetoothRegisterForAuthentication(const BthDeviceInfo& info,
                                                           Handle* regHandle,
                                                           BthAuthenticationCallback callback,
                                                           void* pvParam) = 0;
  virtual bool BluetoothUnregisterAuthentication(Handle regHandle) = 0;

  virtual std::uint32_t BluetoothSetServiceState(Handle radio, const BthDeviceInfo& info,
                                                 const BthGuid& service,
                                                 std::uint32_t serviceFlags) = 0;
  // count: room in services on entry, the number written on return.
  virtual std::uint32_t BluetoothEnumerateInstalledServices(Handle radio,
                                                            const BthDeviceInfo& info,
                                                            std::uint32_t& count,
                                                            BthGuid* services) = 0;
  virtual bool BluetoothDisplayDeviceProperties(Handle parent, const BthDeviceInfo& info) = 0;

  virtual std::uint32_t BluetoothUpdateDeviceRecord(const BthDeviceInfo& info) = 0;
  virtual std::uint32_t BluetoothSendAuthenticationResponse(Handle radio,
                                                            const BthDeviceInfo& info,
                                                            const std::u16string& passkey) = 0;
  virtual std::uint32_t BluetoothAuthenticateDevice(Handle parent, Handle radio,
                                                    BthDeviceInfo& info,
                                                    const std::u16string& passkey,
                                                    std::uint32_t passkeyLength) = 0;

  // CloseHandle on a radio handle.
  virtual bool CloseHandle(Handle handle) = 0;
};

// FormatMessageW(ALLOCATE_BUFFER | FROM_SYSTEM, no source, code, language 0x400);
// false when no buffer came back, else the whole text (LocalFree'd by the adapter).
class SystemMessages {
 public:
  virtual ~SystemMessages() = default;
  virtual bool FormatMessageW(std::uint32_t flags, std::uint32_t code, std::uint32_t languageId,
                              std::u16string& text) = 0;
};

}  // namespace quillet
