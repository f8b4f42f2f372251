#pragma once
// A scripted Bluetooth world (radios, devices, services, pairing state) behind
// the Bluetooth seam, and a small control model; both log every call into one
// shared list so tests can check the order across them.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "bluetooth/bth_manager.h"
#include "platform/bluetooth_api.h"
#include "platform/controls.h"

namespace quillet::testing {

using CallLog = std::vector<std::string>;

inline std::string Hex(std::uint64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
  return text;
}

inline std::string AsciiText(const std::u16string& text) {
  std::string out;
  for (char16_t unit : text) out += unit < 0x80 ? static_cast<char>(unit) : '?';
  return out;
}

inline std::u16string NameOf(const std::array<char16_t, kBthMaxNameSize>& name) {
  std::u16string text;
  for (char16_t unit : name) {
    if (unit == u'\0') break;
    text += unit;
  }
  return text;
}

struct FakeRadio {
  FakeRadio(std::u16string radioName, BLUETOOTH_ADDRESS radioAddress, bool canRead = true)
      : name(std::move(radioName)), address(radioAddress), readable(canRead) {}
  std::u16string name;
  BLUETOOTH_ADDRESS address = 0;
  bool readable = true;
};

struct FakeDevice {
  FakeDevice(std::size_t radioIndex, BLUETOOTH_ADDRESS deviceAddress, std::u16string deviceName,
             bool isRemembered = true, bool isAuthenticated = false, bool isInRange = false)
      : radio(radioIndex),
        address(deviceAddress),
        name(std::move(deviceName)),
        remembered(isRemembered),
        authenticated(isAuthenticated),
        inRange(isInRange) {}
  std::size_t radio = 0;  // index into radios
  BLUETOOTH_ADDRESS address = 0;
  std::u16string name;
  bool remembered = true;
  bool authenticated = false;
  bool inRange = false;  // found only by an inquiry unless remembered or authenticated
  bool readable = true;
  bool registerFails = false;
  std::vector<BthGuid> installed;
};

class FakeBluetooth : public BluetoothApi, public SystemMessages {
 public:
  explicit FakeBluetooth(CallLog& log) : calls(log) {}

  // --- the world
  std::vector<FakeRadio> radios;
  std::vector<FakeDevice> devices;
  bool radioSearchFails = false;
  std::uint32_t authenticateResult = 0;
  std::uint32_t responseResult = 0;
  std::map<std::uint32_t, std::u16string> systemTexts;
  // What the system does besides, when a service comes on (e.g. create a port).
  std::function<void(const FakeDevice&, const BthGuid&)> onServiceEnabled;

  // --- what happened
  CallLog& calls;
  std::vector<std::uint32_t> deviceBlockSizes;  // dwSize of every device block passed in
  std::vector<std::uint32_t> radioBlockSizes;
  std::vector<BthDeviceSearchParams> searches;
  std::vector<BthDeviceInfo> updatedRecords;
  std::vector<BthDeviceInfo> shownProperties;
  std::u16string lastPasskey;
  std::uint32_t lastPasskeyLength = 0;
  std::uint32_t lastFormatFlags = 0;
  std::uint32_t lastFormatLanguage = 0;

  struct Registration {
    Handle handle;
    BLUETOOTH_ADDRESS address;
    BthAuthenticationCallback callback;
    void* param;
    bool active;
  };
  std::vector<Registration> registrations;

  std::size_t ActiveRegistrations() const {
    return static_cast<std::size_t>(std::count_if(registrations.begin(), registrations.end(),
                                                  [](const Registration& r) { return r.active; }));
  }
  bool IsOpen(Handle radio) const { return openRadios.count(radio) != 0; }
  std::size_t OpenRadioCount() const { return openRadios.size(); }

  // The device with this address asks for pairing: its registrations answer.
  std::vector<bool> RequestPairing(BLUETOOTH_ADDRESS address) {
    std::vector<bool> answers;
    for (const Registration& registration : registrations) {
      if (!registration.active || registration.address != address) continue;
      BthDeviceInfo info = BlockOf(DeviceAt(address));
      answers.push_back(registration.callback(*this, registration.param, &info));
    }
    return answers;
  }

  FakeDevice& DeviceAt(BLUETOOTH_ADDRESS address) {
    for (FakeDevice& device : devices)
      if (device.address == address) return device;
    throw std::runtime_error("no such device");
  }

