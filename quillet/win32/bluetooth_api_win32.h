#pragma once
// The Bluetooth API as loaded at run time from irprops.cpl (bthprops.cpl where
// irprops.cpl is absent), and FormatMessageW. A missing library or function
// fails like a machine without a radio.
#include <memory>

#include "platform/bluetooth_api.h"

namespace quillet {

class Win32BluetoothApi final : public BluetoothApi, public SystemMessages {
 public:
  Win32BluetoothApi();
  ~Win32BluetoothApi() override;
  Win32BluetoothApi(const Win32BluetoothApi&) = delete;
  Win32BluetoothApi& operator=(const Win32BluetoothApi&) = delete;

  Handle BluetoothFindFirstRadio(Handle& radio) override;
  bool BluetoothFindNextRadio(Handle find, Handle& radio) override;
  bool BluetoothFindRadioClose(Handle find) override;
  std::uint32_t BluetoothGetRadioInfo(Handle radio, BthRadioInfo& info) override;
  bool BluetoothEnableDiscovery(Handle radio, bool enabled) override;
  bool BluetoothEnableIncomingConnections(Handle radio, bool enabled) override;
  std::uint32_t BluetoothGetDeviceInfo(Handle radio, BthDeviceInfo& info) override;
  Handle BluetoothFindFirstDevice(const BthDeviceSearchParams& params, BthDeviceInfo& info) override;
  bool BluetoothFindNextDevice(Handle find, BthDeviceInfo& info) override;
  bool BluetoothFindDeviceClose(Handle find) override;
  std::uint32_t BluetoothRegisterForAuthentication(const BthDeviceInfo& info, Handle* regHandle,
                                                   BthAuthenticationCallback callback,
                                                   void* pvParam) override;
  bool BluetoothUnregisterAuthentication(Handle regHandle) override;
  std::uint32_t BluetoothSetServiceState(Handle radio, const BthDeviceInfo& info,
                                         const BthGuid& service,
                                         std::uint32_t serviceFlags) override;
  std::uint32_t BluetoothEnumerateInstalledServices(Handle radio, const BthDeviceInfo& info,
                                                    std::uint32_t& count,
                                                    BthGuid* services) override;
  bool BluetoothDisplayDeviceProperties(Handle parent, const BthDeviceInfo& info) override;
  std::uint32_t BluetoothUpdateDeviceRecord(const BthDeviceInfo& info) override;
  std::uint32_t BluetoothSendAuthenticationResponse(Handle radio, const BthDeviceInfo& info,
                                                    const std::u16string& passkey) override;
  std::uint32_t BluetoothAuthenticateDevice(Handle parent, Handle radio, BthDeviceInfo& info,
                                            const std::u16string& passkey,
                                            std::uint32_t passkeyLength) override;
  bool CloseHandle(Handle handle) override;

  bool FormatMessageW(std::uint32_t flags, std::uint32_t code, std::uint32_t languageId,
                      std::u16string& text) override;

 private:
  struct Library;
  std::unique_ptr<Library> m_library;
};

}  // namespace quillet
