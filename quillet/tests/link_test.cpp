// The link with its worker on a real thread against the fake port.
#include <gtest/gtest.h>

#include "shell/dlg_quillet.h"
#include "tests/fakes.h"

namespace quillet::testing {
namespace {

class LinkTest : public ::testing::Test {
 protected:
  LinkTest() {
    world.controls.SetText(ids::kBaud, u"115200");
    world.controls.ComboAppend(ids::kComList, u"COM1");
    world.controls.ComboSetSelection(ids::kComList, 0);
  }

  void Connect(int port = 5) {
    dialog.m_nComPort = port;
    dialog.OnConnect();
    ASSERT_TRUE(dialog.m_hWorker.joinable());
  }

  // Stops the worker inside its next port query, so requests can pile up.
  void HoldWorker() {
    world.comm.HoldNextQuery();
    ASSERT_TRUE(WaitUntil([&] { return world.comm.Held(); }));
  }

  void Send(const std::u16string& text, bool hex) {
    world.controls.SetText(ids::kSendField, text);
    world.controls.SetCheck(ids::kHexCheck, hex);
    dialog.OnSend();
  }

  World world;
  CDlgQuillet dialog{world.Platform()};
};

TEST_F(LinkTest, ConnectOpensThePortAtTheBaudFieldAndSwitchesTheControls) {
  Connect(12);
  EXPECT_EQ(world.comm.Calls().front(), "CreateFileW \\\\.\\COM12");
  EXPECT_EQ(world.comm.lastState.BaudRate, 115200u);
  EXPECT_EQ(world.comm.CountCalls("SetCommMask 1"), 1);
  EXPECT_FALSE(world.controls.IsEnabled(ids::kConnect));
  for (int id : {ids::kDisconnect, ids::kReceive, ids::kReceivedOnTimer, ids::kFinished, ids::kSegmentList,
                 ids::kSectionList, ids::kSendField, ids::kHexCheck, ids::kSend})
    EXPECT_TRUE(world.controls.IsEnabled(id)) << id;

  dialog.OnDisconnect();
  EXPECT_FALSE(dialog.m_hWorker.joinable());
  EXPECT_EQ(dialog.m_pSerialPort, nullptr);
  EXPECT_TRUE(world.controls.IsEnabled(ids::kConnect));
  EXPECT_FALSE(world.controls.IsEnabled(ids::kSend));
  EXPECT_EQ(world.comm.CountCalls("CloseHandle"), 1);
}

TEST_F(LinkTest, OpenFailureReportsFifteenBytesAndEndsWithStatusFour) {
  dialog.m_nComPort = 7;  // no such device
  dialog.OnConnect();
  const auto sends = world.sockets.Sends();
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_EQ(sends[0], Bytes(std::string("Open com fail\0\0", 15)));
  EXPECT_EQ(world.system.Exits(), (std::vector<std::uint32_t>{4}));
  EXPECT_EQ(dialog.m_pSerialPort, nullptr);
  EXPECT_FALSE(dialog.m_hWorker.joinable());
}

TEST_F(LinkTest, NoPortFoundOpensThePortSelectedInTheComList) {
  dialog.m_nComPort = 0;
  dialog.OnConnect();
  EXPECT_EQ(world.comm.Calls().front(), "CreateFileW COM1");
  EXPECT_TRUE(dialog.m_hWorker.joinable());
}

TEST_F(LinkTest, SendInTextAndHexModes) {
  Connect();
  Send(u"AT", false);
  ASSERT_TRUE(WaitUntil([&] { return world.comm.Writes().size() == 1; }));
  Send(u"0x41 0x42", true);
  ASSERT_TRUE(WaitUntil([&] { return world.comm.Writes().size() == 2; }));
  EXPECT_EQ(world.comm.Writes()[0], Bytes("AT"));
  EXPECT_EQ(world.comm.Writes()[1], (std::vector<std::uint8_t>{0x41, 0x42}));
  EXPECT_TRUE(world.controls.MessageBoxes().empty());

  // Nothing to convert, or an empty field: nothing is queued.
  Send(u"xyz", true);
  Send(u"", false);
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  EXPECT_EQ(world.comm.Writes().size(), 2u);
}

TEST_F(LinkTest, SendBeforeConnectQueuesNothing) {
  Send(u"41", true);
  EXPECT_EQ(dialog.m_nSendLen, 0);
}

TEST_F(LinkTest, RequestsBeforeTheWorkerWakesCollapseIntoOneWriteOfTheLatest) {
  Connect();
  HoldWorker();
  Send(u"11 22 33", true);
  Send(u"44", true);
  EXPECT_EQ(dialog.m_nSendLen, 1);
  world.comm.Release();
  ASSERT_TRUE(WaitUntil([&] { return world.comm.Writes().size() == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  ASSERT_EQ(world.comm.Writes().size(), 1u);
  EXPECT_EQ(world.comm.Writes()[0], (std::vector<std::uint8_t>{0x44}));
  EXPECT_EQ(dialog.m_nSendLen, 0);
  EXPECT_EQ(dialog.m_SendBuf[0], 0);
}

TEST_F(LinkTest, ShortWriteShowsSendDataFailedOnceAndIsNotResent) {
  Connect();
  world.comm.writeLimit = 2;
  Send(u"01 02 03 04", true);
  ASSERT_TRUE(WaitUntil([&] { return world.controls.MessageBoxes().size() == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  EXPECT_EQ(world.controls.MessageBoxes(), (std::vector<std::u16string>{u"Send data failed"}));
  EXPECT_EQ(world.comm.Writes().size(), 1u);
}

TEST_F(LinkTest, FailedWriteLeavesThePortFailedUntilTheNextConnect) {
  Connect();
  world.comm.writeFailures = 10;
  Send(u"01", true);
  ASSERT_TRUE(WaitUntil([&] { return world.controls.MessageBoxes().size() == 1; }));
  Send(u"02", true);  // failed state: no device call, same message
  ASSERT_TRUE(WaitUntil([&] { return world.controls.MessageBoxes().size() == 2; }));
  EXPECT_EQ(world.comm.CountCalls("WriteFile"), 10);

  dialog.OnDisconnect();
  Connect();
  Send(u"03", true);
  ASSERT_TRUE(WaitUntil([&] { return world.comm.Writes().size() == 1; }));
  EXPECT_EQ(world.controls.MessageBoxes().size(), 2u);
}

TEST_F(LinkTest, ReconnectStartsAFreshWorkerThatCarriesData) {
  Connect();
  world.comm.Arrive(Bytes("$GPGGA,1*00\r\n"));
  ASSERT_TRUE(WaitUntil([&] { return world.sockets.Received() == "$GPGGA,1*00\n"; }));
  dialog.OnDisconnect();
  Connect();
  world.comm.Arrive(Bytes("$GPGGA,2*00\r\n"));
  ASSERT_TRUE(WaitUntil([&] { return world.sockets.Received() == "$GPGGA,1*00\n$GPGGA,2*00\n"; }));
  Send(u"AB", true);
  ASSERT_TRUE(WaitUntil([&] { return world.comm.Writes().size() == 1; }));
}

TEST_F(LinkTest, DisconnectWaitsForTheWorkerToLeaveTheTick) {
  Connect();
  world.comm.Arrive(Bytes("x"));
  HoldWorker();
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    world.comm.Release();
  });
  dialog.OnDisconnect();  // returns only once the worker has let go of the port
  release.join();
  EXPECT_FALSE(dialog.m_hWorker.joinable());
  EXPECT_EQ(dialog.m_pSerialPort, nullptr);
}

TEST_F(LinkTest, ShutdownStopsTheWorkerAndClosesEverything) {
  Connect();
  dialog.OnDestroy();
  EXPECT_FALSE(dialog.m_hWorker.joinable());
  EXPECT_EQ(dialog.m_hStopEvent, nullptr);
  EXPECT_EQ(dialog.m_hSendEvent, nullptr);
  EXPECT_EQ(dialog.m_pSerialPort, nullptr);
  EXPECT_EQ(world.sockets.Calls().back(), "closesocket");
  // Disconnect after the window is gone is harmless.
  dialog.OnDisconnect();
}

TEST_F(LinkTest, TestFramesQueueTheirBytes) {
  Connect();
  HoldWorker();
  world.controls.ComboSetSelection(ids::kSegmentList, 0);
  world.controls.ComboSetSelection(ids::kSectionList, 2);
  dialog.OnReceive();
  EXPECT_EQ(std::vector<std::uint8_t>(dialog.m_SendBuf.begin(), dialog.m_SendBuf.begin() + dialog.m_nSendLen),
            (std::vector<std::uint8_t>{0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x03, 0xA3, 0x00, 0x03}));
  world.controls.ComboSetSelection(ids::kSegmentList, 1);
  world.controls.ComboSetSelection(ids::kSectionList, 0);
  dialog.OnReceive();
  EXPECT_EQ(dialog.m_SendBuf[9], 0x05);
  world.controls.ComboSetSelection(ids::kSectionList, 3);
  dialog.OnReceive();
  EXPECT_EQ(dialog.m_SendBuf[9], 0x08);

  // Receive then Finished before the worker wakes: one write, the finished frame.
  dialog.OnFinished();
  world.comm.Release();
  ASSERT_TRUE(WaitUntil([&] { return world.comm.Writes().size() == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  ASSERT_EQ(world.comm.Writes().size(), 1u);
  EXPECT_EQ(world.comm.Writes()[0], (std::vector<std::uint8_t>{0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x01, 0xA7}));
}

TEST_F(LinkTest, FramesAfterDisconnectStayInTheMailbox) {
  Connect();
  dialog.OnDisconnect();
  dialog.OnFinished();
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_TRUE(world.comm.Writes().empty());
  EXPECT_EQ(dialog.m_nSendLen, 8);
}

}  // namespace
}  // namespace quillet::testing