  // --- BluetoothApi
  Handle BluetoothFindFirstRadio(Handle& radio) override {
    calls.push_back("FindFirstRadio");
    if (radioSearchFails || radios.empty()) return 0;
    radioCursor = 0;
    radio = OpenRadio(0);
    return kRadioFind;
  }
  bool BluetoothFindNextRadio(Handle find, Handle& radio) override {
    calls.push_back("FindNextRadio " + Hex(find));
    if (find != kRadioFind || radioCursor + 1 >= radios.size()) return false;
    radio = OpenRadio(++radioCursor);
    return true;
  }
  bool BluetoothFindRadioClose(Handle find) override {
    calls.push_back("FindRadioClose " + Hex(find));
    return true;
  }
  std::uint32_t BluetoothGetRadioInfo(Handle radio, BthRadioInfo& info) override {
    calls.push_back("GetRadioInfo " + Hex(radio));
    radioBlockSizes.push_back(info.dwSize);
    if (!IsOpen(radio)) return kInvalidHandleError;
    const FakeRadio& fake = radios[openRadios[radio]];
    if (!fake.readable) return kNotReady;
    info.address = fake.address;
    std::copy(fake.name.begin(), fake.name.end(), info.szName.begin());
    return 0;
  }
  bool BluetoothEnableDiscovery(Handle radio, bool enabled) override {
    calls.push_back("EnableDiscovery " + Hex(radio) + (enabled ? " 1" : " 0"));
    return true;
  }
  bool BluetoothEnableIncomingConnections(Handle radio, bool enabled) override {
    calls.push_back("EnableIncomingConnections " + Hex(radio) + (enabled ? " 1" : " 0"));
    return true;
  }
  std::uint32_t BluetoothGetDeviceInfo(Handle radio, BthDeviceInfo& info) override {
    calls.push_back("GetDeviceInfo " + Hex(radio) + " " + Hex(info.Address));
    deviceBlockSizes.push_back(info.dwSize);
    FakeDevice* device = Find(radio, info.Address);
    if (device == nullptr || !device->readable) return kNotFound;
    info = BlockOf(*device);
    return 0;
  }

  Handle BluetoothFindFirstDevice(const BthDeviceSearchParams& params,
                                  BthDeviceInfo& info) override {
    calls.push_back("FindFirstDevice " + Hex(params.hRadio));
    searches.push_back(params);
    deviceBlockSizes.push_back(info.dwSize);
    found.clear();
    if (!IsOpen(params.hRadio)) return 0;
    for (FakeDevice& device : devices) {
      if (device.radio != openRadios[params.hRadio]) continue;
      if ((params.fReturnRemembered && device.remembered) ||
          (params.fReturnAuthenticated && device.authenticated) ||
          (params.fIssueInquiry && device.inRange)) {
        found.push_back(&device);
      }
    }
    if (found.empty()) return 0;
    foundCursor = 0;
    FillFound(info);
    return kDeviceFind;
  }
  bool BluetoothFindNextDevice(Handle find, BthDeviceInfo& info) override {
    calls.push_back("FindNextDevice " + Hex(find));
    deviceBlockSizes.push_back(info.dwSize);
    if (find != kDeviceFind || foundCursor + 1 >= found.size()) return false;
    ++foundCursor;
    FillFound(info);
    return true;
  }
  bool BluetoothFindDeviceClose(Handle find) override {
    calls.push_back("FindDeviceClose " + Hex(find));
    return true;
  }

  std::uint32_t BluetoothRegisterForAuthentication(const BthDeviceInfo& info, Handle* regHandle,
                                                   BthAuthenticationCallback callback,
                                                   void* pvParam) override {
    calls.push_back("Register " + Hex(info.Address));
    FakeDevice* device = FindAny(info.Address);
    if (device == nullptr || device->registerFails) return kNotFound;
    const Handle handle = kRegistrationBase + registrations.size();
    registrations.push_back({handle, info.Address, callback, pvParam, true});
    *regHandle = handle;
    return 0;
  }
  bool BluetoothUnregisterAuthentication(Handle regHandle) override {
    for (Registration& registration : registrations) {
      if (registration.handle != regHandle || !registration.active) continue;
      registration.active = false;
      // Reading the context here shows it is still alive when its registration goes.
      const auto* context = static_cast<const _BthAuthContext*>(registration.param);
      calls.push_back("Unregister " + Hex(regHandle) + " context radio " + Hex(context->hRadio));
      return true;
    }
    calls.push_back("Unregister " + Hex(regHandle) + " unknown");
    return false;
  }

