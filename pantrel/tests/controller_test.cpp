#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_platform.h"

namespace pantrel {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::FakeWorld;

const std::string kHelp =
    "Command: l for left, r for right, u for up, d for down, h for home\n"
    "Command: L for relative  left, R for relative right, U for relative up, D for relative down\n";
const std::string kHeader = "device_1\nopen COM3\n" + kHelp;

std::string Echo(unsigned char c) { return std::string("c++ receive\xA3\xBA") + static_cast<char>(c) + "\n"; }

std::vector<std::uint8_t> Bytes(std::initializer_list<int> bytes) {
  std::vector<std::uint8_t> out;
  for (int b : bytes) out.push_back(static_cast<std::uint8_t>(b));
  return out;
}

const auto kPelcoLeft = Bytes({0xFF, 0x01, 0x00, 0x04, 0x0F, 0x00, 0x14});
const auto kPelcoStop = Bytes({0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01});
const auto kViscaLeft = Bytes({0x81, 0x01, 0x06, 0x01, 0x10, 0x00, 0x01, 0x03, 0xFF});
const auto kViscaStop = Bytes({0x81, 0x01, 0x06, 0x01, 0x10, 0x10, 0x03, 0x03, 0xFF});

struct Controller : ::testing::Test {
  FakeWorld world;
  Controller() { world.presentPorts = {{"Communications Port (COM3)"}}; }
  int Run(const std::string& selector, std::deque<std::string> reads) {
    world.inputReads = std::move(reads);
    return world.Run({"Pantrel.exe", "host.exe", selector});
  }
  std::vector<std::vector<std::uint8_t>> Frames() const {
    std::vector<std::vector<std::uint8_t>> frames;
    for (auto& w : world.writes) frames.push_back(w.bytes);
    return frames;
  }
  std::vector<std::uint32_t> Speeds() const {
    std::vector<std::uint32_t> speeds;
    for (auto& s : world.statesSet) speeds.push_back(s.BaudRate);
    return speeds;
  }
};

TEST_F(Controller, NoPortFoundPrintsTheFailurePairOnly) {
  world.presentPorts = {{"USB Serial Device (COM5)"}};
  EXPECT_EQ(Run("zal2", {"l\n"}), 0);
  EXPECT_EQ(world.output, "device_0\ncan not find any comm\n");
  EXPECT_EQ(world.flushedUpTo, world.output.size());
  EXPECT_TRUE(world.threads.empty());
  EXPECT_THAT(world.calls, ::testing::Not(::testing::Contains(HasSubstr("CreateFileA"))));
}

TEST_F(Controller, PortThatWillNotOpenPrintsTheFailurePair) {
  world.failingCommCall = "SetCommTimeouts";
  EXPECT_EQ(Run("zal2", {"l\n"}), 0);
  EXPECT_EQ(world.output, "device_0\nopen comm fail\n");
  EXPECT_TRUE(world.threads.empty());
  EXPECT_TRUE(world.openHandles.empty());
}

TEST_F(Controller, StartsTheWatchdogAfterDevice1AndRunsTheCommand) {
  EXPECT_EQ(Run("zal2", {"l\n"}), 0);
  EXPECT_EQ(world.output, kHeader + Echo('l') + "left\n");
  EXPECT_THAT(world.calls, ::testing::Contains("CreateFileA \\\\.\\COM3"));
  ASSERT_EQ(world.threads.size(), 1u);
  EXPECT_THAT(Frames(), ElementsAre(kPelcoLeft, kPelcoStop));
  EXPECT_THAT(world.sleeps, ElementsAre(400u));
  EXPECT_THAT(Speeds(), ElementsAre(2400u));
}

TEST_F(Controller, TheWatchdogWatchesArgumentOne) {
  Run("zal2", {});
  ASSERT_EQ(world.threads.size(), 1u);
  world.snapshots = {{"other.exe"}};
  world.snapshotLimit = 1;
  try {
    world.threads[0]();
    FAIL() << "the watchdog returned";
  } catch (const testing::ProcessExit& exit) {
    EXPECT_EQ(exit.code, 1u);
  }
}

TEST_F(Controller, EchoCarriesTheRawByteForNonCommands) {
  EXPECT_EQ(Run("zal2", {"x\n", "\xE9\n", "H\n", "p\n"}), 0);
  EXPECT_EQ(world.output, kHeader + Echo('x') + Echo(0xE9) + Echo('H') + Echo('p'));
  EXPECT_TRUE(world.writes.empty());
}

TEST_F(Controller, WhiteSpaceIsSkipped) {
  EXPECT_EQ(Run("zal2", {"   \n\n  u\n"}), 0);
  EXPECT_EQ(world.output, kHeader + Echo('u') + "up\n");
  EXPECT_EQ(world.writes.size(), 2u);
}

TEST_F(Controller, RestOfAReadIsDiscardedAfterEachCommand) {
  // A console line "lr" runs l only; the next read's r runs.
  EXPECT_EQ(Run("zal2", {"lr\n", "r\n"}), 0);
  EXPECT_EQ(world.output, kHeader + Echo('l') + "left\n" + Echo('r') + "right\n");
}

TEST_F(Controller, WhiteSpaceReadsDoNotCountAsCommands) {
  EXPECT_EQ(Run("zal2", {"\n", " \t\r\n", "d"}), 0);
  EXPECT_EQ(world.output, kHeader + Echo('d') + "down\n");
}

TEST_F(Controller, OutputIsFlushedBeforeEveryRead) {
  Run("zal2", {"l\n", "r\n"});
  const std::string afterL = kHeader + Echo('l') + "left\n";
  EXPECT_THAT(world.flushesBeforeReads, ElementsAre(kHeader.size(), afterL.size(), world.output.size()));
}

TEST_F(Controller, EndOfInputEndsTheProgramWithoutRepeatingTheLastMove) {
  EXPECT_EQ(Run("zal2", {"l\n"}), 0);
  EXPECT_EQ(world.writes.size(), 2u);
  EXPECT_EQ(world.flushedUpTo, world.output.size());
}

TEST_F(Controller, QuitPrintsItsLineAndReadsNoMore) {
  EXPECT_EQ(Run("zal2", {"q\n", "l\n"}), 0);
  EXPECT_EQ(world.output, kHeader + Echo('q') + "The program exit\n");
  EXPECT_EQ(world.flushedUpTo, world.output.size());
  EXPECT_EQ(world.inputReads.size(), 1u);
  EXPECT_TRUE(world.writes.empty());
}

TEST_F(Controller, UnknownSelectorOpensAt9600AndSendsOnlyHomeUntilASwitch) {
  EXPECT_EQ(Run("ZAL2", {"l\n", "h\n", "P\n", "l\n"}), 0);
  EXPECT_EQ(world.output, kHeader + Echo('l') + "left\n" + Echo('h') + "home\n" + Echo('P') + Echo('l') + "left\n");
  EXPECT_THAT(Speeds(), ElementsAre(9600u, 2400u));
  EXPECT_THAT(Frames(), ElementsAre(Bytes({0x81, 0x01, 0x06, 0x04, 0xFF}), kPelcoLeft, kPelcoStop));
}

TEST_F(Controller, SwitchingProtocolClosesAndReopensTheSamePath) {
  EXPECT_EQ(Run("zal2", {"V\n", "l\n"}), 0);
  EXPECT_THAT(Speeds(), ElementsAre(2400u, 9600u));
  auto close = std::find(world.calls.begin(), world.calls.end(), "CloseHandle 100");
  ASSERT_NE(close, world.calls.end());
  EXPECT_EQ(*(close + 1), "CreateFileA \\\\.\\COM3");
  EXPECT_THAT(Frames(), ElementsAre(kViscaLeft, kViscaStop));
  EXPECT_THAT(world.sleeps, ElementsAre(100u));
}

TEST_F(Controller, SwitchingToTheSelectedProtocolDoesNothing) {
  EXPECT_EQ(Run("zal2", {"P\n"}), 0);
  EXPECT_EQ(std::count_if(world.calls.begin(), world.calls.end(),
                          [](const std::string& c) { return c.rfind("CreateFileA", 0) == 0; }),
            1);
  EXPECT_THAT(world.calls, ::testing::Not(::testing::Contains(HasSubstr("CloseHandle"))));
}

TEST_F(Controller, FailedReopenIsSilentAndWritesFailUntilTheOtherSwitch) {
  world.opensAllowed = 1;  // the port is gone after start-up
  EXPECT_EQ(Run("zal2", {"V\n", "l\n", "V\n", "P\n", "r\n"}), 0);
  EXPECT_EQ(world.output, kHeader + Echo('V') + Echo('l') + "left\n" + Echo('V') + Echo('P') + Echo('r') + "right\n");
  // Repeating V does not reopen; P tries again.
  EXPECT_EQ(std::count_if(world.calls.begin(), world.calls.end(),
                          [](const std::string& c) { return c.rfind("CreateFileA", 0) == 0; }),
            3);
  ASSERT_EQ(world.writes.size(), 4u);
  for (auto& w : world.writes) EXPECT_EQ(w.port, kInvalidHandle);
}

TEST(ControllerArguments, FewerThanTwoArgumentsIsAUsageError) {
  FakeWorld world;
  world.presentPorts = {{"Communications Port (COM3)"}};
  EXPECT_EQ(world.Run({"Pantrel.exe", "host.exe"}), 2);
  EXPECT_EQ(world.output, "");
  EXPECT_THAT(world.error, HasSubstr("usage"));
  EXPECT_EQ(std::count(world.error.begin(), world.error.end(), '\n'), 1);
  EXPECT_TRUE(world.calls.empty());
}

TEST(ControllerArguments, LongPortNamesBuildTheWholePath) {
  FakeWorld world;
  const std::string longName = "COM" + std::string(60, '7');
  world.presentPorts = {{"Port (" + longName + ")"}};
  world.openablePaths = {"\\\\.\\" + longName};
  EXPECT_EQ(world.Run({"Pantrel.exe", "host.exe", "zal1"}), 0);
  EXPECT_THAT(world.output, HasSubstr("device_1\nopen " + longName + "\n"));
}

}  // namespace
}  // namespace pantrel
