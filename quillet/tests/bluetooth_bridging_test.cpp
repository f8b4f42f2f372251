// The dialog's Bluetooth side: the scan fallback of the start-up bridging and
// the routing of the Bluetooth bench controls.
#include <gtest/gtest.h>

#include "shell/dlg_quillet.h"
#include "tests/fakes.h"

namespace quillet::testing {
namespace {

constexpr BLUETOOTH_ADDRESS kGpsAddress = 0x001A7DDA7113;

class BluetoothDialogTest : public ::testing::Test {
 protected:
  World world;
  std::unique_ptr<CDlgQuillet> dialog;

  void Start() {
    dialog = std::make_unique<CDlgQuillet>(world.Platform());
    EXPECT_TRUE(dialog->OnInitDialog());
  }
  void RadioWithGps() {
    world.bluetooth.radios = {{u"Radio", 0x0011223344AA}};
    world.bluetooth.devices = {{0, kGpsAddress, u"GPS"}};
  }
  // The system creates the virtual port when the serial port service comes on.
  void PortAppearsWithSerialService(const std::u16string& friendlyName) {
    world.bluetooth.onServiceEnabled = [this, friendlyName](const FakeDevice&, const BthGuid& service) {
      if (service == BluetoothServiceClass(0x1101)) world.ports.friendlyNames.push_back(friendlyName);
    };
  }
  void TearDown() override {
    if (dialog) dialog->OnDestroy();
  }
};

TEST_F(BluetoothDialogTest, NoPortAndNoRadioTellsTheHostAndEndsWithStatusThree) {
  Start();
  EXPECT_EQ(world.sockets.Received(), std::string("None buletooth\0", 15));
  EXPECT_EQ(world.system.Exits(), std::vector<std::uint32_t>{3});
  EXPECT_EQ(world.comm.CountCalls("CreateFileW"), 0);
}

TEST_F(BluetoothDialogTest, ScanCreatesThePortAndTheSameStartUpConnects) {
  RadioWithGps();
  world.comm.existingDevices.push_back(u"COM7");
  PortAppearsWithSerialService(u"Standard Serial over Bluetooth link (COM7)");

  Start();

  EXPECT_EQ(dialog->m_nComPort, 7);
  EXPECT_EQ(world.comm.Calls().front(), "CreateFileW COM7");
  EXPECT_TRUE(dialog->m_hWorker.joinable());
  EXPECT_TRUE(world.system.Exits().empty());
  // The scan ran on the first radio with the start-up check box states.
  EXPECT_EQ(world.controls.Get(ids::kRadioList).items,
            std::vector<std::u16string>{u"Radio ( 00:11:22:33:44:aa )"});
  EXPECT_EQ(world.controls.Get(ids::kRadioList).selection, 0);
  ASSERT_EQ(world.bluetooth.searches.size(), 1u);
  EXPECT_TRUE(world.bluetooth.searches[0].fReturnRemembered);
  EXPECT_FALSE(world.bluetooth.searches[0].fIssueInquiry);
  EXPECT_EQ(world.controls.Get(ids::kDeviceList).items,
            std::vector<std::u16string>{u"GPS ( 00:1a:7d:da:71:13 )"});
  EXPECT_TRUE(world.controls.MessageBoxes().empty());
}

TEST_F(BluetoothDialogTest, PortPresentAtFirstNeedsNoBluetooth) {
  RadioWithGps();
  world.ports.friendlyNames = {u"Standard Serial over Bluetooth link (COM5)"};
  Start();
  EXPECT_EQ(dialog->m_nComPort, 5);
  EXPECT_TRUE(world.bluetoothCalls.empty());
}

TEST_F(BluetoothDialogTest, ScanThatCreatesNoPortLeavesTheProgramIdle) {
  RadioWithGps();
  Start();
  EXPECT_EQ(world.controls.Get(ids::kDeviceList).items.size(), 1u);
  EXPECT_TRUE(world.controls.MessageBoxes().empty());
  EXPECT_EQ(world.comm.CountCalls("CreateFileW"), 0);
  EXPECT_TRUE(world.system.Exits().empty());
  EXPECT_EQ(dialog->m_nComPort, 0);
}

TEST_F(BluetoothDialogTest, MessageMapRoutesTheBluetoothControls) {
  RadioWithGps();
  world.bluetooth.authenticateResult = 1244;
  world.bluetooth.systemTexts[1244] = u"Not authenticated.\r\n";
  Start();
  world.controls.ListReset(ids::kRadioList);

  EXPECT_TRUE(dialog->OnCommand(ids::kEnumerate, kBnClicked));
  EXPECT_EQ(world.controls.Get(ids::kRadioList).items.size(), 1u);

  EXPECT_TRUE(dialog->OnCommand(ids::kDeviceList, kLbnDblclk));
  EXPECT_EQ(world.controls.MessageBoxes().back(), u"Please select remote bluetooth device");

  EXPECT_TRUE(dialog->OnCommand(ids::kScan, kBnClicked));
  world.controls.ListSetSelection(ids::kDeviceList, 0);
  EXPECT_TRUE(dialog->OnCommand(ids::kDeviceList, kLbnDblclk));
  EXPECT_EQ(world.bluetooth.shownProperties.size(), 1u);
  EXPECT_EQ(Only(world.bluetoothCalls, {"DisplayDeviceProperties"}).back(),
            "DisplayDeviceProperties 1234 1a7dda7113");

  EXPECT_TRUE(dialog->OnCommand(ids::kAuthenticate, kBnClicked));
  EXPECT_EQ(world.controls.MessageBoxes().back(),
            u"Authenticate failed using passkey [5318] : Not authenticated.\r\n");
}

TEST(BluetoothDialogWithoutStack, BehavesAsAMachineWithoutRadio) {
  World world;
  PlatformSet platform = world.Platform();
  platform.bluetooth = nullptr;
  platform.systemMessages = nullptr;
  CDlgQuillet dialog(platform);
  EXPECT_TRUE(dialog.OnInitDialog());
  EXPECT_EQ(world.sockets.Received(), std::string("None buletooth\0", 15));
  EXPECT_EQ(world.system.Exits(), std::vector<std::uint32_t>{3});
}

}  // namespace
}  // namespace quillet::testing
