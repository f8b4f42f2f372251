// The command table, driven through the controller and compared with frames
// written out here independently, byte for byte, with their pauses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "core/command_table.h"
#include "fake_platform.h"

namespace pantrel {
namespace {

using testing::FakeWorld;

std::vector<std::uint8_t> Hex(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  std::istringstream in(text);
  std::string pair;
  while (in >> pair) bytes.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
  return bytes;
}

struct Expected {
  char character;
  std::string text;
  std::string pelcoMove;
  int pelcoPause;  // -1: one frame only
  std::string viscaMove;
  int viscaPause;
  std::string viscaStop;
};

const std::string kPelcoStop = "FF 01 00 00 00 00 01";
const std::string kPanTiltStop = "81 01 06 01 10 10 03 03 FF";
const std::string kZoomStop = "81 01 04 07 00 FF";

// clang-format off
const std::vector<Expected> kExpected = {
  {'l', "left\n",           "FF 01 00 04 0F 00 14", 400, "81 01 06 01 10 00 01 03 FF", 100, kPanTiltStop},
  {'r', "right\n",          "FF 01 00 02 0F 00 12", 400, "81 01 06 01 10 00 02 03 FF", 100, kPanTiltStop},
  {'u', "up\n",             "FF 01 00 08 00 0F 18", 400, "81 01 06 01 00 10 03 01 FF", 100, kPanTiltStop},
  {'d', "down\n",           "FF 01 00 10 00 0F 20", 400, "81 01 06 01 00 10 03 02 FF", 100, kPanTiltStop},
  {'L', "Relative left\n",  "FF 01 00 04 18 00 1D", 400, "81 01 06 01 10 00 01 03 FF", 200, kPanTiltStop},
  {'R', "Relative right\n", "FF 01 00 02 18 00 1B", 400, "81 01 06 01 10 00 02 03 FF", 200, kPanTiltStop},
  {'U', "Relative Up\n",    "FF 01 00 08 00 18 21", 400, "81 01 06 01 00 10 03 01 FF", 200, kPanTiltStop},
  {'D', "Relative down\n",  "FF 01 00 10 00 18 29", 400, "81 01 06 01 00 10 03 02 FF", 200, kPanTiltStop},
  {'T', "tele\n",           "FF 01 00 20 00 00 21", 300, "81 01 04 07 23 FF", 200, kZoomStop},
  {'t', "slowtele\n",       "FF 01 00 20 00 00 21", 200, "81 01 04 07 23 FF", 100, kZoomStop},
  {'W', "wide\n",           "FF 01 00 40 00 00 41", 300, "81 01 04 07 33 FF", 200, kZoomStop},
  {'w', "slowwide\n",       "FF 01 00 40 00 00 41", 200, "81 01 04 07 33 FF", 100, kZoomStop},
  {'h', "home\n",           "81 01 06 04 FF", -1, "81 01 06 04 FF", -1, ""},
  {'1', "preset1\n", "FF 01 00 07 00 01 09", -1, "81 01 04 3F 02 00 FF", -1, ""},
  {'2', "preset2\n", "FF 01 00 07 00 02 0A", -1, "81 01 04 3F 02 01 FF", -1, ""},
  {'3', "preset3\n", "FF 01 00 07 00 03 0B", -1, "81 01 04 3F 02 02 FF", -1, ""},
  {'4', "preset4\n", "FF 01 00 07 00 04 0C", -1, "81 01 04 3F 02 03 FF", -1, ""},
  {'5', "preset5\n", "FF 01 00 07 00 05 0D", -1, "81 01 04 3F 02 04 FF", -1, ""},
  {'6', "preset6\n", "FF 01 00 07 00 06 0E", -1, "81 01 04 3F 02 05 FF", -1, ""},
  {'7', "preset7\n", "FF 01 00 07 00 07 0F", -1, "81 01 04 3F 02 06 FF", -1, ""},
  {'8', "preset8\n", "FF 01 00 07 00 08 10", -1, "81 01 04 3F 02 07 FF", -1, ""},
  {'9', "preset9\n", "FF 01 00 07 00 09 11", -1, "81 01 04 3F 02 08 FF", -1, ""},
  {'0', "",          "FF 01 00 07 00 0A 12", -1, "81 01 04 3F 02 09 FF", -1, ""},
  {'!', "", "FF 01 00 03 00 01 05", -1, "81 01 04 3F 01 00 FF", -1, ""},
  {'@', "", "FF 01 00 03 00 02 06", -1, "81 01 04 3F 01 01 FF", -1, ""},
  {'#', "", "FF 01 00 03 00 03 07", -1, "81 01 04 3F 01 02 FF", -1, ""},
  {'$', "", "FF 01 00 03 00 04 08", -1, "81 01 04 3F 01 03 FF", -1, ""},
  {'%', "", "FF 01 00 03 00 05 09", -1, "81 01 04 3F 01 04 FF", -1, ""},
  {'^', "", "FF 01 00 03 00 06 0A", -1, "81 01 04 3F 01 05 FF", -1, ""},
  {'&', "", "FF 01 00 03 00 07 0B", -1, "81 01 04 3F 01 06 FF", -1, ""},
  {'*', "", "FF 01 00 03 00 08 0C", -1, "81 01 04 3F 01 07 FF", -1, ""},
  {'(', "", "FF 01 00 03 00 09 0D", -1, "81 01 04 3F 01 08 FF", -1, ""},
  {')', "", "FF 01 00 03 00 0A 0E", -1, "81 01 04 3F 01 09 FF", -1, ""},
};
// clang-format on

void PrintTo(const Expected& e, std::ostream* os) { *os << "'" << e.character << "'"; }

const std::string kHeader =
    "device_1\nopen COM3\n"
    "Command: l for left, r for right, u for up, d for down, h for home\n"
    "Command: L for relative  left, R for relative right, U for relative up, D for relative down\n";

std::string Echo(char c) { return std::string("c++ receive\xA3\xBA") + c + "\n"; }

struct Outcome {
  std::string output;
  std::vector<std::vector<std::uint8_t>> frames;
  std::vector<std::uint32_t> sleeps;
};

Outcome RunOne(const std::string& selector, char c) {
  FakeWorld world;
  world.presentPorts = {{"Communications Port (COM3)"}};
  world.inputReads = {std::string(1, c) + "\n"};
  EXPECT_EQ(world.Run({"Pantrel.exe", "host.exe", selector}), 0);
  Outcome outcome{world.output.substr(std::min(kHeader.size(), world.output.size())), {}, world.sleeps};
  for (auto& w : world.writes) outcome.frames.push_back(w.bytes);
  return outcome;
}

class CommandTableTest : public ::testing::TestWithParam<Expected> {};

TEST_P(CommandTableTest, PelcoDSendsItsFramesAndPause) {
  const Expected& e = GetParam();
  Outcome got = RunOne("zal2", e.character);
  EXPECT_EQ(got.output, Echo(e.character) + e.text);
  if (e.pelcoPause < 0) {
    EXPECT_THAT(got.frames, ::testing::ElementsAre(Hex(e.pelcoMove)));
    EXPECT_TRUE(got.sleeps.empty());
  } else {
    EXPECT_THAT(got.frames, ::testing::ElementsAre(Hex(e.pelcoMove), Hex(kPelcoStop)));
    EXPECT_THAT(got.sleeps, ::testing::ElementsAre(static_cast<std::uint32_t>(e.pelcoPause)));
  }
}

TEST_P(CommandTableTest, ViscaSendsItsFramesAndPause) {
  const Expected& e = GetParam();
  Outcome got = RunOne("zal1", e.character);
  EXPECT_EQ(got.output, Echo(e.character) + e.text);
  if (e.viscaPause < 0) {
    EXPECT_THAT(got.frames, ::testing::ElementsAre(Hex(e.viscaMove)));
  } else {
    EXPECT_THAT(got.frames, ::testing::ElementsAre(Hex(e.viscaMove), Hex(e.viscaStop)));
    EXPECT_THAT(got.sleeps, ::testing::ElementsAre(static_cast<std::uint32_t>(e.viscaPause)));
  }
}

TEST_P(CommandTableTest, NoProtocolPrintsTheTextAndSendsOnlyHome) {
  const Expected& e = GetParam();
  Outcome got = RunOne("other", e.character);
  EXPECT_EQ(got.output, Echo(e.character) + e.text);
  if (e.character == 'h') {
    EXPECT_THAT(got.frames, ::testing::ElementsAre(Hex("81 01 06 04 FF")));
  } else {
    EXPECT_TRUE(got.frames.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, CommandTableTest, ::testing::ValuesIn(kExpected),
                         [](const auto& test) { return "char_" + std::to_string(int(test.param.character)); });

TEST(CommandTable, EveryPelcoDFrameCarriesItsChecksum) {
  for (const Command& command : CommandTable()) {
    for (const PacketSequence* sequence : {&command.pelcoD}) {
      for (const Frame* frame : {&sequence->first, &sequence->stop}) {
        if (frame->length != 7) continue;
        unsigned sum = 0;
        for (int i = 1; i <= 5; ++i) sum += frame->bytes[i];
        EXPECT_EQ(frame->bytes[6], sum % 256) << "command " << command.character;
      }
    }
  }
}

TEST(CommandTable, OnlyTheListedCharactersAreCommands) {
  std::string commands;
  for (int c = 0; c < 256; ++c)
    if (LookupCommand(static_cast<unsigned char>(c))) commands += static_cast<char>(c);
  EXPECT_EQ(commands, "!#$%&()*0123456789@DLPRTUVW^dhlqrtuw");
}

}  // namespace
}  // namespace pantrel
