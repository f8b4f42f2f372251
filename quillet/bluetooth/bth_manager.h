#pragma once
// What the program knows about Bluetooth: local radios of the last enumeration,
// remote devices of the last scan, and the operations on them.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/bluetooth_api.h"
#include "platform/controls.h"

namespace quillet {

struct _BthAuthContext;

// One remote device found by a scan. Plain data: copied by value; the
// registration and the context are released by CBthManager::ClearDevices.
struct _RemoteBthDevInfo {
  Handle hRadio = 0;  // copy; owned by the radio's _LocalRadioInfo
  std::array<char16_t, 64> szName{};  // zero-terminated, at most 63 units
  BLUETOOTH_ADDRESS address = 0;
  std::array<BthGuid, 10> services{};
  Handle hRegHandle = 0;
  _BthAuthContext* pAuthContext = nullptr;
};

// One local radio; owns hRadio (closed by CBthManager::ClearRadios).
struct _LocalRadioInfo {
  BthRadioInfo radioInfo;
  Handle hRadio = 0;
};

// Parameter of one authentication registration; the callback reads only hRadio.
struct _BthAuthContext {
  std::vector<_RemoteBthDevInfo>* pDevices = nullptr;
  Handle hRadio = 0;
};

class CBthManager {
 public:
  CBthManager(BluetoothApi& api, Controls& controls);
  ~CBthManager();
  CBthManager(const CBthManager&) = delete;
  CBthManager& operator=(const CBthManager&) = delete;

  void ClearDevices();
  void ClearRadios();
  int EnumerateRadios();
  bool ReadDeviceInfo(const _RemoteBthDevInfo& device, BthDeviceInfo* pInfo = nullptr);

  // Number of devices found (1 or more), or -1 when the search found nothing or failed.
  int ScanDevices(Handle hRadio, bool returnRemembered, bool issueInquiry);
  int EnableDeviceServices(_RemoteBthDevInfo& device);
  bool ShowDeviceProperties(int index, Handle parent);

  bool AuthenticateRemoteDevice(int index, Handle parent, std::uint32_t* pError);

  BluetoothApi& api() { return m_api; }

  std::vector<_RemoteBthDevInfo> m_arrDevices;
  std::vector<_LocalRadioInfo> m_arrRadios;

 private:
  BluetoothApi& m_api;
  Controls& m_controls;
};

// "00:1a:7d:da:71:13": the six low bytes, most significant first.
std::u16string FormatBthAddress(BLUETOOTH_ADDRESS address);

// The three services the scan switches on, in this order: serial port,
// LAN access using PPP, dial-up networking.
extern const std::array<BthGuid, 3> kEnabledServiceClasses;

// The Bluetooth base UUID with a 16-bit short form.
BthGuid BluetoothServiceClass(std::uint16_t shortForm);

}  // namespace quillet
