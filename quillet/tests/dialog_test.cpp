// Start-up defaults, event routing, the system menu, the timer, the bridging
// and the application object.
#include <gtest/gtest.h>

#include "shell/dlg_quillet.h"
#include "shell/quillet_app.h"
#include "tests/fakes.h"

namespace quillet::testing {
namespace {

class DialogTest : public ::testing::Test {
 protected:
  World world;
  std::unique_ptr<CDlgQuillet> dialog;

  void Start() {
    dialog = std::make_unique<CDlgQuillet>(world.Platform());
    EXPECT_TRUE(dialog->OnInitDialog());
  }
};

TEST_F(DialogTest, ConstructionLoadsTheIconAndDeletesTheStaleFileOnDriveD) {
  CDlgQuillet local(world.Platform());
  EXPECT_EQ(local.m_hIcon, 0x1000u + 128);
  EXPECT_EQ(world.files.Calls(), (std::vector<std::string>{"DeleteFileW d:\\bthdebug.dat"}));
  EXPECT_EQ(local.m_nComPort, 0);
  EXPECT_EQ(local.m_nSendLen, 0);
}

TEST_F(DialogTest, StartUpWithoutABluetoothPortSetsTheDefaultsAndStaysIdle) {
  world.bluetooth.radios = {{u"Radio", 0x0011223344AA}};  // and no device: the scan finds nothing
  Start();
  EXPECT_EQ(world.controls.MessageBoxes(), std::vector<std::u16string>{u"Scan nearby bluetooth device failed"});
  EXPECT_EQ(world.controls.SystemMenuItems(),
            (std::vector<std::pair<std::uint32_t, std::u16string>>{{16, u"&About Quillet..."}}));
  EXPECT_EQ(world.controls.Icon(), dialog->m_hIcon);
  EXPECT_TRUE(world.controls.GetCheck(ids::kShowRemembered));
  EXPECT_FALSE(world.controls.GetCheck(ids::kIssueInquiry));
  EXPECT_TRUE(world.controls.GetCheck(ids::kHexCheck));

  const auto com = world.controls.Get(ids::kComList);
  ASSERT_EQ(com.items.size(), 32u);
  EXPECT_EQ(com.items.front(), u"COM1");
  EXPECT_EQ(com.items.back(), u"COM32");
  EXPECT_EQ(com.selection, 0);
  EXPECT_EQ(world.controls.GetText(ids::kBaud), u"115200");
  EXPECT_EQ(world.controls.GetText(ids::kByteCount), u"");
  EXPECT_EQ(world.controls.Get(ids::kSegmentList).selection, 0);
  EXPECT_EQ(world.controls.Get(ids::kSectionList).selection, 0);

  EXPECT_TRUE(world.controls.IsEnabled(ids::kConnect));
  for (int id : {ids::kDisconnect, ids::kReceive, ids::kReceivedOnTimer, ids::kFinished, ids::kSegmentList,
                 ids::kSectionList, ids::kSendField, ids::kHexCheck, ids::kSend})
    EXPECT_FALSE(world.controls.IsEnabled(id)) << id;

  EXPECT_EQ(world.sockets.Calls(), (std::vector<std::string>{"socket", "connect 127.0.0.1:51234"}));
  EXPECT_EQ(world.comm.CountCalls("CreateFileW"), 0);
  EXPECT_FALSE(dialog->m_hWorker.joinable());
}

TEST_F(DialogTest, StartUpBridgesToTheBluetoothPortWithoutAListener) {
  world.ports.friendlyNames = {u"Communications Port (COM1)", u"Standard Serial over Bluetooth link (COM5)"};
  Start();
  EXPECT_EQ(dialog->m_nComPort, 5);
  EXPECT_EQ(world.comm.Calls().front(), "CreateFileW COM5");
  EXPECT_TRUE(dialog->m_hWorker.joinable());
  EXPECT_FALSE(world.controls.IsEnabled(ids::kConnect));
  EXPECT_TRUE(world.controls.IsEnabled(ids::kSend));
  // The COM list is not moved to the port in use.
  EXPECT_EQ(world.controls.Get(ids::kComList).selection, 0);
  EXPECT_TRUE(world.sockets.Sends().empty());
}

TEST_F(DialogTest, StartUpWithAPortThatCannotOpenReportsAndEnds) {
  world.ports.friendlyNames = {u"Standard Serial over Bluetooth link (COM7)"};
  Start();
  EXPECT_EQ(world.sockets.Received(), std::string("Open com fail\0\0", 15));
  EXPECT_EQ(world.system.Exits(), (std::vector<std::uint32_t>{4}));
}

TEST_F(DialogTest, BluetoothPortLookup) {
  struct Case {
    std::vector<std::optional<std::u16string>> names;
    std::optional<std::u16string> port;
    std::int32_t number;
  };
  const Case cases[] = {
      {{u"Standard Serial over Bluetooth link (COM12)"}, u"COM12", 12},
      {{u"Standard Serial over Bluetooth link (COM7"}, u"COM", 0},
      {{u"COM3 Bluetooth link (COM9)"}, u"COM9", 9},
      {{u"Serial over BLUETOOTH (COM4)", u"bluetooth (COM6)"}, std::nullopt, 0},
      {{u"Bluetooth (COM8)", u"Bluetooth (COM9)"}, u"COM8", 8},
      {{std::nullopt, u"Bluetooth link (COM3)"}, u"COM3", 3},
      {{std::u16string(120, u'x') + u"Bluetooth (COM2)", u"Bluetooth (COM6)"}, u"COM6", 6},
      {{}, std::nullopt, 0},
  };
  for (const auto& c : cases) {
    World local;
    local.ports.friendlyNames = c.names;
    CDlgQuillet probe(local.Platform());
    const auto port = probe.FindBluetoothComPort();
    EXPECT_EQ(port, c.port);
    EXPECT_EQ(local.ports.lastFlags, kDigcfPresent);
    EXPECT_EQ(local.ports.destroyed, 1);
    if (port) {
      EXPECT_EQ(WideToInt(port->substr(3)), c.number);
    }
  }
}

TEST_F(DialogTest, LookupWithoutADeviceSet) {
  world.ports.classDevsFails = true;
  CDlgQuillet local(world.Platform());
  EXPECT_EQ(local.FindBluetoothComPort(), std::nullopt);
}

TEST(WideToInt, ReadsLikeWtoi) {
  EXPECT_EQ(WideToInt(u"12"), 12);
  EXPECT_EQ(WideToInt(u""), 0);
  EXPECT_EQ(WideToInt(u"  7)"), 7);
  EXPECT_EQ(WideToInt(u"-3"), -3);
  EXPECT_EQ(WideToInt(u"x5"), 0);
}

TEST_F(DialogTest, MessageMapRoutesTheControlEvents) {
  Start();
  world.controls.SetText(ids::kSendField, u"hello");
  EXPECT_TRUE(dialog->OnCommand(ids::kSendField, kEnSetfocus));
  const auto field = world.controls.Get(ids::kSendField);
  EXPECT_EQ(field.selStart, 0);
  EXPECT_EQ(field.selEnd, 5);

  world.controls.SetText(ids::kHexPane, u"41 ");
  EXPECT_TRUE(dialog->OnCommand(ids::kClearup, kBnClicked));
  EXPECT_EQ(world.controls.GetText(ids::kHexPane), u"");
  EXPECT_EQ(world.controls.GetText(ids::kByteCount), u"0 byte(s)");

  EXPECT_TRUE(dialog->OnCommand(ids::kFinished, kBnClicked));
  EXPECT_EQ(dialog->m_nSendLen, 8);

  // Test, Test1 and Wizard change nothing.
  EXPECT_TRUE(dialog->OnCommand(ids::kTest, kBnClicked));
  EXPECT_TRUE(dialog->OnCommand(ids::kTest1, kBnClicked));
  EXPECT_FALSE(dialog->OnCommand(ids::kWizard, kBnClicked));
  // OK and Cancel are left to the window layer, which hides the window.
  EXPECT_FALSE(dialog->OnCommand(1, kBnClicked));
  EXPECT_FALSE(dialog->OnCommand(2, kBnClicked));
  // Other notifications of routed controls are not handled.
  EXPECT_FALSE(dialog->OnCommand(ids::kClearup, 5));
}

TEST_F(DialogTest, AboutBoxForSystemCommandsSixteenToThirtyOne) {
  Start();
  EXPECT_TRUE(dialog->OnSysCommand(16));
  EXPECT_TRUE(dialog->OnSysCommand(31));
  EXPECT_FALSE(dialog->OnSysCommand(32));
  EXPECT_FALSE(dialog->OnSysCommand(0xF060));  // SC_CLOSE
  EXPECT_EQ(world.controls.AboutBoxRuns(), 2);
}

TEST_F(DialogTest, ReceivedOnTimerRepeatsTheReceiveCommand) {
  Start();
  world.controls.Click(ids::kReceivedOnTimer);
  dialog->OnCommand(ids::kReceivedOnTimer, kBnClicked);
  EXPECT_EQ(world.controls.Timers(), (std::map<std::uintptr_t, std::uint32_t>{{1, 300}}));

  dialog->OnTimer(1);
  dialog->OnTimer(2);
  EXPECT_EQ(world.controls.PostedCommands(), (std::vector<int>{ids::kReceive}));
  // The posted command comes back as a click on Receive; the lists are read anew.
  world.controls.ComboSetSelection(ids::kSegmentList, 1);
  dialog->OnCommand(ids::kReceive, kBnClicked);
  EXPECT_EQ(dialog->m_SendBuf[9], 0x05);

  world.controls.Click(ids::kReceivedOnTimer);
  dialog->OnCommand(ids::kReceivedOnTimer, kBnClicked);
  EXPECT_TRUE(world.controls.Timers().empty());
}

class FakeAppShell : public AppShell {
 public:
  bool InitCommonControlsEx(std::uint32_t size, std::uint32_t classes) override {
    calls.push_back("InitCommonControlsEx " + std::to_string(size) + " " + std::to_string(classes));
    return true;
  }
  std::u16string LoadString(std::uint32_t id) override {
    return id == 103 ? u"Windows sockets initialization failed." : u"";
  }
  void MessageBox(const std::u16string& text) override { calls.push_back("MessageBox " + Narrow(text)); }
  bool CreateMainDialog() override {
    calls.push_back("CreateMainDialog");
    return created;
  }
  bool created = true;
  std::vector<std::string> calls;
};

TEST(QuilletApp, InitialisationInOrder) {
  FakeAppShell shell;
  FakeSockets sockets;
  CQuilletApp app(shell, sockets);
  EXPECT_TRUE(app.InitInstance());
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"InitCommonControlsEx 8 255", "CreateMainDialog"}));
  EXPECT_EQ(sockets.Calls(), (std::vector<std::string>{"WSAStartup 514", "WSAStartup 257"}));
  EXPECT_EQ(app.ExitInstance(0), 0);
  EXPECT_EQ(sockets.Calls().back(), "WSACleanup");

  shell.created = false;
  EXPECT_FALSE(app.InitInstance());
}

TEST(QuilletApp, SocketsWithoutVersionOneOneStopBeforeTheDialog) {
  FakeAppShell shell;
  FakeSockets sockets;
  sockets.grantedVersion = 0x0202;
  CQuilletApp app(shell, sockets);
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"InitCommonControlsEx 8 255",
                                                    "MessageBox Windows sockets initialization failed."}));
}

}  // namespace
}  // namespace quillet::testing
