// Pantrel's command loop on a fuzzed standard input (a list of reads) against
// the scripted port. Checks, against a model built from the command table:
// each read gives at most one command, its first character that is not white
// space (the rest of the read is dropped); every such character gets one echo
// line; only table characters print a text or send frames, under the protocol
// selected at that moment; `q` ends the run; end of input ends it with 0.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/command_table.h"
#include "fake_platform.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

const pantrel::Command* Entry(unsigned char c) {
  for (const pantrel::Command& command : pantrel::CommandTable())
    if (static_cast<unsigned char>(command.character) == c) return &command;
  return nullptr;
}

bool IsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

struct Expected {
  std::string output;
  std::vector<std::vector<std::uint8_t>> frames;
  std::vector<std::uint32_t> sleeps;
};

void AddSequence(Expected& expected, const pantrel::PacketSequence& sequence) {
  expected.frames.emplace_back(sequence.first.bytes.begin(), sequence.first.bytes.begin() + sequence.first.length);
  if (!sequence.timed()) return;
  expected.sleeps.push_back(sequence.pauseMs);
  expected.frames.emplace_back(sequence.stop.bytes.begin(), sequence.stop.bytes.begin() + sequence.stop.length);
}

Expected Model(std::string selector, const std::deque<std::string>& reads) {
  Expected expected;
  expected.output =
      "device_1\nopen COM3\n"
      "Command: l for left, r for right, u for up, d for down, h for home\n"
      "Command: L for relative  left, R for relative right, U for relative up, D for relative down\n";
  for (const std::string& whole : reads) {
    if (whole.empty()) break;  // a read of nothing is the end of input
    const std::string read = whole.substr(0, 4096);
    std::size_t i = 0;
    while (i < read.size() && IsSpace(static_cast<unsigned char>(read[i]))) ++i;
    if (i == read.size()) continue;
    const auto c = static_cast<unsigned char>(read[i]);
    expected.output += std::string("c++ receive\xA3\xBA") + static_cast<char>(c) + "\n";
    const pantrel::Command* command = c < 0x80 ? Entry(c) : nullptr;
    if (!command) continue;
    if (command->action == pantrel::CommandAction::Quit) {
      expected.output += "The program exit\n";
      break;
    }
    if (command->text) expected.output += command->text;
    switch (command->action) {
      case pantrel::CommandAction::SwitchToPelcoD:
        selector = "zal2";
        break;
      case pantrel::CommandAction::SwitchToVisca:
        selector = "zal1";
        break;
      case pantrel::CommandAction::SendAnyProtocol:
        AddSequence(expected, selector == "zal2" ? command->pelcoD : command->visca);
        break;
      default:
        if (selector == "zal2") AddSequence(expected, command->pelcoD);
        if (selector == "zal1") AddSequence(expected, command->visca);
        break;
    }
  }
  return expected;
}

// Characters the table knows, white space and 'q' (rarely), to reach deep states.
const char kAlphabet[] = "lrudLRUDTtWwh1234567890!@#$%^&*()PVxp \t\r\n\v\f";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const char* const selectors[] = {"zal2", "zal1", "zal3", ""};
  const std::string selector = selectors[provider.ConsumeIntegralInRange<int>(0, 3)];

  std::deque<std::string> reads;
  while (provider.remaining_bytes() > 0 && reads.size() < 200) {
    std::string read;
    const auto length = provider.ConsumeIntegralInRange<std::size_t>(0, 12);
    for (std::size_t i = 0; i < length; ++i) {
      const auto pick = provider.ConsumeIntegral<std::uint8_t>();
      if (pick == 'q' && provider.ConsumeIntegralInRange<int>(0, 3) != 0) continue;
      read += pick < 0xC0 ? kAlphabet[pick % (sizeof kAlphabet - 1)] : static_cast<char>(pick);
    }
    // Now and then a read longer than the stream's buffer.
    if (provider.ConsumeIntegralInRange<int>(0, 63) == 0) read += std::string(4100, ' ') + "l";
    reads.push_back(std::move(read));
  }

  pantrel::testing::FakeWorld world;
  world.presentPorts = {{"Communications Port (COM3)"}};
  world.inputReads = reads;
  const int code = world.Run({"Pantrel.exe", "host.exe", selector});
  const Expected expected = Model(selector, reads);

  Check(code == 0);
  Check(world.output == expected.output);
  Check(world.flushedUpTo == world.output.size());
  Check(world.sleeps == expected.sleeps);
  Check(world.writes.size() == expected.frames.size());
  for (std::size_t i = 0; i < world.writes.size(); ++i) {
    Check(world.writes[i].bytes == expected.frames[i]);
    Check(world.writes[i].port != pantrel::kInvalidHandle);
  }
  // Protocol switches close the old port before opening the new one.
  Check(world.openHandles.size() == 1);
  Check(world.threads.size() == 1);
  return 0;
}
