#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/serial_port.h"
#include "fake_platform.h"

namespace pantrel {
namespace {

using ::testing::ElementsAre;
using testing::FakeWorld;

const std::string kGbkVersion6 = "\xCD\xA8\xD0\xC5\xB6\xCB\xBF\xDA";  // 通信端口
const std::string kGbkVersion5 = "\xCD\xA8\xD1\xB6\xB6\xCB\xBF\xDA";  // 通讯端口

struct DiscoveryCase {
  const char* what;
  std::uint32_t majorVersion;
  std::vector<FakeWorld::PresentPort> ports;
  std::optional<std::string> expected;
};

void PrintTo(const DiscoveryCase& c, std::ostream* os) { *os << c.what; }

class FindSerialPortTest : public ::testing::TestWithParam<DiscoveryCase> {};

TEST_P(FindSerialPortTest, FollowsTheNamingRules) {
  FakeWorld world;
  world.majorVersion = GetParam().majorVersion;
  world.presentPorts = GetParam().ports;
  EXPECT_EQ(find_serial_port(world), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FindSerialPortTest,
    ::testing::Values(
        DiscoveryCase{"plain", 10, {{"Communications Port (COM1)"}}, "COM1"},
        DiscoveryCase{"gbk6", 6, {{kGbkVersion6 + " (COM3)"}}, "COM3"},
        DiscoveryCase{"gbk6_on_5", 5, {{kGbkVersion6 + " (COM3)"}}, std::nullopt},
        DiscoveryCase{"gbk5", 5, {{kGbkVersion5 + " (COM4)"}}, "COM4"},
        DiscoveryCase{"gbk5_on_10", 10, {{kGbkVersion5 + " (COM4)"}}, std::nullopt},
        DiscoveryCase{"usb_serial_passed_over", 10, {{"USB Serial Device (COM5)"}}, std::nullopt},
        DiscoveryCase{"comm_word_ignored", 10, {{"USB-to-Serial Comm Port (COM7)"}}, "COM7"},
        DiscoveryCase{"two_digits", 10, {{"Communications Port (COM12)"}}, "COM12"},
        DiscoveryCase{"last_char_cut", 10, {{"Serial Port COM4"}}, "COM"},
        DiscoveryCase{"first_wins", 10, {{"Communications Port (COM1)"}, {"Communications Port (COM2)"}}, "COM1"},
        DiscoveryCase{"skips_unqualified", 10, {{"USB Serial Device (COM5)"}, {"Communications Port (COM2)"}},
                      "COM2"},
        DiscoveryCase{"unreadable_passed_over", 10,
                      {{"Communications Port (COM1)", false}, {"Communications Port (COM2)"}}, "COM2"},
        DiscoveryCase{"too_long_passed_over", 10,
                      {{std::string(95, 'x') + " Port (COM1)"}, {"Communications Port (COM2)"}}, "COM2"},
        DiscoveryCase{"printer_port_passed_over", 10, {{"ECP Printer Port (LPT1)"}, {"Communications Port (COM6)"}},
                      "COM6"},
        DiscoveryCase{"none", 10, {}, std::nullopt}),
    [](const auto& test) { return std::string(test.param.what); });

TEST(FindSerialPort, StopsReadingAtTheFirstMatchAndReleasesTheSet) {
  FakeWorld world;
  world.presentPorts = {{"Communications Port (COM1)"}, {"Communications Port (COM2)"}};
  find_serial_port(world);
  EXPECT_THAT(world.calls, ElementsAre("GetVersionExA", "SetupDiGetClassDevsA", "SetupDiEnumDeviceInfo 0",
                                       "SetupDiGetDeviceRegistryPropertyA 0", "SetupDiDestroyDeviceInfoList"));
}

TEST(FindSerialPort, NoDeviceSetGivesNothing) {
  FakeWorld world;
  world.classDevsFail = true;
  world.presentPorts = {{"Communications Port (COM1)"}};
  EXPECT_EQ(find_serial_port(world), std::nullopt);
}

TEST(OpenSerialPort, SetsUpThePortInOrder) {
  FakeWorld world;
  Handle handle = kInvalidHandle;
  EXPECT_EQ(open_serial_port(world, handle, "\\\\.\\COM3", 2400, 8, 0, 1024, 1024), 1);
  EXPECT_NE(handle, kInvalidHandle);
  EXPECT_THAT(world.calls, ElementsAre("CreateFileA \\\\.\\COM3", "SetupComm 1024 1024", "PurgeComm 12",
                                       "GetCommState", "SetCommState 2400", "SetCommTimeouts"));
  // Only speed, data bits and parity change; the rest stays as the driver had it.
  ASSERT_EQ(world.statesSet.size(), 1u);
  const CommState& state = world.statesSet[0];
  EXPECT_EQ(state.ByteSize, 8);
  EXPECT_EQ(state.Parity, 0);
  for (std::size_t i = 0; i < state.driverBlock.size(); ++i) EXPECT_EQ(state.driverBlock[i], 0xA0 + i);
  const CommTimeouts& t = world.timeoutsSet.at(0);
  EXPECT_EQ(t.ReadIntervalTimeout, 0xFFFFFFFFu);
  EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
  EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 1000u);
  EXPECT_EQ(t.WriteTotalTimeoutConstant, 0u);
}

class OpenFailureTest : public ::testing::TestWithParam<const char*> {};

TEST_P(OpenFailureTest, AnyFailedStepClosesThePortAndReportsFailure) {
  FakeWorld world;
  world.failingCommCall = GetParam();
  Handle handle = 0;
  EXPECT_EQ(open_serial_port(world, handle, "\\\\.\\COM3", 9600, 8, 0, 1024, 1024), 0);
  EXPECT_EQ(handle, kInvalidHandle);
  EXPECT_TRUE(world.openHandles.empty());
  EXPECT_EQ(world.calls.back().rfind("CloseHandle", 0), 0u) << world.calls.back();
}

INSTANTIATE_TEST_SUITE_P(Steps, OpenFailureTest,
                         ::testing::Values("SetupComm", "PurgeComm", "GetCommState", "SetCommState",
                                           "SetCommTimeouts"));

TEST(OpenSerialPort, PortThatCannotBeOpenedLeavesNothingToClose) {
  FakeWorld world;
  Handle handle = 0;
  EXPECT_EQ(open_serial_port(world, handle, "\\\\.\\COM9", 9600, 8, 0, 1024, 1024), 0);
  EXPECT_EQ(handle, kInvalidHandle);
  EXPECT_THAT(world.calls, ElementsAre("CreateFileA \\\\.\\COM9"));
}

}  // namespace
}  // namespace pantrel