  std::uint32_t BluetoothSetServiceState(Handle radio, const BthDeviceInfo& info,
                                         const BthGuid& service, std::uint32_t flags) override {
    calls.push_back("SetServiceState " + Hex(radio) + " " + Hex(info.Address) + " " +
                    Hex(service.Data1) + " " + std::to_string(flags));
    deviceBlockSizes.push_back(info.dwSize);
    FakeDevice* device = Find(radio, info.Address);
    if (device == nullptr) return kNotFound;
    if (flags == BLUETOOTH_SERVICE_ENABLE &&
        std::find(device->installed.begin(), device->installed.end(), service) ==
            device->installed.end()) {
      device->installed.push_back(service);
    }
    if (flags == BLUETOOTH_SERVICE_ENABLE && onServiceEnabled) onServiceEnabled(*device, service);
    return 0;
  }
  std::uint32_t BluetoothEnumerateInstalledServices(Handle radio, const BthDeviceInfo& info,
                                                    std::uint32_t& count,
                                                    BthGuid* services) override {
    calls.push_back("EnumerateInstalledServices " + Hex(radio) + " " + Hex(info.Address) +
                    " room " + std::to_string(count));
    deviceBlockSizes.push_back(info.dwSize);
    FakeDevice* device = Find(radio, info.Address);
    if (device == nullptr) return kNotFound;
    const std::uint32_t room = count;
    count = static_cast<std::uint32_t>(device->installed.size());
    if (device->installed.size() > room) return kMoreData;
    std::copy(device->installed.begin(), device->installed.end(), services);
    return 0;
  }
  bool BluetoothDisplayDeviceProperties(Handle parent, const BthDeviceInfo& info) override {
    calls.push_back("DisplayDeviceProperties " + Hex(parent) + " " + Hex(info.Address));
    deviceBlockSizes.push_back(info.dwSize);
    shownProperties.push_back(info);
    return true;
  }
  std::uint32_t BluetoothUpdateDeviceRecord(const BthDeviceInfo& info) override {
    calls.push_back("UpdateDeviceRecord " + Hex(info.Address) +
                    (info.fAuthenticated ? " authenticated" : " not authenticated"));
    updatedRecords.push_back(info);
    return 0;
  }
  std::uint32_t BluetoothSendAuthenticationResponse(Handle radio, const BthDeviceInfo& info,
                                                    const std::u16string& passkey) override {
    calls.push_back("SendAuthenticationResponse " + Hex(radio) + " " + Hex(info.Address) + " " +
                    AsciiText(passkey));
    lastPasskey = passkey;
    return responseResult;
  }
  std::uint32_t BluetoothAuthenticateDevice(Handle parent, Handle radio, BthDeviceInfo& info,
                                            const std::u16string& passkey,
                                            std::uint32_t passkeyLength) override {
    calls.push_back("AuthenticateDevice " + Hex(parent) + " " + Hex(radio) + " " +
                    Hex(info.Address) + " " + AsciiText(passkey) + " " +
                    std::to_string(passkeyLength));
    lastPasskey = passkey;
    lastPasskeyLength = passkeyLength;
    if (authenticateResult == 0) {
      if (FakeDevice* device = Find(radio, info.Address)) device->authenticated = true;
    }
    return authenticateResult;
  }
  bool CloseHandle(Handle handle) override {
    calls.push_back("CloseHandle " + Hex(handle));
    return openRadios.erase(handle) != 0;
  }

  // --- SystemMessages
  bool FormatMessageW(std::uint32_t flags, std::uint32_t code, std::uint32_t languageId,
                      std::u16string& text) override {
    calls.push_back("FormatMessageW " + std::to_string(code));
    lastFormatFlags = flags;
    lastFormatLanguage = languageId;
    const auto entry = systemTexts.find(code);
    if (entry == systemTexts.end()) return false;
    text = entry->second;
    return true;
  }

  static constexpr std::uint32_t kInvalidHandleError = 6;
  static constexpr std::uint32_t kNotReady = 21;
  static constexpr std::uint32_t kMoreData = 234;
  static constexpr std::uint32_t kNotFound = 1168;
  static constexpr Handle kRadioFind = 0x900;
  static constexpr Handle kDeviceFind = 0x800;
  static constexpr Handle kRegistrationBase = 0x500;

