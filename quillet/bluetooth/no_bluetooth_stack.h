#pragma once
// A machine without Bluetooth: every call fails as when the library or its
// functions are missing. Stands in when the dialog is given no Bluetooth seam.
#include "platform/bluetooth_api.h"

namespace quillet {

class NoBluetoothStack final : public BluetoothApi, public SystemMessages {
 public:
  static constexpr std::uint32_t kNotImplemented = 120;

  Handle BluetoothFindFirstRadio(Handle&) override { return 0; }
  bool BluetoothFindNextRadio(Handle, Handle&) override { return false; }
  bool BluetoothFindRadioClose(Handle) override { return false; }
  std::uint32_t BluetoothGetRadioInfo(Handle, BthRadioInfo&) override { return kNotImplemented; }
  bool BluetoothEnableDiscovery(Handle, bool) override { return false; }
  bool BluetoothEnableIncomingConnections(Handle, bool) override { return false; }
  std::uint32_t BluetoothGetDeviceInfo(Handle, BthDeviceInfo&) override { return kNotImplemented; }
  Handle BluetoothFindFirstDevice(const BthDeviceSearchParams&, BthDeviceInfo&) override { return 0; }
  bool BluetoothFindNextDevice(Handle, BthDeviceInfo&) override { return false; }
  bool BluetoothFindDeviceClose(Handle) override { return false; }
  std::uint32_t BluetoothRegisterForAuthentication(const BthDeviceInfo&, Handle*,
                                                   BthAuthenticationCallback, void*) override {
    return kNotImplemented;
  }
  bool BluetoothUnregisterAuthentication(Handle) override { return false; }
  std::uint32_t BluetoothSetServiceState(Handle, const BthDeviceInfo&, const BthGuid&,
                                         std::uint32_t) override {
    return kNotImplemented;
  }
  std::uint32_t BluetoothEnumerateInstalledServices(Handle, const BthDeviceInfo&, std::uint32_t&,
                                                    BthGuid*) override {
    return kNotImplemented;
  }
  bool BluetoothDisplayDeviceProperties(Handle, const BthDeviceInfo&) override { return false; }
  std::uint32_t BluetoothUpdateDeviceRecord(const BthDeviceInfo&) override { return kNotImplemented; }
  std::uint32_t BluetoothSendAuthenticationResponse(Handle, const BthDeviceInfo&,
                                                    const std::u16string&) override {
    return kNotImplemented;
  }
  std::uint32_t BluetoothAuthenticateDevice(Handle, Handle, BthDeviceInfo&, const std::u16string&,
                                            std::uint32_t) override {
    return kNotImplemented;
  }
  bool CloseHandle(Handle) override { return false; }
  bool FormatMessageW(std::uint32_t, std::uint32_t, std::uint32_t, std::u16string&) override {
    return false;
  }

  static NoBluetoothStack& Instance() {
    static NoBluetoothStack stack;
    return stack;
  }
};

}  // namespace quillet
