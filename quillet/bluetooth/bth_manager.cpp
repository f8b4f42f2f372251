#include "bluetooth/bth_manager.h"

#include "bluetooth/bth_auth.h"

namespace quillet {

namespace {

// Keeps the hourglass up until the scan returns, whichever way it returns.
class ScopedWaitCursor {
 public:
  explicit ScopedWaitCursor(Controls& cursor) : m_cursor(cursor) { m_cursor.BeginWaitCursor(); }
  ~ScopedWaitCursor() { m_cursor.EndWaitCursor(); }
  ScopedWaitCursor(const ScopedWaitCursor&) = delete;
  ScopedWaitCursor& operator=(const ScopedWaitCursor&) = delete;

 private:
  Controls& m_cursor;
};

BthDeviceInfo EmptyDeviceInfo() {
  BthDeviceInfo info;
  info.dwSize = kDeviceInfoSize;
  return info;
}

// Names of 64 units or more are cut to 63 so the terminator always fits.
void CopyDeviceName(const std::array<char16_t, kBthMaxNameSize>& source,
                    std::array<char16_t, 64>& target) {
  std::size_t length = 0;
  while (length + 1 < target.size() && source[length] != u'\0') {
    target[length] = source[length];
    ++length;
  }
  target[length] = u'\0';
}

}  // namespace

BthGuid BluetoothServiceClass(std::uint16_t shortForm) {
  return BthGuid{shortForm, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};
}

const std::array<BthGuid, 3> kEnabledServiceClasses = {
    BluetoothServiceClass(0x1101),  // SerialPortServiceClass_UUID
    BluetoothServiceClass(0x1102),  // LANAccessUsingPPPServiceClass_UUID
    BluetoothServiceClass(0x1103),  // DialupNetworkingServiceClass_UUID
};

std::u16string FormatBthAddress(BLUETOOTH_ADDRESS address) {
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  std::u16string text;
  for (int byteIndex = 5; byteIndex >= 0; --byteIndex) {
    const auto value = static_cast<unsigned>((address >> (8 * byteIndex)) & 0xFF);
    text += kDigits[value >> 4];
    text += kDigits[value & 0x0F];
    if (byteIndex > 0) text += u':';
  }
  return text;
}

CBthManager::CBthManager(BluetoothApi& api, Controls& controls)
    : m_api(api), m_controls(controls) {}

// Registrations go before the radio handles they answer through.
CBthManager::~CBthManager() {
  ClearDevices();
  ClearRadios();
}

void CBthManager::ClearDevices() {
  for (_RemoteBthDevInfo& device : m_arrDevices) {
    // The stack may call back until the registration is gone: unregister first.
    if (!IsAbsent(device.hRegHandle)) m_api.BluetoothUnregisterAuthentication(device.hRegHandle);
    if (device.pAuthContext != nullptr) delete device.pAuthContext;
  }
  m_arrDevices.clear();
  m_arrDevices.shrink_to_fit();
}

void CBthManager::ClearRadios() {
  for (_LocalRadioInfo& radio : m_arrRadios) {
    if (!IsAbsent(radio.hRadio)) m_api.CloseHandle(radio.hRadio);
  }
  m_arrRadios.clear();
  m_arrRadios.shrink_to_fit();
}

int CBthManager::EnumerateRadios() {
  // Handles of an earlier enumeration stay open: device records of an earlier
  // scan still answer through them.
  m_arrRadios.clear();
  m_arrRadios.shrink_to_fit();

  Handle hRadio = 0;
  const Handle hFind = m_api.BluetoothFindFirstRadio(hRadio);
  if (IsAbsent(hFind)) return 0;

  for (;;) {
    if (!IsAbsent(hRadio)) {
      _LocalRadioInfo radio;
      radio.radioInfo.dwSize = kRadioInfoSize;
      if (m_api.BluetoothGetRadioInfo(hRadio, radio.radioInfo) == kErrorSuccess) {
        m_api.BluetoothEnableDiscovery(hRadio, true);
        m_api.BluetoothEnableIncomingConnections(hRadio, true);
        radio.hRadio = hRadio;
        m_arrRadios.push_back(radio);
      }
    }
    if (!m_api.BluetoothFindNextRadio(hFind, hRadio)) break;
  }
  m_api.BluetoothFindRadioClose(hFind);
  return static_cast<int>(m_arrRadios.size());
}

bool CBthManager::ReadDeviceInfo(const _RemoteBthDevInfo& device, BthDeviceInfo* pInfo) {
  BthDeviceInfo info = EmptyDeviceInfo();
  info.Address = device.address;
  if (m_api.BluetoothGetDeviceInfo(device.hRadio, info) != kErrorSuccess) return false;
  if (pInfo != nullptr) *pInfo = info;
  return true;
}

int CBthManager::ScanDevices(Handle hRadio, bool returnRemembered, bool issueInquiry) {
  ClearDevices();
  ScopedWaitCursor waitCursor(m_controls);

  BthDeviceInfo info = EmptyDeviceInfo();
  BthDeviceSearchParams params;
  params.fReturnAuthenticated = true;
  params.fReturnRemembered = returnRemembered;
  params.fReturnUnknown = true;
  params.fReturnConnected = true;
  params.fIssueInquiry = issueInquiry;
  params.cTimeoutMultiplier = 30;  // units of 1.28 s
  params.hRadio = hRadio;

  const Handle hFind = m_api.BluetoothFindFirstDevice(params, info);
  if (IsAbsent(hFind)) return -1;

  do {
    _RemoteBthDevInfo device;
    device.address = info.Address;
    device.hRadio = hRadio;
    CopyDeviceName(info.szName, device.szName);
    EnableDeviceServices(device);

    device.pAuthContext = new _BthAuthContext{&m_arrDevices, hRadio};
    m_api.BluetoothRegisterForAuthentication(info, &device.hRegHandle, AuthenticationCallback,
                                             device.pAuthContext);
    m_arrDevices.push_back(device);
  } while (m_api.BluetoothFindNextDevice(hFind, info));

  m_api.BluetoothFindDeviceClose(hFind);
  return static_cast<int>(m_arrDevices.size());
}

int CBthManager::EnableDeviceServices(_RemoteBthDevInfo& device) {
  BthDeviceInfo info;
  if (!ReadDeviceInfo(device, &info)) return -1;
  for (const BthGuid& service : kEnabledServiceClasses) {
    m_api.BluetoothSetServiceState(device.hRadio, info, service, BLUETOOTH_SERVICE_ENABLE);
  }
  if (!ReadDeviceInfo(device, &info)) return -1;

  std::uint32_t count = static_cast<std::uint32_t>(device.services.size());
  if (m_api.BluetoothEnumerateInstalledServices(device.hRadio, info, count,
                                                device.services.data()) != kErrorSuccess) {
    return -1;
  }
  return static_cast<int>(count);
}

bool CBthManager::ShowDeviceProperties(int index, Handle parent) {
  if (index < 0 || static_cast<std::size_t>(index) >= m_arrDevices.size()) return false;
  BthDeviceInfo info;
  if (!ReadDeviceInfo(m_arrDevices[static_cast<std::size_t>(index)], &info)) return false;
  return m_api.BluetoothDisplayDeviceProperties(parent, info);
}

bool CBthManager::AuthenticateRemoteDevice(int index, Handle parent, std::uint32_t* pError) {
  if (index < 0 || static_cast<std::size_t>(index) >= m_arrDevices.size()) return false;
  const _RemoteBthDevInfo& device = m_arrDevices[static_cast<std::size_t>(index)];
  BthDeviceInfo info;
  if (!ReadDeviceInfo(device, &info)) return false;
  if (info.fAuthenticated) return true;

  info.fAuthenticated = true;
  m_api.BluetoothUpdateDeviceRecord(info);
  const std::uint32_t result =
      m_api.BluetoothAuthenticateDevice(parent, device.hRadio, info, kPasskey, kPasskeyLength);
  if (pError != nullptr) *pError = result;
  return result == kErrorSuccess;
}

}  // namespace quillet
