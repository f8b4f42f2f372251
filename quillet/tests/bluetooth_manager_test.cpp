#include <gtest/gtest.h>

#include <memory>

#include "bluetooth/bth_auth.h"
#include "bluetooth/bth_manager.h"
#include "bluetooth_fakes.h"

namespace quillet::testing {
namespace {

constexpr BLUETOOTH_ADDRESS kGpsAddress = 0x001A7DDA7113;  // bytes 13 71 DA 7D 1A 00
constexpr BLUETOOTH_ADDRESS kPhoneAddress = 0x00025B0A0B0C;

class ManagerTest : public ::testing::Test {
 protected:
  CallLog calls;
  FakeBluetooth bt{calls};
  FakeControls controls{calls};
  std::unique_ptr<CBthManager> manager = std::make_unique<CBthManager>(bt, controls);

  void OneRadioWithDevices(std::initializer_list<FakeDevice> devices) {
    bt.radios = {{u"Radio", 0x0011223344556677}};
    bt.devices = devices;
  }
  Handle FirstRadio() {
    EXPECT_GE(manager->EnumerateRadios(), 1);
    return manager->m_arrRadios.at(0).hRadio;
  }
};

TEST(FormatBthAddressTest, SixLowBytesMostSignificantFirst) {
  const struct {
    BLUETOOTH_ADDRESS address;
    const char16_t* text;
  } cases[] = {
      {kGpsAddress, u"00:1a:7d:da:71:13"},
      {0, u"00:00:00:00:00:00"},
      {0xFFFFABCDEF012345, u"ab:cd:ef:01:23:45"},  // the two high bytes are not part of it
  };
  for (const auto& c : cases) EXPECT_EQ(FormatBthAddress(c.address), c.text);
}

TEST_F(ManagerTest, EnumerationKeepsReadableRadiosAndMakesThemVisible) {
  bt.radios = {{u"First", 0x111111111111}, {u"Broken", 0x222222222222, false},
               {u"Third", 0x333333333333}};

  EXPECT_EQ(manager->EnumerateRadios(), 2);

  ASSERT_EQ(manager->m_arrRadios.size(), 2u);
  EXPECT_EQ(NameOf(manager->m_arrRadios[0].radioInfo.szName), u"First");
  EXPECT_EQ(manager->m_arrRadios[0].hRadio, 0x100u);
  EXPECT_EQ(manager->m_arrRadios[1].radioInfo.address, 0x333333333333u);
  EXPECT_EQ(manager->m_arrRadios[1].hRadio, 0x102u);
  EXPECT_EQ(calls, (CallLog{"FindFirstRadio", "GetRadioInfo 100", "EnableDiscovery 100 1",
                            "EnableIncomingConnections 100 1", "FindNextRadio 900",
                            "GetRadioInfo 101", "FindNextRadio 900", "GetRadioInfo 102",
                            "EnableDiscovery 102 1", "EnableIncomingConnections 102 1",
                            "FindNextRadio 900", "FindRadioClose 900"}));
  EXPECT_EQ(bt.radioBlockSizes, (std::vector<std::uint32_t>{520, 520, 520}));
  // The unreadable radio is left out, its handle left open.
  EXPECT_TRUE(bt.IsOpen(0x101));
}

TEST_F(ManagerTest, EnumerationWithoutRadioFindsNothing) {
  EXPECT_EQ(manager->EnumerateRadios(), 0);
  EXPECT_EQ(calls, CallLog{"FindFirstRadio"});

  bt.radios = {{u"Broken", 1, false}};
  calls.clear();
  EXPECT_EQ(manager->EnumerateRadios(), 0);
  EXPECT_EQ(Only(calls, {"FindRadioClose"}), CallLog{"FindRadioClose 900"});
}

TEST_F(ManagerTest, ScanEnablesServicesAndRegistersEachDevice) {
  OneRadioWithDevices({{0, kGpsAddress, u"GPS"}, {0, kPhoneAddress, u"Phone"}});
  bt.devices[1].installed = {BluetoothServiceClass(0x1112)};
  const Handle radio = FirstRadio();
  calls.clear();

  EXPECT_EQ(manager->ScanDevices(radio, true, false), 2);

  ASSERT_EQ(bt.searches.size(), 1u);
  const BthDeviceSearchParams& search = bt.searches[0];
  EXPECT_TRUE(search.fReturnAuthenticated);
  EXPECT_TRUE(search.fReturnRemembered);
  EXPECT_TRUE(search.fReturnUnknown);
  EXPECT_TRUE(search.fReturnConnected);
  EXPECT_FALSE(search.fIssueInquiry);
  EXPECT_EQ(search.cTimeoutMultiplier, 30);
  EXPECT_EQ(search.hRadio, radio);

  EXPECT_EQ(calls, (CallLog{
      "BeginWaitCursor", "FindFirstDevice 100",
      "GetDeviceInfo 100 1a7dda7113",
      "SetServiceState 100 1a7dda7113 1101 1", "SetServiceState 100 1a7dda7113 1102 1",
      "SetServiceState 100 1a7dda7113 1103 1",
      "GetDeviceInfo 100 1a7dda7113", "EnumerateInstalledServices 100 1a7dda7113 room 10",
      "Register 1a7dda7113", "FindNextDevice 800",
      "GetDeviceInfo 100 25b0a0b0c",
      "SetServiceState 100 25b0a0b0c 1101 1", "SetServiceState 100 25b0a0b0c 1102 1",
      "SetServiceState 100 25b0a0b0c 1103 1",
      "GetDeviceInfo 100 25b0a0b0c", "EnumerateInstalledServices 100 25b0a0b0c room 10",
      "Register 25b0a0b0c", "FindNextDevice 800", "FindDeviceClose 800", "EndWaitCursor"}));
  for (std::uint32_t size : bt.deviceBlockSizes) EXPECT_EQ(size, 560u);

  ASSERT_EQ(manager->m_arrDevices.size(), 2u);
  const _RemoteBthDevInfo& gps = manager->m_arrDevices[0];
  EXPECT_EQ(gps.address, kGpsAddress);
  EXPECT_EQ(gps.hRadio, radio);
  EXPECT_EQ(std::u16string(gps.szName.data()), u"GPS");
  EXPECT_EQ(gps.services[0], BluetoothServiceClass(0x1101));
  EXPECT_EQ(gps.services[2], BluetoothServiceClass(0x1103));
  EXPECT_EQ(gps.services[3], BthGuid{});
  EXPECT_EQ(gps.hRegHandle, 0x500u);
  ASSERT_NE(gps.pAuthContext, nullptr);
  EXPECT_EQ(gps.pAuthContext->hRadio, radio);
  EXPECT_EQ(gps.pAuthContext->pDevices, &manager->m_arrDevices);
  // Services already installed come first, in the system's order.
  EXPECT_EQ(manager->m_arrDevices[1].services[0], BluetoothServiceClass(0x1112));
  EXPECT_EQ(manager->m_arrDevices[1].services[1], BluetoothServiceClass(0x1101));
}

TEST_F(ManagerTest, SearchFlagsFollowTheArguments) {
  OneRadioWithDevices({{0, 1, u"Known"}, {0, 2, u"New", false, false, true}});
  const Handle radio = FirstRadio();

  EXPECT_EQ(manager->ScanDevices(radio, true, false), 1);
  EXPECT_EQ(manager->ScanDevices(radio, true, true), 2);
  EXPECT_EQ(manager->ScanDevices(radio, false, false), -1);
  EXPECT_TRUE(bt.searches[1].fIssueInquiry);
  EXPECT_FALSE(bt.searches[2].fReturnRemembered);
}

TEST_F(ManagerTest, ScanThatFindsNothingEmptiesTheDevicesAndEndsTheWaitCursor) {
  OneRadioWithDevices({{0, kGpsAddress, u"GPS"}});
  const Handle radio = FirstRadio();
  ASSERT_EQ(manager->ScanDevices(radio, true, false), 1);
  bt.devices.clear();
  calls.clear();

  EXPECT_EQ(manager->ScanDevices(radio, true, false), -1);

  EXPECT_TRUE(manager->m_arrDevices.empty());
  EXPECT_EQ(controls.waitCursorDepth, 0);
  EXPECT_EQ(calls, (CallLog{"Unregister 500 context radio 100", "BeginWaitCursor",
                            "FindFirstDevice 100", "EndWaitCursor"}));
}

TEST_F(ManagerTest, SecondScanRemovesTheFirstScansRegistrations) {
  OneRadioWithDevices({{0, kGpsAddress, u"GPS"}, {0, kPhoneAddress, u"Phone"}});
  const Handle radio = FirstRadio();
  manager->ScanDevices(radio, true, false);
  ASSERT_EQ(bt.ActiveRegistrations(), 2u);
  calls.clear();

  manager->ScanDevices(radio, true, false);

  // The fake reads each context as its registration goes: both still alive.
  EXPECT_EQ(Only(calls, {"Unregister", "BeginWaitCursor"}),
            (CallLog{"Unregister 500 context radio 100", "Unregister 501 context radio 100",
                     "BeginWaitCursor"}));
  EXPECT_EQ(bt.ActiveRegistrations(), 2u);
  EXPECT_EQ(manager->m_arrDevices[0].hRegHandle, 0x502u);
}

TEST_F(ManagerTest, DestructionUnregistersBeforeClosingTheRadios) {
  OneRadioWithDevices({{0, kGpsAddress, u"GPS"}});
  manager->ScanDevices(FirstRadio(), true, false);
  calls.clear();

  manager.reset();

  EXPECT_EQ(calls, (CallLog{"Unregister 500 context radio 100", "CloseHandle 100"}));
  EXPECT_EQ(bt.OpenRadioCount(), 0u);
}

TEST_F(ManagerTest, DeviceNamesAreCutToFitTheRecord) {
  const std::u16string name63(63, u'n');
  const std::u16string name64 = name63 + u"X";
  const std::u16string name200(200, u'z');
  OneRadioWithDevices({{0, 1, u""}, {0, 2, name63}, {0, 3, name64}, {0, 4, name200}});

  ASSERT_EQ(manager->ScanDevices(FirstRadio(), true, false), 4);

  const auto& devices = manager->m_arrDevices;
  EXPECT_EQ(std::u16string(devices[0].szName.data()), u"");
  EXPECT_EQ(std::u16string(devices[1].szName.data()), name63);
  EXPECT_EQ(std::u16string(devices[2].szName.data()), name63);
  EXPECT_EQ(std::u16string(devices[3].szName.data()), std::u16string(63, u'z'));
  EXPECT_EQ(devices[3].szName[63], u'\0');
  // The fields after the name are untouched by the copy.
  EXPECT_EQ(devices[3].address, 4u);
}

TEST_F(ManagerTest, FailingServiceStepOrRegistrationKeepsTheDevice) {
  OneRadioWithDevices({{0, 1, u"Unreadable"}, {0, 2, u"Crowded"}, {0, 3, u"Stubborn"}});
  bt.devices[0].readable = false;
  for (std::uint16_t service = 0x1110; service < 0x111B; ++service)
    bt.devices[1].installed.push_back(BluetoothServiceClass(service));  // 11 > 10
  bt.devices[2].registerFails = true;
  const Handle radio = FirstRadio();

  ASSERT_EQ(manager->ScanDevices(radio, true, false), 3);

  const auto& devices = manager->m_arrDevices;
  EXPECT_EQ(Only(calls, {"SetServiceState 100 1 "}).size(), 0u);  // no block, no service calls
  for (const auto& device : {devices[0], devices[1]})
    for (const BthGuid& service : device.services) EXPECT_EQ(service, BthGuid{});
  EXPECT_EQ(devices[2].hRegHandle, 0u);
  EXPECT_NE(devices[2].pAuthContext, nullptr);

  _RemoteBthDevInfo crowded = devices[1];
  EXPECT_EQ(manager->EnableDeviceServices(crowded), -1);
  _RemoteBthDevInfo stubborn = devices[2];
  EXPECT_EQ(manager->EnableDeviceServices(stubborn), 3);

  calls.clear();
  manager->ClearDevices();
  EXPECT_EQ(Only(calls, {"Unregister"}),
            (CallLog{"Unregister 500 context radio 100", "Unregister 501 context radio 100"}));
}

TEST_F(ManagerTest, EarlierRadioHandlesStayOpenForEarlierDevices) {
  OneRadioWithDevices({{0, kGpsAddress, u"GPS"}});
  bt.devices[0].authenticated = false;
  manager->ScanDevices(FirstRadio(), true, false);

  EXPECT_EQ(manager->EnumerateRadios(), 1);
  EXPECT_EQ(manager->m_arrRadios[0].hRadio, 0x101u);
  EXPECT_TRUE(bt.IsOpen(0x100));

  EXPECT_TRUE(manager->ShowDeviceProperties(0, 0xAB));
  std::uint32_t error = 99;
  EXPECT_TRUE(manager->AuthenticateRemoteDevice(0, 0xAB, &error));
  EXPECT_EQ(Only(calls, {"AuthenticateDevice"}), CallLog{"AuthenticateDevice ab 100 1a7dda7113 5318 4"});

  // Only the radios of the last enumeration are closed at the end.
  calls.clear();
  manager.reset();
  EXPECT_EQ(Only(calls, {"CloseHandle"}), CallLog{"CloseHandle 101"});
}

TEST_F(ManagerTest, ReadDeviceInfoFillsTheOutputOnlyOnSuccess) {
  OneRadioWithDevices({{0, kGpsAddress, u"GPS"}});
  _RemoteBthDevInfo record;
  record.hRadio = FirstRadio();
  record.address = kGpsAddress;

  BthDeviceInfo info;
  EXPECT_TRUE(manager->ReadDeviceInfo(record, &info));
  EXPECT_EQ(info.dwSize, 560u);
  EXPECT_EQ(NameOf(info.szName), u"GPS");
  EXPECT_EQ(info.stLastSeen.wYear, 2024);
  EXPECT_TRUE(manager->ReadDeviceInfo(record));

  record.address = kPhoneAddress;
  BthDeviceInfo untouched;
  untouched.ulClassofDevice = 77;
  EXPECT_FALSE(manager->ReadDeviceInfo(record, &untouched));
  EXPECT_EQ(untouched.ulClassofDevice, 77u);
}

TEST_F(ManagerTest, PropertySheetNeedsAValidIndexAndAReadableDevice) {
  OneRadioWithDevices({{0, kGpsAddress, u"GPS"}, {0, kPhoneAddress, u"Phone"}});
  manager->ScanDevices(FirstRadio(), true, false);
  bt.devices[1].readable = false;
  calls.clear();

  EXPECT_FALSE(manager->ShowDeviceProperties(-1, 0xAB));
  EXPECT_FALSE(manager->ShowDeviceProperties(2, 0xAB));
  EXPECT_TRUE(calls.empty());
  EXPECT_FALSE(manager->ShowDeviceProperties(1, 0xAB));
  EXPECT_TRUE(bt.shownProperties.empty());

  EXPECT_TRUE(manager->ShowDeviceProperties(0, 0xAB));
  ASSERT_EQ(bt.shownProperties.size(), 1u);
  EXPECT_EQ(bt.shownProperties[0].Address, kGpsAddress);
  EXPECT_EQ(bt.shownProperties[0].dwSize, 560u);
  EXPECT_EQ(Only(calls, {"Display"}), CallLog{"DisplayDeviceProperties ab 1a7dda7113"});
}

TEST_F(ManagerTest, AuthenticationOfADevice) {
  OneRadioWithDevices({{0, kGpsAddress, u"GPS"}, {0, kPhoneAddress, u"Phone"}});
  bt.devices[1].authenticated = true;
  manager->ScanDevices(FirstRadio(), true, false);

  struct Case {
    int index;
    bool readable;
    std::uint32_t systemResult;
    bool expected;
    std::uint32_t expectedError;  // 99: not written
    CallLog expectedCalls;
  } cases[] = {
      {-1, true, 0, false, 99, {}},
      {2, true, 0, false, 99, {}},
      {0, false, 0, false, 99, {"GetDeviceInfo 100 1a7dda7113"}},
      {1, true, 0, true, 99, {"GetDeviceInfo 100 25b0a0b0c"}},  // already authenticated
      {0, true, 1244, false, 1244,
       {"GetDeviceInfo 100 1a7dda7113", "UpdateDeviceRecord 1a7dda7113 authenticated",
        "AuthenticateDevice ab 100 1a7dda7113 5318 4"}},
      {0, true, 0, true, 0,
       {"GetDeviceInfo 100 1a7dda7113", "UpdateDeviceRecord 1a7dda7113 authenticated",
        "AuthenticateDevice ab 100 1a7dda7113 5318 4"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    bt.devices[0].readable = c.readable;
    bt.authenticateResult = c.systemResult;
    calls.clear();
    std::uint32_t error = 99;
    EXPECT_EQ(manager->AuthenticateRemoteDevice(c.index, 0xAB, &error), c.expected);
    EXPECT_EQ(error, c.expectedError);
    EXPECT_EQ(calls, c.expectedCalls);
  }
  EXPECT_EQ(bt.lastPasskeyLength, 4u);
  EXPECT_TRUE(manager->AuthenticateRemoteDevice(0, 0xAB, nullptr));  // now paired: no call
}

TEST_F(ManagerTest, RegisteredDeviceIsAnsweredWithThePasskey) {
  OneRadioWithDevices({{0, kGpsAddress, u"GPS"}});
  manager->ScanDevices(FirstRadio(), true, false);
  calls.clear();

  EXPECT_EQ(bt.RequestPairing(kGpsAddress), std::vector<bool>{true});
  EXPECT_EQ(calls, (CallLog{"UpdateDeviceRecord 1a7dda7113 authenticated",
                            "SendAuthenticationResponse 100 1a7dda7113 5318"}));

  bt.responseResult = 1167;
  EXPECT_EQ(bt.RequestPairing(kGpsAddress), std::vector<bool>{false});
}

TEST(AuthenticationCallbackTest, WithoutContextNothingIsSent) {
  CallLog calls;
  FakeBluetooth bt(calls);
  BthDeviceInfo info;
  EXPECT_FALSE(AuthenticationCallback(bt, nullptr, &info));
  EXPECT_TRUE(calls.empty());
  EXPECT_FALSE(info.fAuthenticated);
}

TEST(SystemErrorTextTest, AsksTheSystemInTheUsersLanguage) {
  CallLog calls;
  FakeBluetooth bt(calls);
  bt.systemTexts[1244] = u"The user has not been authenticated.\r\n";

  EXPECT_EQ(GetSystemErrorText(bt, 1244), u"The user has not been authenticated.\r\n");
  EXPECT_EQ(bt.lastFormatFlags, 0x1100u);
  EXPECT_EQ(bt.lastFormatLanguage, 0x400u);
  EXPECT_EQ(GetSystemErrorText(bt, 4242), u"");
}

}  // namespace
}  // namespace quillet::testing
