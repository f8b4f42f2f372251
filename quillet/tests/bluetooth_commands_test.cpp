#include <gtest/gtest.h>

#include <optional>

#include "bluetooth/bluetooth_commands.h"
#include "bluetooth_fakes.h"

namespace quillet::testing {
namespace {

constexpr BLUETOOTH_ADDRESS kGpsAddress = 0x001A7DDA7113;

class CommandsTest : public ::testing::Test {
 protected:
  CallLog calls;
  FakeBluetooth bt{calls};
  FakeControls controls{calls};
  CBthManager manager{bt, controls};
  std::string hostBytes;
  std::optional<std::uint32_t> exitStatus;
  BluetoothCommands commands{
      manager, controls, bt, [this](const std::string& bytes) { hostBytes += bytes; },
      [this](std::uint32_t status) {
        calls.push_back("ExitProcess " + std::to_string(status));
        exitStatus = status;
      }};

  void SetUp() override {
    // The states start-up leaves: remembered devices, no inquiry.
    controls.checks[ids::kShowRemembered] = true;
    controls.checks[ids::kIssueInquiry] = false;
  }
  std::vector<std::u16string>& Radios() { return controls.lists[ids::kRadioList]; }
  std::vector<std::u16string>& Devices() { return controls.lists[ids::kDeviceList]; }
};

TEST_F(CommandsTest, EnumerateListsEachRadioWithItsAddress) {
  bt.radios = {{u"Radio One", 0x0011223344556677}, {u"", 0x0000000000000001}};
  Radios() = {u"stale"};

  commands.OnEnumerate();

  EXPECT_EQ(Radios(), (std::vector<std::u16string>{u"Radio One ( 22:33:44:55:66:77 )",
                                                   u" ( 00:00:00:00:00:01 )"}));
  EXPECT_EQ(controls.ListGetSelection(ids::kRadioList), -1);
  EXPECT_FALSE(exitStatus);
  EXPECT_TRUE(hostBytes.empty());
}

TEST_F(CommandsTest, WithoutRadioTheHostIsToldAndTheProgramEnds) {
  for (bool unreadable : {false, true}) {
    bt.radios.clear();
    if (unreadable) bt.radios = {{u"Broken", 5, false}};
    hostBytes.clear();
    exitStatus.reset();

    commands.OnEnumerate();

    EXPECT_EQ(hostBytes, std::string("None buletooth\0", 15));
    EXPECT_EQ(exitStatus, 3u);
  }
}

TEST_F(CommandsTest, ScanBeforeEnumerateEnumeratesAndUsesTheFirstRadio) {
  bt.radios = {{u"A", 0xA}, {u"B", 0xB}};
  bt.devices = {{1, 7, u"On B"}, {0, kGpsAddress, u"GPS"}, {0, 0x0000BEEF0000, u""}};

  commands.OnScan();

  EXPECT_EQ(Radios().size(), 2u);
  EXPECT_EQ(controls.ListGetSelection(ids::kRadioList), 0);
  EXPECT_EQ(bt.searches.at(0).hRadio, manager.m_arrRadios[0].hRadio);
  EXPECT_TRUE(bt.searches[0].fReturnRemembered);
  EXPECT_FALSE(bt.searches[0].fIssueInquiry);
  EXPECT_EQ(Devices(), (std::vector<std::u16string>{u"GPS ( 00:1a:7d:da:71:13 )",
                                                    u" ( 00:00:be:ef:00:00 )"}));
  EXPECT_TRUE(controls.messageBoxes.empty());
}

TEST_F(CommandsTest, ScanUsesTheSelectedRadioOrFallsBackToTheFirst) {
  bt.radios = {{u"A", 0xA}, {u"B", 0xB}};
  bt.devices = {{1, 7, u"On B"}, {0, 8, u"On A"}};
  commands.OnEnumerate();

  controls.ListSetSelection(ids::kRadioList, 1);
  controls.checks[ids::kIssueInquiry] = true;
  commands.OnScan();
  EXPECT_EQ(bt.searches.back().hRadio, manager.m_arrRadios[1].hRadio);
  EXPECT_TRUE(bt.searches.back().fIssueInquiry);
  EXPECT_EQ(Devices(), std::vector<std::u16string>{u"On B ( 00:00:00:00:00:07 )"});

  controls.selections[ids::kRadioList] = -1;
  commands.OnScan();
  EXPECT_EQ(controls.ListGetSelection(ids::kRadioList), 0);
  EXPECT_EQ(Devices(), std::vector<std::u16string>{u"On A ( 00:00:00:00:00:08 )"});
}

TEST_F(CommandsTest, ScanThatFindsNothingSaysSoAndLeavesTheListEmpty) {
  bt.radios = {{u"A", 0xA}};
  bt.devices = {{0, kGpsAddress, u"GPS"}};
  commands.OnScan();
  ASSERT_EQ(Devices().size(), 1u);

  bt.devices.clear();
  commands.OnScan();

  EXPECT_TRUE(Devices().empty());
  EXPECT_TRUE(manager.m_arrDevices.empty());
  EXPECT_EQ(controls.messageBoxes,
            std::vector<std::u16string>{u"Scan nearby bluetooth device failed"});
  EXPECT_EQ(controls.waitCursorDepth, 0);
}

TEST_F(CommandsTest, ScanWithoutRadioEndsTheProgramBeforeSearching) {
  Devices() = {u"kept"};

  commands.OnScan();

  EXPECT_EQ(exitStatus, 3u);
  EXPECT_EQ(hostBytes, std::string("None buletooth\0", 15));
  EXPECT_TRUE(bt.searches.empty());
  EXPECT_EQ(Devices(), std::vector<std::u16string>{u"kept"});
}

TEST_F(CommandsTest, DoubleClickShowsTheSelectedDevicesProperties) {
  bt.radios = {{u"A", 0xA}};
  bt.devices = {{0, 1, u"One"}, {0, kGpsAddress, u"GPS"}};

  commands.OnDblclkDeviceList();  // empty list
  EXPECT_EQ(controls.messageBoxes,
            std::vector<std::u16string>{u"Please select remote bluetooth device"});

  commands.OnScan();
  controls.messageBoxes.clear();
  commands.OnDblclkDeviceList();  // filled, nothing selected
  EXPECT_EQ(controls.messageBoxes.size(), 1u);

  controls.ListSetSelection(ids::kDeviceList, 1);
  commands.OnDblclkDeviceList();
  EXPECT_EQ(controls.messageBoxes.size(), 1u);
  EXPECT_EQ(Only(calls, {"Display"}), CallLog{"DisplayDeviceProperties d1a1 1a7dda7113"});
}

TEST_F(CommandsTest, AuthenticateReportsFailuresWithThePasskeyAndTheSystemText) {
  bt.radios = {{u"A", 0xA}};
  bt.devices = {{0, kGpsAddress, u"GPS"}};
  bt.systemTexts[0] = u"The operation completed successfully.\r\n";
  bt.systemTexts[1244] = u"The user has not been authenticated.\r\n";

  commands.OnAuthenticate();  // enumerates, but no device line
  EXPECT_EQ(controls.messageBoxes,
            std::vector<std::u16string>{u"Please select remote bluetooth device"});

  commands.OnScan();
  controls.ListSetSelection(ids::kDeviceList, 0);
  const struct {
    bool readable;
    std::uint32_t result;
    const char16_t* message;  // nullptr: none
  } cases[] = {
      {true, 1244,
       u"Authenticate failed using passkey [5318] : The user has not been authenticated.\r\n"},
      {true, 4242, u"Authenticate failed using passkey [5318] : "},
      {false, 0,
       u"Authenticate failed using passkey [5318] : The operation completed successfully.\r\n"},
      {true, 0, nullptr},
  };
  for (const auto& c : cases) {
    bt.devices[0].readable = c.readable;
    bt.authenticateResult = c.result;
    controls.messageBoxes.clear();
    commands.OnAuthenticate();
    if (c.message) {
      EXPECT_EQ(controls.messageBoxes, std::vector<std::u16string>{c.message});
    } else {
      EXPECT_TRUE(controls.messageBoxes.empty());
    }
  }
  EXPECT_EQ(Only(calls, {"AuthenticateDevice"}).back(), "AuthenticateDevice d1a1 100 1a7dda7113 5318 4");

  // Paired now: a further request succeeds silently and calls nothing.
  calls.clear();
  commands.OnAuthenticate();
  EXPECT_TRUE(Only(calls, {"AuthenticateDevice", "UpdateDeviceRecord", "MessageBox"}).empty());
}

TEST_F(CommandsTest, AuthenticateWithoutRadioEndsTheProgram) {
  commands.OnAuthenticate();
  EXPECT_EQ(exitStatus, 3u);
  EXPECT_TRUE(controls.messageBoxes.empty());
}

}  // namespace
}  // namespace quillet::testing
