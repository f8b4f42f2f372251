#pragma once
// The camera command set: one entry per command character, with its text and
// the Pelco-D and VISCA frames it sends.
#include <array>
#include <cstdint>
#include <span>

namespace pantrel {

struct Frame {
  std::uint8_t length = 0;
  std::array<std::uint8_t, 9> bytes{};

  constexpr std::span<const std::uint8_t> view() const { return {bytes.data(), length}; }
};

// One frame, or a timed move: the move frame, a pause, then the stop frame.
struct PacketSequence {
  Frame first;
  std::uint16_t pauseMs = 0;
  Frame stop;

  constexpr bool timed() const { return stop.length != 0; }
};

enum class CommandAction {
  SendPackets,      // under the selected protocol only
  SendAnyProtocol,  // home: sent whatever the selector holds
  SwitchToPelcoD,
  SwitchToVisca,
  Quit,
};

struct Command {
  char character;
  const char* text;  // printed before anything is sent; null for none
  CommandAction action;
  PacketSequence pelcoD;
  PacketSequence visca;
};

// The entry of a command character, or null when the byte is no command.
const Command* LookupCommand(unsigned char character);

// Every entry, in table order.
std::span<const Command> CommandTable();

}  // namespace pantrel
