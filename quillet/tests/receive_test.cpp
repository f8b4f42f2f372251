// The receive tick, driven directly on a connected dialog whose worker is held
// out of the way, and end to end through the worker.
#include <gtest/gtest.h>

#include "receive/hex_text.h"
#include "shell/dlg_quillet.h"
#include "tests/fakes.h"

namespace quillet::testing {
namespace {

const std::string kCapturePath = "C:\\GPS\\bthdebug.dat";

class ReceiveTest : public ::testing::Test {
 protected:
  // The port object without a worker: the test runs the ticks itself.
  ReceiveTest() {
    dialog.m_pSerialPort = std::make_unique<CSerialPort>(world.comm);
    dialog.m_pSerialPort->Open(5, 115200);
  }

  void Tick(const std::string& bytes) {
    world.comm.Arrive(Bytes(bytes));
    dialog.ReceiveTick();
  }

  std::string HexPane() { return Narrow(world.controls.GetText(ids::kHexPane)); }
  std::string TextPane() { return Narrow(world.controls.GetText(ids::kTextPane)); }
  std::string Count() { return Narrow(world.controls.GetText(ids::kByteCount)); }

  World world;
  CDlgQuillet dialog{world.Platform()};
};

TEST_F(ReceiveTest, NothingWaitingTouchesNoFileButTheDirectory) {
  dialog.ReceiveTick();
  EXPECT_EQ(world.files.Calls(),
            (std::vector<std::string>{"DeleteFileW d:\\bthdebug.dat", "CreateDirectoryW C:\\GPS"}));
  EXPECT_EQ(world.comm.CountCalls("ReadFile"), 0);
  EXPECT_TRUE(world.sockets.Sends().empty());
}

TEST_F(ReceiveTest, AChunkGoesToTheCaptureFileTheHostAndThePanes) {
  const std::string gga = "$GPGGA,1,2*00";
  const std::string rmc = "$GPRMC,3,4*00";
  Tick(gga + "\r\n" + rmc + "\r\n");

  EXPECT_EQ(world.comm.readSizes.back(), 4095u);
  const auto file = world.files.Contents().at(kCapturePath);
  EXPECT_EQ(std::string(file.begin(), file.end()), gga + "\r\n" + rmc + "\r\n");
  EXPECT_EQ(world.files.Calls()[2], "fopen " + kCapturePath + " wb+");
  EXPECT_EQ(world.sockets.Sends(), (std::vector<std::vector<std::uint8_t>>{Bytes(gga + "\n")}));
  EXPECT_EQ(Count(), "30 byte(s)");
  EXPECT_EQ(TextPane(), gga + "\r\n" + rmc + "\r\n\r\n");
}

TEST_F(ReceiveTest, FiveBytesTwiceCountsTen) {
  world.controls.SetText(ids::kHexPane, u"typed");
  world.controls.SetText(ids::kTextPane, u"typed");
  Tick("ABCDE");
  EXPECT_EQ(HexPane(), "41 42 43 44 45 \r\n");
  EXPECT_EQ(TextPane(), "ABCDE\r\n");
  EXPECT_EQ(Count(), "5 byte(s)");
  EXPECT_EQ(world.files.Contents().at(kCapturePath).size(), 5u);
  Tick("ABCDE");
  EXPECT_EQ(HexPane(), "41 42 43 44 45 \r\n41 42 43 44 45 \r\n");
  EXPECT_EQ(Count(), "10 byte(s)");
}

TEST_F(ReceiveTest, ClearupEmptiesThePanesAndTheCountAndLaterDataAppends) {
  Tick("ABCDE");
  dialog.OnClearup();
  EXPECT_EQ(HexPane(), "");
  EXPECT_EQ(TextPane(), "");
  EXPECT_EQ(Count(), "0 byte(s)");
  Tick("AB");
  EXPECT_EQ(HexPane(), "41 42 \r\n");
  EXPECT_EQ(Count(), "2 byte(s)");
}

TEST_F(ReceiveTest, SixteenByteChunkEndsInTwoLineBreaks) {
  Tick(std::string(16, 'A'));
  EXPECT_EQ(HexPane().substr(HexPane().size() - 4), "\r\n\r\n");
}

TEST_F(ReceiveTest, EndOfFileByteHidesTheSentenceFromTheHostNotFromThePanes) {
  Tick("\x1A$GPGGA,1*00\r\n");
  EXPECT_TRUE(world.sockets.Sends().empty());
  EXPECT_EQ(Count(), "14 byte(s)");
  EXPECT_EQ(TextPane(), "\x1A$GPGGA,1*00\r\n\r\n");
}

TEST_F(ReceiveTest, AFailedCaptureWriteNeverForwardsOldDataAgain) {
  Tick("$GPGGA,1*00\r\n");
  world.files.writeFails = true;
  Tick("$GPRMC,2*00\r\n");
  world.files.openFails = true;
  Tick("$GPGGA,3*00\r\n");
  EXPECT_EQ(world.sockets.Received(), "$GPGGA,1*00\n$GPGGA,3*00\n");
}

TEST_F(ReceiveTest, ReadFailureEndsTicksQuietly) {
  world.comm.readFailures = 10;
  Tick("$GPGGA,1*00\r\n");
  EXPECT_TRUE(dialog.m_pSerialPort->m_bFailed);
  dialog.ReceiveTick();
  EXPECT_TRUE(world.sockets.Sends().empty());
  EXPECT_EQ(world.comm.CountCalls("ReadFile"), 10);
  EXPECT_TRUE(world.controls.MessageBoxes().empty());
}

TEST_F(ReceiveTest, PanesKeepABoundedTailOfWholeLinesAndTheCountRunsOn) {
  const std::string chunk(4095, 'G');
  std::int64_t total = 0;
  for (int i = 0; i < 40; ++i) {
    Tick(chunk);
    total += 4095;
  }
  const std::u16string hex = world.controls.GetText(ids::kHexPane);
  EXPECT_LE(hex.size(), 28000u);
  // Trimmed by whole lines: the pane starts with a full row of entries.
  EXPECT_TRUE(hex.substr(0, 3) == u"47 ");
  EXPECT_TRUE(hex.substr(hex.size() - 2) == u"\r\n");
  EXPECT_LE(world.controls.GetText(ids::kTextPane).size(), 28000u);
  EXPECT_EQ(Count(), std::to_string(total) + " byte(s)");

  // The latest chunk is whole at the end of the pane.
  const std::vector<std::uint8_t> bytes(chunk.begin(), chunk.end());
  const std::u16string last = BytesToHex(bytes.data(), bytes.size()) + u"\r\n";
  EXPECT_TRUE(hex.size() > last.size() && hex.substr(hex.size() - last.size()) == last);
}

// The worker's own ticks, with cuts anywhere in the stream.
TEST(ReceiveThroughWorker, SentencesReachTheHostOnceEachInOrder) {
  World world;
  world.controls.SetText(ids::kBaud, u"115200");
  CDlgQuillet dialog(world.Platform());
  dialog.m_nComPort = 5;
  dialog.OnConnect();
  std::string expected;
  for (int i = 0; i < 20; ++i) {
    const std::string gga = "$GPGGA,0000" + std::to_string(i) + ",4807.038,N*47";
    expected += gga + "\n";
    const std::string sentences = "$GPGSV,3,1*71\r\n" + gga + "\r\n$GPRMC,1*6A\r\n";
    const std::size_t cut = static_cast<std::size_t>(i) % sentences.size();
    world.comm.Arrive(Bytes(sentences.substr(0, cut + 17)));
    std::this_thread::sleep_for(std::chrono::milliseconds(i % 3 == 0 ? 120 : 10));
    world.comm.Arrive(Bytes(sentences.substr(cut + 17)));
  }
  EXPECT_TRUE(WaitUntil([&] { return world.sockets.Received() == expected; }));
  EXPECT_EQ(world.sockets.Received(), expected);
}

}  // namespace
}  // namespace quillet::testing
