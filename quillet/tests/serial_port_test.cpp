#include <gtest/gtest.h>

#include "link/serial_port.h"
#include "tests/fakes.h"

namespace quillet::testing {
namespace {

TEST(ComDeviceName, PlainNameUpToNineAndDevicePathFromTen) {
  EXPECT_EQ(ComDeviceName(1), u"COM1");
  EXPECT_EQ(ComDeviceName(9), u"COM9");
  EXPECT_EQ(ComDeviceName(10), u"\\\\.\\COM10");
  EXPECT_EQ(ComDeviceName(12), u"\\\\.\\COM12");
}

TEST(SerialPortOpen, SetsUpLineQueuesTimeoutsDtrThenPurges) {
  FakeComm comm;
  CSerialPort port(comm);
  ASSERT_TRUE(port.Open(5, 115200));
  EXPECT_EQ(port.m_hCom, FakeComm::kPortHandle);

  const std::vector<std::string> expected = {
      "CreateFileW COM5", "GetCommState",       "SetCommState", "SetupComm 4096 1024", "SetCommTimeouts",
      "EscapeCommFunction 5", "PurgeComm 10", "PurgeComm 5", "ClearCommError"};
  EXPECT_EQ(comm.Calls(), expected);

  EXPECT_TRUE(comm.lastState.fBinary);
  EXPECT_EQ(comm.lastState.BaudRate, 115200u);
  EXPECT_EQ(comm.lastState.ByteSize, 8);
  EXPECT_EQ(comm.lastState.Parity, 0);
  EXPECT_EQ(comm.lastState.StopBits, 0);
  // The rest of the block stays as the driver reported it.
  EXPECT_EQ(comm.lastState.driverBlock[10], 0x5A);

  EXPECT_EQ(comm.lastTimeouts.ReadIntervalTimeout, 100u);
  EXPECT_EQ(comm.lastTimeouts.ReadTotalTimeoutMultiplier, 2u);
  EXPECT_EQ(comm.lastTimeouts.ReadTotalTimeoutConstant, 1000u);
  EXPECT_EQ(comm.lastTimeouts.WriteTotalTimeoutMultiplier, 2u);
  EXPECT_EQ(comm.lastTimeouts.WriteTotalTimeoutConstant, 500u);
}

TEST(SerialPortOpen, FailuresThatStopTheOpenAndOnesThatDoNot) {
  {
    FakeComm comm;
    CSerialPort port(comm);
    EXPECT_FALSE(port.Open(7, 115200));  // no such device
    EXPECT_EQ(port.m_hCom, 0u);
  }
  {
    FakeComm comm;
    comm.setTimeoutsFails = true;
    CSerialPort port(comm);
    EXPECT_FALSE(port.Open(5, 115200));
    EXPECT_EQ(port.m_hCom, 0u);
    EXPECT_EQ(comm.CountCalls("CloseHandle"), 1);
    EXPECT_EQ(comm.CountCalls("EscapeCommFunction"), 0);
  }
  {
    FakeComm comm;
    comm.getStateFails = true;
    CSerialPort port(comm);
    EXPECT_TRUE(port.Open(5, 115200));
    EXPECT_EQ(comm.CountCalls("SetCommState"), 0);
  }
}

TEST(SerialPortOpen, AlreadyOpenKeepsItsSettings) {
  FakeComm comm;
  CSerialPort port(comm);
  ASSERT_TRUE(port.Open(5, 115200));
  const auto callsBefore = comm.Calls().size();
  EXPECT_TRUE(port.Open(1, 9600));
  EXPECT_EQ(comm.Calls().size(), callsBefore);
  EXPECT_EQ(comm.lastState.BaudRate, 115200u);
}

TEST(SerialPortPurge, DrainsWhatArrivedInPassesOfAtMost1024Bytes) {
  FakeComm comm;
  comm.Arrive(std::vector<std::uint8_t>(2500, 0x55));
  CSerialPort port(comm);
  ASSERT_TRUE(port.Open(5, 115200));
  EXPECT_EQ(comm.readSizes, (std::vector<std::uint32_t>{1024, 1024, 452}));
  EXPECT_EQ(port.InputQueueCount(), 0u);
}

TEST(SerialPortTransfer, TenAttemptsOneMillisecondApartThenStickyFailure) {
  FakeComm comm;
  CSerialPort port(comm);
  ASSERT_TRUE(port.Open(5, 115200));
  comm.writeFailures = 10;
  std::uint8_t data[3] = {1, 2, 3};
  const auto before = comm.Calls().size();
  EXPECT_EQ(port.Transfer(data, 3, TransferDirection::Write), -1);
  EXPECT_TRUE(port.m_bFailed);
  auto calls = comm.Calls();
  calls.erase(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(before));
  ASSERT_EQ(calls.size(), 20u);
  for (std::size_t i = 0; i < calls.size(); i += 2) {
    EXPECT_EQ(calls[i], "WriteFile 3");
    EXPECT_EQ(calls[i + 1], "Sleep 1");
  }

  // Failed: no device call in either direction.
  comm.Arrive({9, 9});
  EXPECT_EQ(port.Transfer(data, 3, TransferDirection::Read), 0);
  EXPECT_EQ(port.Transfer(data, 3, TransferDirection::Write), 0);
  EXPECT_EQ(comm.Calls().size(), before + 20);

  // Only a successful open clears the state.
  port.Close();
  ASSERT_TRUE(port.Open(5, 115200));
  EXPECT_FALSE(port.m_bFailed);
}

TEST(SerialPortTransfer, NineFailuresThenSuccessAndShortReads) {
  FakeComm comm;
  CSerialPort port(comm);
  ASSERT_TRUE(port.Open(5, 115200));
  comm.readFailures = 9;
  comm.Arrive({0x41, 0x42});
  std::uint8_t buffer[16] = {};
  EXPECT_EQ(port.Transfer(buffer, 16, TransferDirection::Read), 2);
  EXPECT_EQ(comm.CountCalls("Sleep 1"), 9);
  EXPECT_FALSE(port.m_bFailed);
  // Nothing waiting: a read that moves nothing is no failure.
  EXPECT_EQ(port.Transfer(buffer, 16, TransferDirection::Read), 0);
  EXPECT_FALSE(port.m_bFailed);
}

TEST(SerialPortClose, ClosesOnceAndOnDestruction) {
  FakeComm comm;
  {
    CSerialPort port(comm);
    ASSERT_TRUE(port.Open(5, 115200));
    port.Close();
    port.Close();
    EXPECT_EQ(comm.CountCalls("CloseHandle"), 1);
    ASSERT_TRUE(port.Open(5, 115200));
  }
  EXPECT_EQ(comm.CountCalls("CloseHandle"), 2);
}

}  // namespace
}  // namespace quillet::testing