 private:
  // Every search hands out fresh radio handles, as the system does.
  Handle OpenRadio(std::size_t index) {
    const Handle handle = 0x100 + nextRadioHandle++;
    openRadios[handle] = index;
    return handle;
  }
  FakeDevice* Find(Handle radio, BLUETOOTH_ADDRESS address) {
    const auto open = openRadios.find(radio);
    if (open == openRadios.end()) return nullptr;
    for (FakeDevice& device : devices)
      if (device.address == address && device.radio == open->second) return &device;
    return nullptr;
  }
  FakeDevice* FindAny(BLUETOOTH_ADDRESS address) {
    for (FakeDevice& device : devices)
      if (device.address == address) return &device;
    return nullptr;
  }
  static BthDeviceInfo BlockOf(const FakeDevice& device) {
    BthDeviceInfo info;
    info.dwSize = kDeviceInfoSize;
    info.Address = device.address;
    info.ulClassofDevice = 0x1F00;
    info.fRemembered = device.remembered;
    info.fAuthenticated = device.authenticated;
    info.stLastSeen.wYear = 2024;
    const std::size_t length = std::min(device.name.size(), kBthMaxNameSize - 1);
    std::copy(device.name.begin(), device.name.begin() + static_cast<std::ptrdiff_t>(length),
              info.szName.begin());
    return info;
  }
  void FillFound(BthDeviceInfo& info) {
    const std::uint32_t size = info.dwSize;
    info = BlockOf(*found[foundCursor]);
    info.dwSize = size;
  }

  std::map<Handle, std::size_t> openRadios;
  Handle nextRadioHandle = 0;
  std::size_t radioCursor = 0;
  std::vector<FakeDevice*> found;
  std::size_t foundCursor = 0;
};

// Just enough of the dialog's controls for the Bluetooth commands.
class FakeControls : public Controls {
 public:
  explicit FakeControls(CallLog& log) : calls(log) {}

  CallLog& calls;
  std::map<int, std::vector<std::u16string>> lists;
  std::map<int, int> selections;
  std::map<int, bool> checks;
  std::vector<std::u16string> messageBoxes;
  int waitCursorDepth = 0;
  static constexpr Handle kWindow = 0xD1A1;

  Handle WindowHandle() override { return kWindow; }
  void SetText(int, const std::u16string&) override {}
  std::u16string GetText(int) override { return {}; }
  std::uint32_t GetUnsigned(int) override { return 0; }
  void Enable(int, bool) override {}
  void SetCheck(int id, bool checked) override { checks[id] = checked; }
  bool GetCheck(int id) override { return checks[id]; }
  void ComboAppend(int, const std::u16string&) override {}
  void ComboSetSelection(int, int) override {}
  int ComboGetSelection(int) override { return -1; }
  void ListReset(int id) override {
    calls.push_back("ListReset " + std::to_string(id));
    lists[id].clear();
    selections[id] = -1;
  }
  void ListAppend(int id, const std::u16string& text) override { lists[id].push_back(text); }
  int ListCount(int id) override { return static_cast<int>(lists[id].size()); }
  int ListGetSelection(int id) override {
    const auto entry = selections.find(id);
    return entry == selections.end() ? -1 : entry->second;
  }
  void ListSetSelection(int id, int index) override {
    selections[id] = index >= 0 && index < ListCount(id) ? index : -1;
  }
  void EditSetSelection(int, int, int) override {}
  void EditScrollCaret(int) override {}
  void EditReplaceSelection(int, const std::u16string&) override {}
  int TextLength(int) override { return 0; }
  void MessageBox(const std::u16string& text) override {
    calls.push_back("MessageBox " + AsciiText(text));
    messageBoxes.push_back(text);
  }
  void BeginWaitCursor() override {
    calls.push_back("BeginWaitCursor");
    ++waitCursorDepth;
  }
  void EndWaitCursor() override {
    calls.push_back("EndWaitCursor");
    --waitCursorDepth;
  }
  void SetTimer(std::uintptr_t, std::uint32_t) override {}
  void KillTimer(std::uintptr_t) override {}
  void PostCommand(int) override {}
  bool AppendSystemMenuItem(std::uint32_t, const std::u16string&) override { return true; }
  void SetWindowIcons(Handle) override {}
  void RunAboutBox() override {}
  std::u16string LoadString(std::uint32_t) override { return {}; }
  void ServePendingUpdates() override {}
};

// Calls whose text starts with one of the prefixes, in order.
inline CallLog Only(const CallLog& calls, std::initializer_list<std::string> prefixes) {
  CallLog out;
  for (const std::string& call : calls) {
    for (const std::string& prefix : prefixes) {
      if (call.rfind(prefix, 0) == 0) {
        out.push_back(call);
        break;
      }
    }
  }
  return out;
}

}  // namespace quillet::testing
